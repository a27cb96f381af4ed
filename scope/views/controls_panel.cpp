#include "controls_panel.h"

#include "register_choice.h"
#include "slider_scale.h"
#include "value_units.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

ControlsPanel::ControlsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("controlsPanel");
    list_ = new QVBoxLayout(this);
    empty_ = new QLabel(tr("The loaded program has no controls."));
    empty_->setWordWrap(true);
    list_->addWidget(empty_);
    list_->addStretch(1);
}

void ControlsPanel::setReadOnly(bool readOnly) {
    readOnly_ = readOnly;
    for (Row& r : rows_)
        r.slider->setEnabled(!readOnly);
}

void ControlsPanel::showValue(std::size_t i, int32_t value) {
    rows_[i].value->setText(
        QString::fromStdString(UnitText(ControlUnit(controls_[i]), uint32_t(value))));
}

void ControlsPanel::setControls(const std::vector<ControlInfo>& controls) {
    bool same = controls.size() == controls_.size();
    for (std::size_t i = 0; same && i < controls.size(); ++i)
        same = controls[i].name == controls_[i].name &&
               controls[i].address == controls_[i].address && controls[i].min == controls_[i].min &&
               controls[i].max == controls_[i].max;
    if (same) {
        for (std::size_t i = 0; i < controls.size(); ++i) {
            if (rows_[i].slider->isSliderDown())
                continue;
            controls_[i].value = controls[i].value;
            const ControlRange range = RangeOf(controls[i].min, controls[i].max);
            rows_[i].slider->blockSignals(true);
            rows_[i].slider->setValue(SliderPosition(int32_t(controls[i].value), range));
            rows_[i].slider->blockSignals(false);
            showValue(i, int32_t(controls[i].value));
        }
        return;
    }
    for (Row& r : rows_) {
        delete r.slider->parentWidget();
    }
    rows_.clear();
    controls_ = controls;
    empty_->setVisible(controls_.empty());
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const ControlInfo& c = controls_[i];
        const QString name = QString::fromStdString(c.name);
        const ControlRange range = RangeOf(c.min, c.max);
        auto* box = new QWidget;
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(0, 2, 0, 2);
        auto* title = new QLabel(
            QString("%1 (%2)").arg(name, QString::fromStdString(AddressText(c.address))));
        grid->addWidget(title, 0, 0);
        Row row;
        row.value = new QLabel;
        row.value->setObjectName("lblControl_" + name);
        row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(row.value, 0, 1);
        row.slider = new QSlider(Qt::Horizontal);
        row.slider->setObjectName("sldControl_" + name);
        row.slider->setRange(0, kSliderSteps);
        row.slider->setValue(SliderPosition(int32_t(c.value), range));
        row.slider->setEnabled(!readOnly_);
        grid->addWidget(row.slider, 1, 0, 1, 2);
        const ValueUnit unit = ControlUnit(c);
        auto* limits = new QLabel(QString::fromStdString(UnitRangeText(unit)));
        grid->addWidget(limits, 2, 0, 1, 2);
        list_->insertWidget(list_->count() - 1, box);
        rows_.push_back(row);
        showValue(i, int32_t(c.value));
        connect(row.slider, &QSlider::valueChanged, this, [this, i, range, unit](int position) {
            // A delay time moves in whole samples, as '&' wrote it.
            const int32_t value = SnapToUnit(unit, SliderValue(position, range));
            controls_[i].value = uint32_t(value);
            showValue(i, value);
            emit setRequested(controls_[i].address, uint32_t(value));
        });
    }
}
