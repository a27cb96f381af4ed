// One trace's settings: its register (the program's names, or an address
// typed in hex), colour, scale and offset, and the newest value it drew.
#pragma once

#include "trace_plot.h"

#include <QWidget>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

class QComboBox;
class QDoubleSpinBox;
class QLabel;

class TraceRow : public QWidget {
    Q_OBJECT
  public:
    // index 0-3 names its controls ("cmbTrace1Register", ...).
    TraceRow(int index, QWidget* parent = nullptr);

    // The names the register box offers; keeps what it holds.
    void setNames(const std::map<std::string, uint32_t>& names);
    void setRegisterText(const QString& text);
    // The register it shows; none when the box is empty or holds no register.
    std::optional<uint32_t> chosen() const;
    TraceStyle style() const;
    // The newest value drawn, as a fraction (TRAM data with its 20-bit sample).
    void showValue(std::optional<int32_t> value);

  signals:
    void changed();

  private:
    std::map<std::string, uint32_t> names_;
    QComboBox* register_ = nullptr;
    QComboBox* colour_ = nullptr;
    QDoubleSpinBox* scale_ = nullptr;
    QDoubleSpinBox* offset_ = nullptr;
    QLabel* value_ = nullptr;
};
