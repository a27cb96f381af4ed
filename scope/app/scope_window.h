// velmora-scope's window: the traces' settings, the screen, the spectrum of
// one trace and the controls' sliders, following the running chip through
// the service.
#pragma once

#include "scope_model.h"
#include "service_link.h"
#include "time_bases.h"

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
    static constexpr int kTraces = kScopeTraces;
    // Of the samples answers, every kSpectrumEvery-th feeds the spectrum and
    // every kValuesEvery-th shows the traces' values.
    static constexpr int kSpectrumEvery = 3;
    static constexpr int kValuesEvery = 8;

    // link: the line to the service, started or not (a new one by default);
    // the window connects to it, then starts it.
    explicit ScopeWindow(std::unique_ptr<ServiceLink> link = nullptr);
    ~ScopeWindow() override;

    // Trace i (0-3) shows the register named or addressed by text.
    void setTrace(int i, const QString& text);
    void setTimeBaseMs(double ms);
    void setSpectrumTrace(int i);

    const ScopeModel& model() const { return model_; }
    const TracePlot& plot() const { return *plot_; }
    // The chip's state as last told ("running", "stopped at sample N"), or
    // the single sweep that holds the screen.
    QString chipStateText() const;
    QString statusText() const;
    // The samples answers taken so far.
    int answersTaken() const { return answers_; }

  private:
    void tracesChanged();
    // The model's request to the link: after each answer, and when it changed.
    void askNext();
    void takeSamples(const SamplesAnswer& answer);
    void takeRefusal(const QString& line, const QString& text);
    void takeStatus(const QString& text);
    void takeAttachment(int attachment);
    void takeNames(const ProgramNames& names);
    void restartSpectrum();
    void redraw();
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
    std::string asked_;      // the request last handed to the link
    QString samplesProblem_; // a refusal of a samples request that names no trace
    int answers_ = 0;
    std::vector<int32_t> spectrumFeed_;
};
