// One debugging session: the service it launched or joined, the breakpoints
// the editor set, and the handlers of each request, which turn the
// editor's words into verbs (dap_mapping) and the answers into responses
// and events.
#pragma once

#include "chip_runner.h"
#include "dap_dispatcher.h"
#include "dap_lines.h"
#include "launched_service.h"
#include "service_link.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class DapSession : public QObject {
    Q_OBJECT
  public:
    // ended is called once the session is over (disconnect).
    DapSession(DapOutput& output, std::function<void()> ended);
    ~DapSession() override;
    void Register(DapDispatcher& dispatcher);
    // The client went away: a launched service ends with it.
    void ClientGone();

  private:
    struct DataBreakpoint {
        QString name;
        WatchCondition condition;
    };
    struct LineBreakpoint {
        uint32_t file = 0, line = 0, address = 0;
        std::optional<ValueCondition> condition;
        std::optional<HitCondition> hit;
        uint64_t hits = 0;
    };

    DapReply Initialize(const DapArguments& args);
    DapReply Launch(const DapArguments& args);
    DapReply Attach(const DapArguments& args);
    DapReply ConfigurationDone(const DapArguments& args);
    DapReply SetBreakpoints(const DapArguments& args);
    DapReply SetInstructionBreakpoints(const DapArguments& args);
    DapReply SetExceptionBreakpoints(const DapArguments& args);
    DapReply DataBreakpointInfo(const DapArguments& args);
    DapReply SetDataBreakpoints(const DapArguments& args);
    DapReply Continue(const DapArguments& args);
    DapReply Pause(const DapArguments& args);
    DapReply StepIn(const DapArguments& args);
    DapReply StepOut(const DapArguments& args);
    DapReply Next(const DapArguments& args);
    DapReply StepBack(const DapArguments& args);
    DapReply ReverseContinue(const DapArguments& args);
    DapReply Threads(const DapArguments& args);
    DapReply StackTrace(const DapArguments& args);
    DapReply Scopes(const DapArguments& args);
    DapReply Variables(const DapArguments& args);
    DapReply Evaluate(const DapArguments& args);
    DapReply SetVariable(const DapArguments& args);
    DapReply SetExpression(const DapArguments& args);
    DapReply Disassemble(const DapArguments& args);
    DapReply ReadMemory(const DapArguments& args);
    DapReply LoadedSources(const DapArguments& args);
    DapReply Terminate(const DapArguments& args);
    DapReply Disconnect(const DapArguments& args);

    // The service's answer to line; DapFailure with its words when it refuses.
    ControlReply Ask(const std::string& line) const;
    const ServiceLink& Link() const;
    void NeedStopped() const;
    std::vector<RegisterValue> Get(const std::vector<std::string>& names) const;
    DspPosition Position() const;
    // The outputs the program writes, as they left the last sample.
    std::vector<RegisterValue> Outputs() const;
    // The program's names the service publishes, by address, from..to.
    std::vector<std::pair<uint32_t, std::string>> ProgramNames(uint32_t from, uint32_t to) const;
    QJsonArray VariablesOf(const std::vector<std::string>& names, bool hex) const;
    void Stopped(const StopSaid& said);
    void StoppedEvent(const QString& reason, const QString& text);
    std::string RunRequest() const;
    // Every instruction a run breaks at: the editor's and its lines'.
    std::vector<uint32_t> AllBreaks() const;
    // Whether a stop at a breakpoint stands: a line breakpoint's condition
    // and hit count may let the chip run on.
    bool BreakStands();
    // The program's source map as the service wrote it last.
    const SourceMap& Map();
    QJsonObject SourceOf(uint32_t file) const;
    // A reload writes another map: the editor's views of the chip are stale.
    DapReply Joined();
    void WatchForReload();
    void EndService();

    DapOutput& output_;
    std::function<void()> ended_;
    std::optional<ServiceLink> link_;
    std::unique_ptr<LaunchedService> launched_;
    std::unique_ptr<ChipRunner> runner_;
    QString program_;
    bool stopOnEntry_ = false;
    bool saturation_ = false;
    std::vector<uint32_t> breaks_;
    std::vector<DataBreakpoint> dataBreaks_;
    std::vector<LineBreakpoint> lineBreaks_;
    SourceMap map_;
    std::string namesStamp_; // the names file the service published last
    QTimer reloadPoll_;
};
