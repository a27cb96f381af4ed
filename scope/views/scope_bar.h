// Above the screen: the time base, the trigger (its trace, edge, level and
// mode), Run, Stop, the saturation lamp and its Clear button.
#pragma once

#include "trigger.h"

#include <QWidget>

#include <cstdint>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

class ScopeBar : public QWidget {
    Q_OBJECT
  public:
    explicit ScopeBar(QWidget* parent = nullptr);

    // The samples one screen shows.
    uint64_t sweepSamples() const;
    void setTimeBaseMs(double ms);
    // The trigger's trace (0-3), or -1 for none.
    int triggerTrace() const;
    TriggerSettings trigger() const;
    // The first saturation's instruction, or -1 for none.
    void showSaturation(int instruction);
    QString lampText() const;

  signals:
    void changed();
    void armRequested();
    void runRequested();
    void stopRequested();
    void clearRequested();

  private:
    QComboBox* timeBase_ = nullptr;
    QComboBox* source_ = nullptr;
    QComboBox* edge_ = nullptr;
    QDoubleSpinBox* level_ = nullptr;
    QComboBox* mode_ = nullptr;
    QLabel* lamp_ = nullptr;
    QLabel* lampText_ = nullptr;
    int shown_ = -2;
};
