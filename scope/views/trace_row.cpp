#include "trace_row.h"

#include "full_scale.h"
#include "register_choice.h"
#include "value_units.h"

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
    value_->setWordWrap(true); // a refusal of the service's may be long
    layout->addWidget(value_, 1);

    const auto edited = [this] {
        refusal_.clear();
        emit changed();
    };
    connect(register_->lineEdit(), &QLineEdit::editingFinished, this, edited);
    connect(register_, &QComboBox::activated, this, edited);
    connect(colour_, &QComboBox::currentIndexChanged, this, &TraceRow::changed);
    connect(scale_, &QDoubleSpinBox::valueChanged, this, &TraceRow::changed);
    connect(offset_, &QDoubleSpinBox::valueChanged, this, &TraceRow::changed);
}

void TraceRow::setNames(const std::map<std::string, uint32_t>& names) {
    if (namesKnown_ && names == names_)
        return;
    namesKnown_ = true;
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
    refusal_.clear();
    emit changed();
}

TraceChoice TraceRow::choice() const {
    return ChooseTrace(register_->currentText().trimmed().toStdString(), names_, namesKnown_);
}

std::optional<uint32_t> TraceRow::shown() const {
    return refusal_.isEmpty() ? choice().address : std::nullopt;
}

void TraceRow::setRefusal(const QString& text) {
    refusal_ = text;
}

TraceStyle TraceRow::style() const {
    return {kColours[colour_->currentIndex() < 0 ? 0 : colour_->currentIndex()], scale_->value(),
            offset_->value()};
}

void TraceRow::showValue(std::optional<int32_t> value) {
    const TraceChoice c = choice();
    const QString problem = c.problem.empty() ? refusal_ : QString::fromStdString(c.problem);
    const auto address = shown();
    std::string shownValue;
    if (value && address) {
        shownValue = ValueText(*address, *value);
        for (const ControlInfo& c : controls_)
            if (c.address == *address)
                shownValue += "  " + UnitText(ControlUnit(c), uint32_t(*value));
    }
    const QString text = !problem.isEmpty() ? problem : QString::fromStdString(shownValue);
    if (text == value_->text())
        return;
    // A style sheet is costly to apply: only when the kind of text changes.
    if (problem.isEmpty() != value_->styleSheet().isEmpty())
        value_->setStyleSheet(problem.isEmpty() ? QString() : QString("color: #d04020;"));
    value_->setText(text);
}
