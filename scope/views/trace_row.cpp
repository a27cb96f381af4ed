#include "trace_row.h"

#include "full_scale.h"
#include "register_choice.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {
const char* const kColourNames[] = {"yellow", "cyan", "magenta", "green", "orange", "white"};
const QColor kColours[] = {QColor(240, 220, 60), QColor(60, 220, 240), QColor(240, 90, 220),
                           QColor(90, 230, 90),  QColor(250, 150, 40), QColor(235, 235, 235)};
} // namespace

TraceRow::TraceRow(int index, QWidget* parent) : QWidget(parent) {
    const QString n = QString::number(index + 1);
    setObjectName("traceRow" + n);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Trace %1").arg(n)));
    register_ = new QComboBox;
    register_->setObjectName("cmbTrace" + n + "Register");
    register_->setEditable(true);
    register_->setInsertPolicy(QComboBox::NoInsert);
    register_->setMinimumContentsLength(14);
    register_->setToolTip(tr("A name of the loaded program, or an address in hex (0x106)"));
    layout->addWidget(register_);
    colour_ = new QComboBox;
    colour_->setObjectName("cmbTrace" + n + "Colour");
    for (std::size_t i = 0; i < std::size(kColourNames); ++i)
        colour_->addItem(tr(kColourNames[i]));
    colour_->setCurrentIndex(index % int(std::size(kColourNames)));
    layout->addWidget(colour_);
    layout->addWidget(new QLabel(tr("Scale")));
    scale_ = new QDoubleSpinBox;
    scale_->setObjectName("spnTrace" + n + "Scale");
    scale_->setRange(0.01, 1000);
    scale_->setDecimals(2);
    scale_->setValue(1);
    layout->addWidget(scale_);
    layout->addWidget(new QLabel(tr("Offset")));
    offset_ = new QDoubleSpinBox;
    offset_->setObjectName("spnTrace" + n + "Offset");
    offset_->setRange(-1, 1);
    offset_->setSingleStep(0.05);
    offset_->setDecimals(2);
    layout->addWidget(offset_);
    value_ = new QLabel;
    value_->setObjectName("lblTrace" + n + "Value");
    value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance("-0.00000 (20-bit -524288)"));
    layout->addWidget(value_, 1);

    connect(register_->lineEdit(), &QLineEdit::editingFinished, this, &TraceRow::changed);
    connect(register_, &QComboBox::activated, this, &TraceRow::changed);
    connect(colour_, &QComboBox::currentIndexChanged, this, &TraceRow::changed);
    connect(scale_, &QDoubleSpinBox::valueChanged, this, &TraceRow::changed);
    connect(offset_, &QDoubleSpinBox::valueChanged, this, &TraceRow::changed);
}

void TraceRow::setNames(const std::map<std::string, uint32_t>& names) {
    if (names == names_)
        return;
    names_ = names;
    const QString text = register_->currentText();
    register_->blockSignals(true);
    register_->clear();
    register_->addItem(QString());
    for (const auto& [name, address] : names_)
        register_->addItem(QString::fromStdString(name));
    register_->setCurrentText(text);
    register_->blockSignals(false);
}

void TraceRow::setRegisterText(const QString& text) {
    register_->setCurrentText(text);
    emit changed();
}

std::optional<uint32_t> TraceRow::chosen() const {
    const std::string text = register_->currentText().trimmed().toStdString();
    return text.empty() ? std::nullopt : RegisterOf(text, names_);
}

TraceStyle TraceRow::style() const {
    return {kColours[colour_->currentIndex() < 0 ? 0 : colour_->currentIndex()], scale_->value(),
            offset_->value()};
}

void TraceRow::showValue(std::optional<int32_t> value) {
    const auto address = chosen();
    value_->setText(value && address ? QString::fromStdString(ValueText(*address, *value))
                                     : QString());
}
