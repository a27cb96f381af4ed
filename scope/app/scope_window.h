// velmora-scope's window: the traces' settings, the screen, the spectrum of
// one trace and the controls' sliders, following the running chip through
// the service.
#pragma once

#include "scope_model.h"
#include "service_link.h"

#include <QMainWindow>

#include <array>
#include <map>
#include <memory>
#include <optional>

class ControlsPanel;
class QComboBox;
class QLabel;
class ScopeBar;
class FrequencyView;
class TracePlot;
class TraceRow;

class ScopeWindow : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr int kTraces = 4;
    // Of the samples answers, every kSpectrumEvery-th feeds the spectrum and
    // every kValuesEvery-th shows the traces' values.
    static constexpr int kSpectrumEvery = 3;
    static constexpr int kValuesEvery = 8;

    ScopeWindow();
    ~ScopeWindow() override;

    // Trace i (0-3) shows the register named or addressed by text.
    void setTrace(int i, const QString& text);
    void setTimeBaseMs(double ms);
    void setSpectrumTrace(int i);

    const ScopeModel& model() const { return model_; }
    const TracePlot& plot() const { return *plot_; }
    // The chip's state as last told ("running", "stopped at sample N").
    QString chipStateText() const;
    QString statusText() const;
    // The samples answers taken so far.
    int answersTaken() const { return answers_; }

  private:
    void tracesChanged();
    void takeSamples(const SamplesAnswer& answer);
    void takeStatus(const QString& text);
    void takeAttachment(int attachment);
    void redraw();
    void readNames();
    // The index into the model's registers of trace row i, or -1.
    int registerOf(int row) const;

    ScopeModel model_;
    std::unique_ptr<ServiceLink> link_;
    ScopeBar* bar_ = nullptr;
    std::array<TraceRow*, kTraces> rows_{};
    std::array<int, kTraces> registerIndex_{};
    TracePlot* plot_ = nullptr;
    FrequencyView* spectrum_ = nullptr;
    QComboBox* spectrumTrace_ = nullptr;
    ControlsPanel* controls_ = nullptr;
    QLabel* chipState_ = nullptr;
    QLabel* status_ = nullptr;
    Attachment attachment_ = Attachment::Unknown;
    uint64_t namesLoad_ = 0;
    int answers_ = 0;
    std::vector<int32_t> spectrumFeed_;
};
