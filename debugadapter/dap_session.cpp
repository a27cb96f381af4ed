#include "dap_session.h"

#include "answer_clauses.h"
#include "controls_answer.h"
#include "emu10k1_words.h"
#include "instruction_text.h"
#include "samples_answer.h"
#include "source_map_file.h"
#include "status_answer.h"
#include "symbol_file.h"
#include "symbol_names.h"
#include "symbol_table.h"
#include "tram_answer.h"
#include "verb_words.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kThread = 1;
// How often the adapter looks whether the service reloaded its program.
constexpr int kReloadPollMs = 1000;
// Each run request holds the chip this long of its time, then asks again,
// so a pause never waits on a long verb.
constexpr double kRunSliceSeconds = 2;
constexpr uint32_t kInstructions = FX8010_INSTRUCTION_COUNT;
// A request line stays well inside the service's limit.
constexpr std::size_t kMaxGetLine = 3000;

enum Scope { kControls = 1, kRegisters, kDelayLines, kOutputs, kCodes };
// The DSP's outputs, which the host reads only from the history.
constexpr uint32_t kFirstOutput = 0x20, kLastOutput = 0x3F;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

std::string S(const QString& text) {
    return text.toStdString();
}

// The symbol file that names the DSP's opcodes and registers, read once.
void LoadDspNames() {
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    try {
        LoadSymbolFile();
    } catch (const std::exception&) {
        // Unnamed, every operand shows as its number.
    }
}

std::string TrimmedLine(std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

} // namespace

DapSession::DapSession(DapOutput& output, std::function<void()> ended)
    : output_(output), ended_(std::move(ended)) {}

DapSession::~DapSession() {
    EndService();
}

void DapSession::Register(DapDispatcher& d) {
    const std::pair<const char*, DapReply (DapSession::*)(const DapArguments&)> handlers[] = {
        {"initialize", &DapSession::Initialize},
        {"launch", &DapSession::Launch},
        {"attach", &DapSession::Attach},
        {"configurationDone", &DapSession::ConfigurationDone},
        {"setBreakpoints", &DapSession::SetBreakpoints},
        {"setInstructionBreakpoints", &DapSession::SetInstructionBreakpoints},
        {"setExceptionBreakpoints", &DapSession::SetExceptionBreakpoints},
        {"dataBreakpointInfo", &DapSession::DataBreakpointInfo},
        {"setDataBreakpoints", &DapSession::SetDataBreakpoints},
        {"continue", &DapSession::Continue},
        {"pause", &DapSession::Pause},
        {"stepIn", &DapSession::StepIn},
        {"stepOut", &DapSession::StepOut},
        {"next", &DapSession::Next},
        {"stepBack", &DapSession::StepBack},
        {"reverseContinue", &DapSession::ReverseContinue},
        {"threads", &DapSession::Threads},
        {"stackTrace", &DapSession::StackTrace},
        {"scopes", &DapSession::Scopes},
        {"variables", &DapSession::Variables},
        {"evaluate", &DapSession::Evaluate},
        {"setVariable", &DapSession::SetVariable},
        {"setExpression", &DapSession::SetExpression},
        {"disassemble", &DapSession::Disassemble},
        {"readMemory", &DapSession::ReadMemory},
        {"loadedSources", &DapSession::LoadedSources},
        {"terminate", &DapSession::Terminate},
        {"disconnect", &DapSession::Disconnect},
    };
    for (const auto& [command, handler] : handlers)
        d.Add(command,
              [this, handler](const DapArguments& args) { return (this->*handler)(args); });
}

void DapSession::ClientGone() {
    EndService();
}

const ServiceLink& DapSession::Link() const {
    if (!link_)
        throw DapFailure{"no service yet: launch or attach first"};
    return *link_;
}

ControlReply DapSession::Ask(const std::string& line) const {
    ControlReply reply = Link().Ask(line);
    if (reply.status != 0)
        throw DapFailure{Q(reply.text)};
    return reply;
}

void DapSession::NeedStopped() const {
    Link();
    if (runner_->running())
        throw DapFailure{"the chip is running; pause it first"};
}

std::vector<RegisterValue> DapSession::Get(const std::vector<std::string>& names) const {
    std::vector<RegisterValue> values;
    for (std::size_t i = 0; i < names.size();) {
        std::vector<std::string> words = {"get"};
        std::size_t length = 3;
        for (; i < names.size() && length < kMaxGetLine; ++i) {
            words.push_back(names[i]);
            length += names[i].size() + 3;
        }
        const ControlReply reply = Ask(RequestLine(words));
        const auto got = ParseGetAnswer(reply.text);
        if (!got)
            throw DapFailure{"the service's answer to get makes no sense: " + Q(reply.text)};
        values.insert(values.end(), got->begin(), got->end());
    }
    return values;
}

DspPosition DapSession::Position() const {
    const auto status = ParseStatus(Ask("status").text);
    if (!status)
        throw DapFailure{"the service's status makes no sense"};
    return {status->samples, status->stepAddress};
}

std::vector<std::pair<uint32_t, std::string>> DapSession::ProgramNames(uint32_t from,
                                                                       uint32_t to) const {
    SymbolTable opcodes, registers;
    try {
        LoadSymbolFile(Link().NamesFile(), opcodes, registers);
    } catch (const std::exception&) {
        return {}; // no program's names: nothing loaded, or a card
    }
    std::vector<std::pair<uint32_t, std::string>> names;
    for (const auto& [value, name] : registers.NameByValue().entries())
        if (uint32_t(value) >= from && uint32_t(value) <= to)
            names.emplace_back(uint32_t(value), name);
    std::sort(names.begin(), names.end());
    return names;
}

QJsonArray DapSession::VariablesOf(const std::vector<std::string>& names, bool hex) const {
    QJsonArray variables;
    if (names.empty())
        return variables;
    for (const RegisterValue& v : Get(names)) {
        QJsonObject variable{{"name", Q(v.name)},
                             {"value", Q(ValueShown(v, hex))},
                             {"type", Q(HexText(v.address, 3))},
                             {"evaluateName", Q(v.name)},
                             {"variablesReference", 0}};
        if (const auto pool = PoolOfRegister(v.address))
            variable["memoryReference"] = Q(*pool);
        variables.append(variable);
    }
    return variables;
}

void DapSession::StoppedEvent(const QString& reason, const QString& text) {
    output_.Event("stopped", {{"reason", reason},
                              {"description", text},
                              {"text", text},
                              {"threadId", kThread},
                              {"allThreadsStopped", true}});
}

void DapSession::Stopped(const StopSaid& said) {
    bool stands = true;
    try {
        stands = said.reason != StopReason::kBreakpoint || !link_ || BreakStands();
    } catch (const DapFailure&) {
        // The service went quiet: the stop stands, and the next request says why.
    }
    if (!stands) {
        runner_->Run(RunRequest());
        return;
    }
    StoppedEvent(StopReasonWord(said.reason), Q(said.text));
}

bool DapSession::BreakStands() {
    const DspPosition at = Position();
    if (std::find(breaks_.begin(), breaks_.end(), at.pc) != breaks_.end())
        return true;
    bool stands = false, any = false;
    for (LineBreakpoint& b : lineBreaks_) {
        if (b.address != at.pc)
            continue;
        any = true;
        if (b.condition) {
            std::vector<RegisterValue> v;
            try {
                v = Get({b.condition->name});
            } catch (const DapFailure&) {
                return true; // a name the program lost: stop and let the editor see
            }
            if (!ConditionHolds(b.condition->condition, v[0]))
                continue;
        }
        ++b.hits;
        stands = stands || !b.hit || HitStops(*b.hit, b.hits);
    }
    return stands || !any;
}

std::vector<uint32_t> DapSession::AllBreaks() const {
    std::vector<uint32_t> all = breaks_;
    for (const LineBreakpoint& b : lineBreaks_)
        if (std::find(all.begin(), all.end(), b.address) == all.end())
            all.push_back(b.address);
    return all;
}

const SourceMap& DapSession::Map() {
    if (!link_)
        return map_;
    SourceMapRead read = ReadSourceMapFile(Link().SourceMapFile());
    if (read.map)
        map_ = std::move(*read.map);
    return map_;
}

QJsonObject DapSession::SourceOf(uint32_t file) const {
    const QString name = file < map_.files.size() ? Q(map_.files[file].name) : QString("?");
    QJsonObject source{{"name", name}};
    // The map names files as the assembler read them, beside the program.
    if (!program_.isEmpty())
        source["path"] = QFileInfo(program_).dir().absoluteFilePath(name);
    return source;
}

namespace {

// Every reload the service takes puts a new names file beside its socket,
// even when its names stayed the same: a new file tells a reload from none.
std::string FileStamp(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return "";
    return std::to_string(st.st_ino) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec);
}

} // namespace

void DapSession::WatchForReload() {
    Map();
    namesStamp_ = FileStamp(Link().NamesFile());
    reloadPoll_.setInterval(kReloadPollMs);
    connect(&reloadPoll_, &QTimer::timeout, this, [this] {
        if (!link_)
            return;
        const SourceMap before = map_;
        const std::string stamp = FileStamp(Link().NamesFile());
        const bool republished = stamp != namesStamp_;
        namesStamp_ = stamp;
        if (Map() == before) {
            if (republished)
                output_.Event("invalidated", {{"areas", QJsonArray{"all"}}});
            return;
        }
        // The editor keeps its breakpoints on their lines as they are now.
        std::vector<LineBreakpoint> kept;
        for (LineBreakpoint b : lineBreaks_) {
            const LineBreak at = ResolveLineBreak(map_, b.file, b.line);
            if (at.address)
                b.address = *at.address;
            else
                output_.Event("output",
                              {{"category", "console"},
                               {"output", "breakpoint dropped: " + Q(at.message) + "\n"}});
            if (at.address)
                kept.push_back(b);
        }
        lineBreaks_ = std::move(kept);
        output_.Event("invalidated", {{"areas", QJsonArray{"all"}}});
    });
    reloadPoll_.start();
}

std::string DapSession::RunRequest() const {
    if (!dataBreaks_.empty()) {
        if (!dataBreaks_[0].condition.option.empty())
            return WatchRequest(S(dataBreaks_[0].name), dataBreaks_[0].condition, kRunSliceSeconds);
        std::vector<std::string> words = {"watch"};
        for (const DataBreakpoint& b : dataBreaks_)
            words.push_back(S(b.name));
        words.insert(words.end(), {"--for", "2"});
        return RequestLine(words);
    }
    if (const std::vector<uint32_t> all = AllBreaks(); !all.empty() || saturation_)
        return BreakRequest(all, saturation_, kRunSliceSeconds);
    return "";
}

void DapSession::EndService() {
    reloadPoll_.stop();
    runner_.reset();
    if (launched_)
        launched_->End();
    launched_.reset();
    link_.reset();
}

DapReply DapSession::Initialize(const DapArguments&) {
    return {QJsonObject{
        {"supportsConfigurationDoneRequest", true},
        {"supportsInstructionBreakpoints", true},
        {"supportsDataBreakpoints", true},
        {"supportsDisassembleRequest", true},
        {"supportsReadMemoryRequest", true},
        {"supportsSetVariable", true},
        {"supportsStepBack", true},
        {"supportsConditionalBreakpoints", true},
        {"supportsHitConditionalBreakpoints", true},
        {"supportsSetExpression", true},
        {"supportsEvaluateForHovers", true},
        {"supportsLoadedSourcesRequest", true},
        {"supportsTerminateRequest", true},
        {"supportsValueFormattingOptions", true},
        {"exceptionBreakpointFilters",
         QJsonArray{QJsonObject{{"filter", "saturation"},
                                {"label", "Saturation"},
                                {"description", "Stop where an instruction saturates"},
                                {"default", false}}}},
    }};
}

DapReply DapSession::Launch(const DapArguments& args) {
    if (link_)
        throw DapFailure{"the session has a service already"};
    program_ = QFileInfo(args.String("program")).absoluteFilePath();
    QStringList service = {"--run", "--patch", program_};
    for (const char* file : {"image", "names", "input"})
        if (args.Has(file))
            service << QString("--") + file << QFileInfo(args.String(file)).absoluteFilePath();
    for (const char* device : {"play", "capture"}) {
        const QJsonValue v = args.all().value(device);
        if (v.isString())
            service << QString("--%1=%2").arg(device, v.toString());
        else if (args.Bool(device, false))
            service << QString("--") + device;
    }
    stopOnEntry_ = args.Bool("stopOnEntry", false);
    launched_ = std::make_unique<LaunchedService>([this](const QString& line) {
        output_.Event("output", {{"category", "console"}, {"output", line + "\n"}});
    });
    QString why;
    if (!launched_->Start(service, &why)) {
        launched_.reset();
        throw DapFailure{why};
    }
    link_ = ServiceLink::InFolder(launched_->folder());
    return Joined();
}

// Launched or attached, the session runs the chip from here on the same way.
DapReply DapSession::Joined() {
    runner_ = std::make_unique<ChipRunner>(*link_, [this](const StopSaid& said) {
        QMetaObject::invokeMethod(
            this, [this, said] { Stopped(said); }, Qt::QueuedConnection);
    });
    if (stopOnEntry_)
        Ask("stop");
    WatchForReload();
    return {{}, [this] { output_.Event("initialized"); }};
}

DapReply DapSession::Attach(const DapArguments& args) {
    if (link_)
        throw DapFailure{"the session has a service already"};
    const ServiceLink link = ServiceLink::User();
    const ControlReply status = link.Ask("status");
    if (status.trouble != ControlTrouble::kNone)
        throw DapFailure{Q(status.text)};
    link_ = link;
    stopOnEntry_ = args.Bool("stopOnEntry", false);
    return Joined();
}

DapReply DapSession::ConfigurationDone(const DapArguments&) {
    Link();
    if (stopOnEntry_) {
        const DspPosition at = Position();
        return {{}, [this, at] {
                    StoppedEvent("entry", "stopped at sample " + QString::number(at.sample));
                }};
    }
    return {{}, [this] { runner_->Run(RunRequest()); }};
}

DapReply DapSession::SetBreakpoints(const DapArguments& args) {
    const QJsonObject source = args.Object("source");
    const QString path = source.value("path").toString(source.value("name").toString());
    Link();
    const SourceMap& map = Map();
    const auto file = map.FileNamed(S(path));
    std::erase_if(lineBreaks_, [&](const LineBreakpoint& b) { return file && b.file == *file; });
    QJsonArray results;
    for (const QJsonValue& value : args.Array("breakpoints")) {
        const DapArguments b(QJsonObject{{"arguments", ObjectIn(value, "the breakpoints")}});
        const qint64 line = b.Integer("line");
        LineBreakpoint taken;
        taken.file = file.value_or(0);
        taken.line = uint32_t(std::clamp<qint64>(line, 0, UINT32_MAX));
        std::string why;
        if (!file)
            why = "the program has no source " + S(path) + (map.empty() ? " (no source map)" : "");
        else if (const LineBreak at = ResolveLineBreak(map, *file, taken.line); !at.address)
            why = at.message;
        else
            taken.address = *at.address;
        if (why.empty() && b.Has("condition") && !b.String("condition").trimmed().isEmpty())
            taken.condition = ParseValueCondition(S(b.String("condition")), &why);
        if (why.empty() && b.Has("hitCondition") && !b.String("hitCondition").trimmed().isEmpty())
            taken.hit = ParseHitCondition(S(b.String("hitCondition")), &why);
        QJsonObject result{{"verified", why.empty()}, {"line", line}};
        if (why.empty()) {
            lineBreaks_.push_back(taken);
            result["source"] = SourceOf(taken.file);
            result["instructionReference"] = Q(InstructionReference(taken.address));
        } else {
            result["message"] = Q(why);
        }
        results.append(result);
    }
    return {{{"breakpoints", results}}};
}

DapReply DapSession::SetInstructionBreakpoints(const DapArguments& args) {
    breaks_.clear();
    QJsonArray verified;
    for (const QJsonValue& value : args.Array("breakpoints")) {
        const DapArguments b(QJsonObject{{"arguments", ObjectIn(value, "the breakpoints")}});
        std::string why;
        const auto address = ParseInstructionReference(S(b.String("instructionReference")),
                                                       b.Integer("offset", 0), &why);
        if (address)
            breaks_.push_back(*address);
        QJsonObject result{{"verified", bool(address)}};
        if (address)
            result["instructionReference"] = Q(InstructionReference(*address));
        else
            result["message"] = Q(why);
        verified.append(result);
    }
    return {{{"breakpoints", verified}}};
}

DapReply DapSession::SetExceptionBreakpoints(const DapArguments& args) {
    saturation_ = false;
    QJsonArray results;
    for (const QJsonValue& filter : args.Array("filters")) {
        if (!filter.isString())
            throw DapFailure{"each of the filters must be a string"};
        const bool known = filter.toString() == "saturation";
        saturation_ = saturation_ || known;
        QJsonObject result{{"verified", known}};
        if (!known)
            result["message"] = "the only filter is saturation";
        results.append(result);
    }
    return {{{"breakpoints", results}}};
}

DapReply DapSession::DataBreakpointInfo(const DapArguments& args) {
    const QString name = args.String("name");
    try {
        const std::vector<RegisterValue> v = Get({S(name)});
        if (v[0].address < 0x100)
            return {{{"dataId", QJsonValue::Null},
                     {"description", name + " is a chip register the DSP does not write"}}};
        return {{{"dataId", Q(v[0].name)},
                 {"description", Q(v[0].name + " (" + HexText(v[0].address, 3) + ")")},
                 {"accessTypes", QJsonArray{"write"}},
                 {"canPersist", true}}};
    } catch (const DapFailure& failure) {
        return {{{"dataId", QJsonValue::Null}, {"description", failure.message}}};
    }
}

DapReply DapSession::SetDataBreakpoints(const DapArguments& args) {
    dataBreaks_.clear();
    QJsonArray results;
    bool conditioned = false;
    for (const QJsonValue& value : args.Array("breakpoints")) {
        const DapArguments b(QJsonObject{{"arguments", ObjectIn(value, "the breakpoints")}});
        const QString id = b.String("dataId");
        const QString access = b.String("accessType", "write");
        std::string why;
        const auto condition = ParseDataCondition(S(b.String("condition", "")), &why);
        if (access != "write")
            why = "the DSP's registers break on a write only";
        else if (condition && (conditioned || (!condition->option.empty() && !dataBreaks_.empty())))
            why = "a data breakpoint with a condition stands alone: watch takes one register "
                  "with a condition";
        const bool taken = condition && why.empty();
        if (taken) {
            conditioned = !condition->option.empty();
            dataBreaks_.push_back({id, *condition});
        }
        QJsonObject result{{"verified", taken}};
        if (!taken)
            result["message"] = Q(why);
        results.append(result);
    }
    return {{{"breakpoints", results}}};
}

DapReply DapSession::Continue(const DapArguments&) {
    NeedStopped();
    // break runs the instruction the chip stands before first, so a stop at
    // a breakpoint goes on past it.
    const std::string request = RunRequest();
    return {{{"allThreadsContinued", true}}, [this, request] { runner_->Run(request); }};
}

DapReply DapSession::Pause(const DapArguments&) {
    Link();
    if (runner_->running())
        return {{}, [this] { runner_->Pause(); }};
    const ControlReply stop = Ask("stop");
    return {{}, [this, stop] { StoppedEvent("pause", Q(stop.text)); }};
}

DapReply DapSession::StepIn(const DapArguments&) {
    NeedStopped();
    const ControlReply step = Ask("step --count 1");
    return {{}, [this, step] { StoppedEvent("step", Q(step.text)); }};
}

DapReply DapSession::StepOut(const DapArguments&) {
    NeedStopped();
    const DspPosition at = Position();
    const ControlReply step = Ask("step --count " + std::to_string(kInstructions - at.pc));
    return {{}, [this, step] { StoppedEvent("step", Q(step.text)); }};
}

DapReply DapSession::Next(const DapArguments&) {
    NeedStopped();
    const DspPosition at = Position();
    const uint32_t count = InstructionsToNextLine(Map(), at.pc, kInstructions);
    const ControlReply step = Ask("step --count " + std::to_string(count));
    return {{}, [this, step] { StoppedEvent("step", Q(step.text)); }};
}

DapReply DapSession::StepBack(const DapArguments& args) {
    NeedStopped();
    const bool byInstruction = args.String("granularity", "statement") == "instruction";
    const uint32_t count = byInstruction ? 1 : InstructionsToLineBefore(Map(), Position().pc);
    ControlReply step;
    for (uint32_t i = 0; i < count; ++i)
        step = Ask("step --back");
    return {{}, [this, step] { StoppedEvent("step", Q(step.text)); }};
}

DapReply DapSession::ReverseContinue(const DapArguments&) {
    NeedStopped();
    std::string request;
    if (!dataBreaks_.empty()) {
        if (dataBreaks_.size() > 1)
            throw DapFailure{"going back watches one register: keep one data breakpoint"};
        request = RequestLine({"watch", S(dataBreaks_[0].name), "--back"});
        if (!dataBreaks_[0].condition.option.empty())
            request += " " + RequestLine(
                                 {dataBreaks_[0].condition.option, dataBreaks_[0].condition.value});
    } else if (saturation_) {
        request = "break --saturation --back";
    }
    if (!request.empty()) {
        const ControlReply reply = Link().Ask(request);
        const StopSaid said = ParseStopAnswer(reply.status, reply.text);
        if (reply.status != 0 || said.reason == StopReason::kNone)
            throw DapFailure{Q(reply.text)};
        return {{}, [this, said] { Stopped(said); }};
    }
    const auto hit = LastBreakHit(AllBreaks(), Position());
    if (!hit)
        throw DapFailure{"no breakpoint was hit before where the chip stands"};
    Ask("goto " + std::to_string(hit->sample));
    ControlReply reply = hit->pc ? Ask("step --count " + std::to_string(hit->pc)) : Ask("status");
    return {{}, [this, reply] { StoppedEvent("breakpoint", Q(reply.text)); }};
}

DapReply DapSession::Threads(const DapArguments&) {
    return {{{"threads", QJsonArray{QJsonObject{{"id", kThread}, {"name", "DSP"}}}}}};
}

DapReply DapSession::StackTrace(const DapArguments& args) {
    args.Integer("threadId");
    const DspPosition at = Position();
    QJsonObject frame{{"id", 1},
                      {"name", "sample " + QString::number(at.sample)},
                      {"line", 0},
                      {"column", 0},
                      {"instructionPointerReference", Q(InstructionReference(at.pc))}};
    if (const SourcePlace* place = Map().At(at.pc)) {
        frame["source"] = SourceOf(place->file);
        frame["line"] = qint64(place->line);
        frame["column"] = 1;
    }
    return {{{"stackFrames", QJsonArray{frame}}, {"totalFrames", 1}}};
}

DapReply DapSession::Scopes(const DapArguments& args) {
    args.Integer("frameId");
    QJsonArray scopes;
    const std::pair<const char*, Scope> kScopes[] = {{"Controls", kControls},
                                                     {"Registers", kRegisters},
                                                     {"Delay lines", kDelayLines},
                                                     {"Outputs", kOutputs},
                                                     {"Codes and DBG", kCodes}};
    for (const auto& [name, reference] : kScopes)
        scopes.append(
            QJsonObject{{"name", name}, {"variablesReference", reference}, {"expensive", false}});
    return {{{"scopes", scopes}}};
}

DapReply DapSession::Variables(const DapArguments& args) {
    const qint64 reference = args.Integer("variablesReference");
    const bool hex = args.Object("format").value("hex").toBool();
    std::vector<std::string> names;
    QJsonArray variables;
    switch (reference) {
    case kControls: {
        const auto controls = ParseControls(Ask("controls").text);
        for (const ControlInfo& c : controls.value_or(std::vector<ControlInfo>()))
            names.push_back(c.name);
        break;
    }
    case kRegisters:
    case kDelayLines:
        for (const auto& [address, name] :
             reference == kRegisters ? ProgramNames(0x100, 0x1FF) : ProgramNames(0x200, 0x3FF))
            names.push_back(name);
        break;
    case kOutputs:
        for (const RegisterValue& v : Outputs())
            variables.append(QJsonObject{{"name", Q(v.name)},
                                         {"value", Q(ValueShown(v, hex))},
                                         {"type", Q(HexText(v.address, 3))},
                                         {"variablesReference", 0}});
        break;
    case kCodes: {
        const auto status = ParseStatus(Ask("status").text);
        if (!status)
            throw DapFailure{"the service's status makes no sense"};
        variables.append(QJsonObject{
            {"name", "codes"}, {"value", Q(CodesText(status->codes))}, {"variablesReference", 0}});
        variables.append(QJsonObject{{"name", "saturation"},
                                     {"value", status->saturatedAt < 0
                                                   ? QString("none")
                                                   : "at " + Q(HexText(status->saturatedAt, 3))},
                                     {"variablesReference", 0}});
        names.push_back("DBG");
        break;
    }
    default:
        throw DapFailure{"no variables are known by " + QString::number(reference)};
    }
    for (const QJsonValue& v : VariablesOf(names, hex))
        variables.append(v);
    return {{{"variables", variables}}};
}

std::vector<RegisterValue> DapSession::Outputs() const {
    LoadDspNames();
    const DspPosition at = Position();
    std::vector<RegisterValue> values;
    // One at a time: the history keeps only the outputs the program writes,
    // and refuses a request that names any other.
    for (uint32_t reg = kFirstOutput; reg <= kLastOutput; ++reg) {
        const ControlReply reply = Link().Ask(LastSampleRequest(at.sample, reg));
        const auto header = ParseSamplesHeader(reply.text);
        if (reply.status != 0 || !header)
            continue;
        const auto columns = SamplesColumns(*header, reply.payload);
        if (columns.size() == 1 && !columns[0].empty())
            values.push_back(SampledValue(RegisterName(int32_t(reg)), reg, columns[0].back()));
    }
    return values;
}

DapReply DapSession::Evaluate(const DapArguments& args) {
    const QString expression = args.String("expression").trimmed();
    const bool hex = args.Object("format").value("hex").toBool();
    const std::vector<RegisterValue> v = Get({S(expression)});
    return {{{"result", Q(ValueShown(v[0], hex))},
             {"type", Q(HexText(v[0].address, 3))},
             {"variablesReference", 0}}};
}

DapReply DapSession::SetVariable(const DapArguments& args) {
    args.Integer("variablesReference");
    const std::string name = S(args.String("name"));
    Ask(RequestLine({"set", name, SetValueWord(S(args.String("value")))}));
    return {{{"value", Q(ValueShown(Get({name})[0], false))}}};
}

DapReply DapSession::SetExpression(const DapArguments& args) {
    const std::string name = S(args.String("expression").trimmed());
    Ask(RequestLine({"set", name, SetValueWord(S(args.String("value")))}));
    return {{{"value", Q(ValueShown(Get({name})[0], false))}}};
}

DapReply DapSession::Disassemble(const DapArguments& args) {
    std::string why;
    const auto base = ParseInstructionReference(S(args.String("memoryReference")),
                                                args.Integer("offset", 0), &why);
    if (!base)
        throw DapFailure{Q(why)};
    const qint64 first = int64_t(*base) + args.Integer("instructionOffset", 0);
    const qint64 count = args.Integer("instructionCount");
    if (count < 0 || count > 4 * kInstructions)
        throw DapFailure{"instructionCount goes from 0 to " + QString::number(4 * kInstructions)};
    std::vector<std::string> words;
    for (uint32_t reg = FX8010_MICROCODE_BASE; reg < FX8010_MICROCODE_BASE + 2 * kInstructions;
         ++reg)
        words.push_back(HexText(reg, 3));
    const std::vector<RegisterValue> code = Get(words);
    if (code.size() != 2 * kInstructions)
        throw DapFailure{"the service gave " + QString::number(code.size()) + " code words"};
    LoadDspNames();
    const SourceMap& map = Map();
    SymbolTable opcodes, program;
    try {
        LoadSymbolFile(Link().NamesFile(), opcodes, program);
    } catch (const std::exception&) {
    }
    QJsonArray instructions;
    for (qint64 i = first; i < first + count; ++i) {
        const QString address = Q(HexText(uint32_t(std::clamp<qint64>(i, 0, 0xFFFFFF)), 3));
        if (i < 0 || i >= kInstructions) {
            instructions.append(
                QJsonObject{{"address", i < 0 ? "-" + QString::number(-i) : address},
                            {"instruction", ""},
                            {"presentationHint", "invalid"}});
            continue;
        }
        const Fx8010Words w{code[2 * i].word, code[2 * i + 1].word};
        const Fx8010Fields f = Fx8010UnpackInstruction(w);
        const MicrocodeInstruction m{int32_t(f.opcode), int32_t(f.a), int32_t(f.x), int32_t(f.y),
                                     int32_t(f.r)};
        QJsonObject instruction{
            {"address", address},
            {"instruction", Q(TrimmedLine(FormatInstruction(m, 8, true, &program)))},
            {"instructionBytes", Q(HexText(w.high, 8) + " " + HexText(w.low, 8))}};
        if (const SourcePlace* place = map.At(uint32_t(i))) {
            instruction["location"] = SourceOf(place->file);
            instruction["line"] = qint64(place->line);
        }
        instructions.append(instruction);
    }
    return {{{"instructions", instructions}}};
}

DapReply DapSession::ReadMemory(const DapArguments& args) {
    const QString reference = args.String("memoryReference");
    const auto external = PoolOfReference(S(reference));
    if (!external)
        throw DapFailure{"the memory references are " + QString(kInternalPool) + " and " +
                         kExternalPool + ", not '" + reference + "'"};
    const std::string pool = *external ? "external" : "internal";
    const qint64 offset = args.Integer("offset", 0), count = args.Integer("count");
    const auto size = ParseTramHeader(Ask("tram " + pool + " 0 1").text);
    if (!size)
        throw DapFailure{"the service's answer to tram makes no sense"};
    const PoolSpan span = PoolBytes(offset, count, size->size);
    std::string bytes;
    for (uint32_t done = 0; done < span.samples;) {
        const uint32_t n = std::min(span.samples - done, kMaxTramAnswer);
        const ControlReply reply =
            Ask("tram " + pool + " " + std::to_string(span.firstSample + done) + " " +
                std::to_string(n));
        const auto header = ParseTramHeader(reply.text);
        if (!header || header->count != n)
            throw DapFailure{"the service's answer to tram makes no sense: " + Q(reply.text)};
        bytes += reply.payload;
        done += n;
    }
    bytes = bytes.substr(span.skip, span.readable);
    return {{{"address", Q(HexText(uint32_t(std::max<qint64>(offset, 0)), 5))},
             {"data", QString::fromLatin1(QByteArray::fromStdString(bytes).toBase64())},
             {"unreadableBytes", qint64(std::max<qint64>(count, 0) - qint64(span.readable))}}};
}

DapReply DapSession::LoadedSources(const DapArguments&) {
    QJsonArray sources;
    if (link_ && !Map().files.empty()) {
        for (uint32_t file = 0; file < map_.files.size(); ++file)
            sources.append(SourceOf(file));
    } else if (!program_.isEmpty())
        sources.append(QJsonObject{{"name", QFileInfo(program_).fileName()}, {"path", program_}});
    return {{{"sources", sources}}};
}

DapReply DapSession::Terminate(const DapArguments&) {
    return {{}, [this] {
                EndService();
                output_.Event("terminated");
            }};
}

DapReply DapSession::Disconnect(const DapArguments& args) {
    // A launched service ends with the session; an attached one keeps running.
    args.Bool("terminateDebuggee", true);
    return {{}, [this] {
                EndService();
                ended_();
            }};
}
