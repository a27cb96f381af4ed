// One trace's settings: its register (the program's names, or an address
// typed in hex), colour, scale and offset, and the newest value it drew, or
// why it draws none.
#pragma once

#include "controls_answer.h"
#include "trace_choice.h"
#include "trace_plot.h"

#include <QWidget>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

class TraceRow : public QWidget {
    Q_OBJECT
  public:
    // index 0-3 names its controls ("cmbTrace1Register", ...).
    TraceRow(int index, QWidget* parent = nullptr);

    // The names of the program the service runs, which the register box
    // offers and its text is read by from now on; keeps what it holds.
    void setNames(const std::map<std::string, uint32_t>& names);
    void setRegisterText(const QString& text);
    // The register its box names, or why it names none.
    TraceChoice choice() const;
    // The register it shows: its choice, unless the service refused it.
    std::optional<uint32_t> shown() const;
    // The service's reason for not giving its register's samples; empty
    // clears it. Cleared too when the box is edited.
    void setRefusal(const QString& text);
    TraceStyle style() const;
    // The loaded program's controls, whose values it also shows in their units.
    void setControls(const std::vector<ControlInfo>& controls) { controls_ = controls; }
    // The newest value drawn, as a fraction (TRAM data with its 20-bit
    // sample, a control in its unit too); in its place the problem of the
    // box or the refusal, if any.
    void showValue(std::optional<int32_t> value);

  signals:
    void changed();

  private:
    std::map<std::string, uint32_t> names_;
    std::vector<ControlInfo> controls_;
    bool namesKnown_ = false;
    QString refusal_;
    QComboBox* register_ = nullptr;
    QComboBox* colour_ = nullptr;
    QDoubleSpinBox* scale_ = nullptr;
    QDoubleSpinBox* offset_ = nullptr;
    QLabel* value_ = nullptr;
};
