// velmora-scope's window in-process against the real emuapsd running the
// demo patch on a 1 kHz sine from --input, on the offscreen platform.
#include "controls_panel.h"
#include "min_max.h"
#include "scope_bar.h"
#include "scope_window.h"
#include "slider_scale.h"
#include "trace_plot.h"

#include "control_client.h"
#include "controls_answer.h"
#include "driver/wav_files.h"
#include "samples_answer.h"
#include "status_answer.h"
#include "support/eventually_shown.h"
#include "support/service_process.h"
#include "support/temp_dir.h"
#include "zendra.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>

namespace {

const std::string kImages = std::string(VELMORA_PROGRAM_DIR) + "/images/";
constexpr int kPeriod = 48; // 1 kHz at 48 kHz

// Counts a signal's emissions on the link's own thread, as they happen.
template <typename Signal> std::shared_ptr<std::atomic<int>> Count(ServiceLink& link, Signal s) {
    auto n = std::make_shared<std::atomic<int>>(0);
    QObject::connect(
        &link, s, &link, [n] { ++*n; }, Qt::DirectConnection);
    return n;
}

template <typename Condition> bool Shows(Condition condition, int seconds = 20) {
    return EventuallyShown(condition, std::chrono::seconds(seconds));
}

class ScopeEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", dir_.path().c_str(), 1);
        Wav<int16_t> sine;
        sine.channels = 2;
        for (int n = 0; n < 48000; ++n) {
            const auto v =
                int16_t(std::lround(8191 * std::sin(2 * std::numbers::pi * n / kPeriod)));
            sine.samples.insert(sine.samples.end(), {v, v});
        }
        ASSERT_TRUE(WriteWav(input_, sine));
    }
    // Without names, the service knows the demo's registers by number only.
    void start(bool names = true) {
        std::vector<std::string> args{"--patch", kImages + "demo-chorus-echo.emu10k1", "--input",
                                      input_, "--run"};
        if (names)
            args.insert(args.end(), {"--names", kImages + "demo-chorus-echo.dbg"});
        service_ = std::make_unique<ServiceProcess>(dir_.path(), kImages + "demo.chip",
                                                    dir_.path() + "/emuapsd.log", args);
    }
    // The window, traces 1 and 2 on mono (the sine, halved twice) and lw.
    void open(std::unique_ptr<ServiceLink> link = nullptr) {
        window_ = std::make_unique<ScopeWindow>(std::move(link));
        window_->setTrace(0, "mono");
        window_->setTrace(1, "lw");
        window_->show();
    }
    // Two new sweeps drawn: the screen moves.
    bool live() {
        uint64_t last = window_->plot().shown().to;
        int moves = 0;
        return Shows([&] {
            const ScopeFrame& f = window_->plot().shown();
            if (!f.columns.empty() && f.to != last)
                ++moves, last = f.to;
            return moves >= 2;
        });
    }

    TempDir dir_;
    std::string input_ = dir_.path() + "/sine.wav";
    std::unique_ptr<ServiceProcess> service_;
    std::unique_ptr<ScopeWindow> window_;
};

} // namespace

TEST_F(ScopeEndToEnd, AStoppedScreenIsTheHistoryDecimatedAndContinueMovesItAgain) {
    start();
    open();
    ASSERT_TRUE(live());
    const ControlReply stop = AskService("stop");
    ASSERT_EQ(stop.status, 0) << stop.text;
    ASSERT_TRUE(Shows([&] { return window_->chipStateText().startsWith("stopped at sample"); }));
    const uint64_t at = window_->chipStateText().section(' ', 3).toULongLong();
    int answers = window_->answersTaken();
    ASSERT_TRUE(Shows([&] { return window_->answersTaken() >= answers + 2; }));
    const ScopeFrame frame = window_->plot().shown();
    const ControlReply reply = AskService("samples " + std::to_string(frame.from) + " mono lw");
    const auto header = ParseSamplesHeader(reply.text);
    ASSERT_TRUE(header) << reply.text;
    const auto columns = SamplesColumns(*header, reply.payload);
    ASSERT_EQ(columns.size(), 2u);
    ASSERT_EQ(header->first, frame.from);
    EXPECT_LE(frame.to, at) << "no later than where the chip stands";
    ASSERT_GE(header->first + uint64_t(header->count), frame.to);
    for (std::size_t t = 0; t < 2; ++t)
        EXPECT_EQ(frame.columns[t],
                  DecimateMinMax(columns[t].data(), int64_t(frame.to - frame.from),
                                 int(frame.columns[t].size())))
            << "trace " << t + 1;
    answers = window_->answersTaken();
    ASSERT_TRUE(Shows([&] { return window_->answersTaken() >= answers + 5; }));
    EXPECT_EQ(window_->plot().shown().columns, frame.columns) << "frozen over five answers";
    ASSERT_EQ(AskService("continue").status, 0);
    EXPECT_TRUE(live()) << "moves again";
    EXPECT_EQ(window_->chipStateText(), "running");
}

// The input's sine has a period of 48 samples, and sample n of the chip
// hears frame n: every sweep's trigger falls on the same sample of the period.
TEST_F(ScopeEndToEnd, A1kHzSineTriggersEverySweepAtTheSamePhase) {
    start();
    open();
    window_->setTimeBaseMs(5);
    ASSERT_TRUE(live());
    std::vector<uint64_t> triggers;
    ASSERT_TRUE(Shows(
        [&] {
            const ScopeFrame& f = window_->plot().shown();
            const uint64_t t = f.from + (f.to - f.from) / Trigger::kPreTriggerDivisor;
            if (f.triggered && (triggers.empty() || triggers.back() != t))
                triggers.push_back(t);
            return triggers.size() >= 100;
        },
        60));
    std::vector<std::string> off;
    for (uint64_t t : triggers) {
        const int64_t phase = int64_t((t - triggers.front()) % kPeriod);
        if (phase > 1 && phase < kPeriod - 1)
            off.push_back(std::to_string(t));
    }
    EXPECT_TRUE(off.empty()) << off.size() << " sweeps off phase, e.g. " << off.front();
}

TEST_F(ScopeEndToEnd, ASliderSetsItsGprAndFollowsASetFromElsewhere) {
    start();
    ASSERT_EQ(ifInitApsIo(), 0);
    open();
    QSlider* slider = nullptr;
    ASSERT_TRUE(Shows([&] { return (slider = window_->findChild<QSlider*>("sldControl_fback")); }));
    const auto* panel = window_->findChild<ControlsPanel*>("controlsPanel");
    const ControlInfo fback = *std::find_if(panel->controls().begin(), panel->controls().end(),
                                            [](const ControlInfo& c) { return c.name == "fback"; });
    const ControlRange range = RangeOf(fback.min, fback.max);
    slider->setValue(250);
    int32_t gpr = 0;
    EXPECT_TRUE(Shows([&] {
        return ifGPRMemoryRead(int32_t(fback.address), &gpr) == 0 && gpr == SliderValue(250, range);
    })) << "read "
        << gpr << " through Zendra";
    ASSERT_EQ(AskService("set fback 0.8").status, 0);
    EXPECT_TRUE(Shows([&] {
        return slider->value() == SliderPosition(int32_t(0x66666666), range);
    })) << slider->value();
    // A delay time moves in whole samples, and its readout says them.
    window_->findChild<QSlider*>("sldControl_depth")->setValue(333);
    const auto* depth = window_->findChild<QLabel*>("lblControl_depth");
    EXPECT_TRUE(Shows([&] {
        return ifGPRMemoryRead(int32_t(fback.address) - 3, &gpr) == 0 &&
               gpr == 128 << 11 && // depth's
               depth->text().toStdString() == "128 samples (2.67 ms)";
    })) << gpr
        << " " << depth->text().toStdString() << ", of 0 to 384 samples";
}

// Without the echo's and the chorus's levels only the delay line's sum,
// fed back by 0.9 in phase with the sine (0.3 s is 300 periods), outgrows
// full scale: break --saturation, which watches the instructions' results,
// must name lw's instruction, and the lamp (DBG's first) the same.
TEST_F(ScopeEndToEnd, ASaturatingProgramLightsTheLampWithItsInstructionAndClearPutsItOut) {
    start();
    open();
    for (const char* line : {"set mix 0", "set echo 0", "clear", "set fback 0.9"})
        ASSERT_EQ(AskService(line).status, 0) << line;
    const ControlReply clip = AskService("break --saturation --for 30");
    const std::size_t by = clip.text.find("by instruction 0x");
    ASSERT_NE(by, std::string::npos) << clip.text;
    EXPECT_NE(clip.text.find(": R lw "), std::string::npos) << clip.text;
    const std::string instruction = clip.text.substr(by + 15, 5);
    const auto* lamp = window_->findChild<QLabel*>("lblSaturation");
    EXPECT_TRUE(Shows([&] { return lamp->text().toStdString() == "saturated at " + instruction; }))
        << lamp->text().toStdString() << " for " << clip.text;
    ASSERT_EQ(AskService("set fback 0").status, 0);
    window_->findChild<QPushButton*>("btnClearSaturation")->click();
    window_->findChild<QPushButton*>("btnRun")->click();
    EXPECT_TRUE(Shows([&] { return lamp->text() == "no saturation"; }))
        << lamp->text().toStdString();
    EXPECT_TRUE(live());
}

TEST_F(ScopeEndToEnd, NoServiceThenOneThenItsLossAndReturnLiveAgain) {
    open();
    const std::string none = AttachmentText(Attachment::None);
    const std::string gone = AttachmentText(Attachment::Gone);
    EXPECT_TRUE(Shows([&] { return window_->plot().message().toStdString() == none; }));
    EXPECT_EQ(window_->statusText().toStdString(), none);
    start();
    ASSERT_TRUE(live());
    EXPECT_TRUE(window_->plot().message().isEmpty());
    service_.reset();
    EXPECT_TRUE(Shows([&] { return window_->statusText().toStdString() == gone; }));
    EXPECT_EQ(window_->plot().message().toStdString(), gone);
    start();
    EXPECT_TRUE(live()) << "live traces again";
    EXPECT_TRUE(window_->plot().message().isEmpty());
}

// However late the window listens, it attaches and draws.
TEST_F(ScopeEndToEnd, AWindowAttachesToALinkThatAnsweredBeforeItListened) {
    start();
    auto link = std::make_unique<ServiceLink>();
    const auto attached = Count(*link, &ServiceLink::attachmentChanged);
    link->start();
    ASSERT_TRUE(Eventually([&] { return *attached > 0; }));
    open(std::move(link));
    EXPECT_TRUE(live());
}

// A window that takes no answer (the slowest) is asked for nothing more.
TEST_F(ScopeEndToEnd, TheLinkAsksAgainOnlyOnceTheLastAnswerIsTaken) {
    start();
    ServiceLink link;
    const auto answers = Count(link, &ServiceLink::samplesAnswered);
    const auto polls = Count(link, &ServiceLink::statusAnswered);
    link.setSamplesRequest("samples 0 mono");
    link.start();
    ASSERT_TRUE(Eventually([&] { return *answers == 1; }));
    const int since = *polls;
    ASSERT_TRUE(Eventually([&] { return *polls >= since + 4; })) << "a second of polls";
    EXPECT_EQ(*answers, 1);
    EXPECT_EQ(link.samplesAsked(), 1);
    link.setSamplesRequest("samples 0 mono");
    EXPECT_TRUE(Eventually([&] { return *answers == 2; }));
}

// Said on the trace in the service's words (ScopeData checks them against the
// service's own); followed into a program that has it.
TEST_F(ScopeEndToEnd, ANameTheServiceDoesNotKnowIsSaidOnItsTraceUntilItsProgramIsBack) {
    start();
    open();
    window_->setTrace(2, "monoo");
    window_->setTrace(3, "0x000");
    const auto* typo = window_->findChild<QLabel*>("lblTrace3Value");
    const auto* input = window_->findChild<QLabel*>("lblTrace4Value");
    const auto* lw = window_->findChild<QLabel*>("lblTrace2Value");
    EXPECT_TRUE(Shows([&] { return typo->text() == "no register is called monoo"; }));
    EXPECT_TRUE(Shows([&] { return input->text().endsWith("; the history leaves it out"); }));
    EXPECT_TRUE(live()) << "the other traces go on";
    service_.reset();
    start(false);
    EXPECT_TRUE(Shows([&] { return lw->text() == "no register is called lw"; })) << "no --names";
    service_.reset();
    start();
    EXPECT_TRUE(live());
    EXPECT_TRUE(Shows([&] { return lw->text().contains("(20-bit "); })) << "lw's value again";
}

// Answered on the terminal: no display is there to open.
TEST(ScopeCommandLine, HelpAndAMistakeAnswerWithoutADisplay) {
    const std::string scope = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                              std::string(VELMORA_PROGRAM_DIR) + "/velmora-scope ";
    const int help = std::system((scope + "--help | grep -q '^Usage: velmora-scope'").c_str());
    EXPECT_TRUE(WIFEXITED(help) && WEXITSTATUS(help) == 0);
    const int mistake = std::system((scope + "--time-base 5000 2>/dev/null").c_str());
    EXPECT_TRUE(WIFEXITED(mistake) && WEXITSTATUS(mistake) == 2);
}

// Put back, the chip stands where the cursor is drawn; "Go here" on the
// sweep's first pixel puts it at the sweep's first sample.
TEST_F(ScopeEndToEnd, TheCursorMarksWhereTheChipStandsAndGoHerePutsItThere) {
    start();
    open();
    window_->setTimeBaseMs(100);
    ASSERT_TRUE(live());
    ASSERT_EQ(AskService("stop").status, 0);
    const ControlReply back = AskService("back 100");
    ASSERT_EQ(back.status, 0) << back.text;
    const auto status = ParseStatus(AskService("status").text);
    ASSERT_TRUE(status && status->behind);
    auto* plot = window_->findChild<TracePlot*>("tracePlot");
    // The cursor, once the sweep has caught up with the newest samples.
    ASSERT_TRUE(Shows([&] {
        const ScopeFrame& f = plot->shown();
        return plot->standingAt() == status->samples && f.from < status->samples &&
               status->samples < f.to;
    })) << StatusText(*status);
    const ScopeFrame frame = plot->shown();
    const QPoint left(0, plot->height() / 2);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, left, plot->mapToGlobal(left));
    QApplication::sendEvent(plot, &menu);
    plot->findChild<QAction*>("actGoHere")->trigger();
    EXPECT_TRUE(Shows([&] {
        const auto now = ParseStatus(AskService("status").text);
        return now && now->samples == frame.from && plot->standingAt() == frame.from;
    })) << AskService("status").text;
}
