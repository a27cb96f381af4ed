// One slider per control GPR of the loaded program: its name, its range from
// the patch's own min and max, and its value as a fraction, both with the
// decimals that range needs. A slider the user holds is left alone by what
// the service reports.
#pragma once

#include "controls_answer.h"

#include <QWidget>

#include <cstdint>
#include <vector>

class QLabel;
class QSlider;
class QVBoxLayout;

class ControlsPanel : public QWidget {
    Q_OBJECT
  public:
    explicit ControlsPanel(QWidget* parent = nullptr);

    // The service's controls: the sliders are made anew when the names
    // change, else they follow the values.
    void setControls(const std::vector<ControlInfo>& controls);
    // A card's service: shown, not moved.
    void setReadOnly(bool readOnly);
    const std::vector<ControlInfo>& controls() const { return controls_; }

  signals:
    // A slider moved: set the control at address to value (the GPR's word).
    void setRequested(uint32_t address, uint32_t value);

  private:
    struct Row {
        QSlider* slider = nullptr;
        QLabel* value = nullptr;
    };
    void showValue(std::size_t i, int32_t value);

    std::vector<ControlInfo> controls_;
    std::vector<Row> rows_;
    QVBoxLayout* list_ = nullptr;
    QLabel* empty_ = nullptr;
    bool readOnly_ = false;
};
