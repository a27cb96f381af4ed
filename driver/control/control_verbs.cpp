#include "control_verbs.h"

#include "audio_samples.h"
#include "card_refusal.h"
#include "dsp_signals.h"
#include "emu10k1_words.h"
#include "fx8010_alu.h"
#include "hex_number.h"
#include "next_reader.h"
#include "samples_verb.h"
#include "status_answer.h"
#include "trace_verb.h"
#include "tram_verb.h"
#include "verb_words.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>
#include <sstream>
#include <vector>

namespace {

constexpr uint32_t kGprs = 0x100, kTramData = 0x200, kTramAddress = 0x300, kEnd = 0x400;
// A hundred samples of a whole microcode's instructions, a few tenths of a
// second at most, well within emuapsctl's wait.
constexpr int64_t kMaxStepCount = 100 * kMicrocodeSize;
static_assert(kVerbSampleRate == kChipSampleRate);

ControlAnswer Done(const std::string& text) {
    return {0, text};
}
ControlAnswer Refused(const std::string& text) {
    return {1, text};
}
ControlAnswer Usage(const std::string& text) {
    return {2, text};
}

bool IsTramData(uint32_t reg) {
    return reg >= kTramData && reg < kTramAddress;
}

// The protocol names the DSP's codes by their bits.
static_assert(fx8010::kCcSaturated == 0x10 && fx8010::kCcZero == 0x08 &&
              fx8010::kCcNegative == 0x04 && fx8010::kCcBorrow == 0x02 &&
              fx8010::kCcNormalised == 0x01);

// Where the chip stands: "sample 12 before instruction 0x005" inside one.
std::string PositionText(const SimulatedChip::Position& at) {
    std::string text = "at sample " + std::to_string(at.samples);
    return at.pc ? text + " before instruction " + HexNumber(at.pc, 3) : text;
}

// The instruction's result register and its value, when the host sees it.
uint32_t ResultRegister(SimulatedChip& chip, uint32_t address) {
    Fx8010Fields f = Fx8010UnpackInstruction(
        {chip.Read(kMicrocodeBase + 2 * address), chip.Read(kMicrocodeBase + 2 * address + 1)});
    return f.r;
}

// A DSP-view value as the host sees its register.
uint32_t HostView(uint32_t reg, int32_t value) {
    if (IsTramData(reg))
        return uint32_t(value) >> 12;
    if (reg >= kTramAddress && reg < kEnd)
        return (uint32_t(value) >> 11) & 0xFFFFF;
    return uint32_t(value);
}

// The registers that words[1...] name in space, each below limit; else the
// refusal of a name, or usage for a number out of range.
std::optional<ControlAnswer> TakeRegisters(const std::vector<std::string>& words,
                                           const RegisterNames& names, RegisterSpace space,
                                           uint32_t limit, const char* usage,
                                           std::vector<uint32_t>* out) {
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string why;
        const std::optional<uint32_t> reg = names.Find(words[i], space, &why);
        if (!reg)
            return Refused(why);
        if (*reg >= limit)
            return Usage(usage);
        out->push_back(*reg);
    }
    if (out->empty())
        return Usage(usage);
    return std::nullopt;
}

bool ParseList(const std::vector<std::string>& words, uint32_t limit, std::vector<uint32_t>* out) {
    for (std::size_t i = 1; i < words.size(); ++i) {
        uint32_t value = 0;
        if (!ParseRegister(words[i], &value) || value >= limit)
            return false;
        out->push_back(value);
    }
    return !out->empty();
}

// The verbs that run the chip while they hold the turn, as status names them.
bool RunsTheChip(const std::string& request) {
    const std::vector<std::string> words = RequestWords(request);
    return !words.empty() && (words[0] == "advance" || words[0] == "watch" || words[0] == "break" ||
                              words[0] == "step");
}

ControlAnswer Status(ControlContext& c) {
    SimulatedChip& chip = *c.chip;
    const uint32_t dbg = chip.Read(fx8010dbg::kRegister);
    const SimulatedChip::Position at = chip.position();
    const std::string holder = c.turn.holder();
    // A verb stops the chip's own running while it runs it.
    const bool verb = RunsTheChip(holder);
    const bool clock = !fx8010dbg::Stopped(dbg) && c.running;
    StatusAnswer s;
    s.state = verb                      ? "running a client's '" + holder + "'"
              : fx8010dbg::Stopped(dbg) ? "stopped"
              : c.running               ? "running"
                                        : "standing";
    s.samples = at.samples;
    s.stepAddress = fx8010dbg::StepAddress(dbg);
    s.codes = fx8010dbg::Codes(dbg);
    s.saturatedAt = fx8010dbg::SaturationAddress(dbg);
    s.loaded = c.loaded.empty() ? std::string("nothing") : c.loaded;
    s.factor = verb || clock ? chip.RunFactor() : 0.0;
    if (const std::string playing = c.playing ? c.playing() : ""; !playing.empty())
        s.more.push_back(playing);
    if (!holder.empty() && !verb)
        s.more.push_back("a client's '" + holder + "' holds it");
    return Done(StatusText(s));
}

// Asked between a long verb's slices: another client's stop ends it, as
// its caller's reason does; why holds the reason once it ends.
struct Ending {
    ControlContext& context;
    const VerbCancel& cancel;
    std::string why;
    bool operator()() {
        if (context.turn.endAsked())
            why = "another client's stop";
        else if (cancel)
            why = cancel();
        return !why.empty();
    }
};

ControlAnswer Ended(SimulatedChip& chip, const std::string& verb, uint64_t from,
                    const std::string& why) {
    const SimulatedChip::Position at = chip.position();
    return Refused(verb + " ended after " + std::to_string(at.samples - from) + " samples (" + why +
                   "); stopped " + PositionText(at));
}

// "R fb (0x106) 0x00000000 -> 0x00000001; codes 0x00" of a step of the
// instruction at address, carried out here.
std::string StepText(SimulatedChip& chip, uint32_t address, const RegisterNames& names) {
    const uint32_t r = ResultRegister(chip, address);
    const bool seen = r >= kGprs;
    const uint32_t before = seen ? chip.Read(r) : 0;
    chip.Step(address);
    std::string text = "R " + names.Label(r, RegisterSpace::Operands);
    if (seen)
        text += " " + HexNumber(before, 8) + " -> " + HexNumber(chip.Read(r), 8);
    return text + "; codes " + CodesText(fx8010dbg::Codes(chip.Read(fx8010dbg::kRegister)));
}

// step ADDR executes that one instruction, out of program order as DBG
// does; step --count N runs N in program order from where the chip stands.
ControlAnswer Step(SimulatedChip& chip, std::vector<std::string> words, const RegisterNames& names,
                   Ending& ending) {
    const std::string countUsage =
        "step --count takes a count of instructions from 1 to " + std::to_string(kMaxStepCount);
    int64_t count = 0;
    if (const auto at = std::find(words.begin(), words.end(), "--count"); at != words.end()) {
        if (at + 1 == words.end() || !ParseNumber(*(at + 1), &count) || count < 1 ||
            count > kMaxStepCount)
            return Usage(countUsage);
        words.erase(at, at + 2);
        if (words.size() > 1)
            return Usage("step takes an instruction address or --count N, not both");
    }
    if (words.size() > 2)
        return Usage("step takes at most one instruction address");
    if (!fx8010dbg::Stopped(chip.Read(fx8010dbg::kRegister)))
        return Refused("the chip is running; stop it first");
    uint32_t address = chip.position().pc;
    if (words.size() == 2 && (!ParseRegister(words[1], &address) || address >= kMicrocodeSize))
        return Usage("step takes an instruction address from 0 to 0x1FF");
    if (count == 0) {
        const std::string text = StepText(chip, address, names);
        return Done("stepped " + HexNumber(address, 3) + ": " + text + "; " +
                    PositionText(chip.position()));
    }
    const uint64_t from = chip.position().samples;
    for (int64_t done = 0; done + 1 < count; ++done) {
        if (done > 0 && done % kMicrocodeSize == 0 && ending())
            return Refused("step --count ended after " + std::to_string(done) + " instructions (" +
                           ending.why + "); stopped " + PositionText(chip.position()));
        chip.Step(chip.position().pc);
    }
    address = chip.position().pc;
    const std::string text = StepText(chip, address, names);
    const SimulatedChip::Position at = chip.position();
    const uint64_t ended = at.samples - from;
    return Done("stepped " + std::to_string(count) + " instructions, the last " +
                HexNumber(address, 3) + ": " + text + "; " + std::to_string(ended) +
                (ended == 1 ? " sample" : " samples") + " ended; " + PositionText(at));
}

ControlAnswer Advance(SimulatedChip& chip, const std::vector<std::string>& words, Ending& ending) {
    int64_t samples = 1;
    if (words.size() > 2 || (words.size() == 2 && !ParseAdvanceCount(words[1], &samples)))
        return Usage("advance takes a count of samples from 1 to " +
                     std::to_string(kMaxAdvanceSamples));
    chip.Stop();
    const uint64_t from = chip.position().samples;
    if (chip.Advance(samples, [&ending] { return ending(); }) < samples)
        return Ended(chip, "advance", from, ending.why);
    return Done("advanced " + std::to_string(samples) + " samples; stopped " +
                PositionText(chip.position()));
}

// A fraction of full scale as the answers show one.
std::string FractionText(double fraction) {
    std::ostringstream text;
    text << fraction;
    return text.str();
}

// " (read 1 as the integer 1; 1.0 is full scale; outside rate's range 0 to
// 0.002)": how a value was read where a person may have meant otherwise,
// and a control's range, as the patch declares it, that it leaves; "" for
// neither.
std::string ReadingText(std::string note, uint32_t reg, uint32_t value,
                        const std::vector<ControlInfo>& controls) {
    for (const ControlInfo& c : controls) {
        if (c.address != reg ||
            (int32_t(value) >= int32_t(c.min) && int32_t(value) <= int32_t(c.max)))
            continue;
        note += (note.empty() ? "outside " : "; outside ") + c.name + "'s range " +
                FractionText(int32_t(c.min) / 2147483648.0) + " to " +
                FractionText(int32_t(c.max) / 2147483648.0);
    }
    return note.empty() ? "" : " (" + note + ")";
}

// watch's value condition on reg: V in the register's own scale, as set
// takes it (a TRAM data register's 20-bit sample), held as the DSP sees it.
std::optional<ControlAnswer> TakeCondition(const std::string& option, const std::string& text,
                                           uint32_t reg, const RegisterNames& names,
                                           const std::vector<ControlInfo>& controls,
                                           DebugCondition* when, std::string* read) {
    if (const std::string no = WhyNoSignal(reg); !no.empty())
        return Refused(names.Label(reg, RegisterSpace::Operands) + no + "; " + option +
                       " takes an output, a GPR or a TRAM data register");
    uint32_t value = 0;
    std::string note;
    if (std::string wrong = ParseRegisterValue(text, reg, &value, &note); !wrong.empty())
        return Usage(option + ": " + wrong);
    *read = ReadingText(note, reg, value, controls);
    using Kind = DebugCondition::Kind;
    when->kind = option == "--above"    ? Kind::Above
                 : option == "--below"  ? Kind::Below
                 : option == "--equals" ? Kind::Equals
                                        : Kind::Crosses;
    when->value = IsTramData(reg) ? int32_t(value << 12) : int32_t(value);
    return std::nullopt;
}

// " above 0x40000000" (V as the host sees it), and how V was read, for the answers.
std::string ConditionText(const DebugTargets& targets, const std::string& read) {
    using Kind = DebugCondition::Kind;
    const DebugCondition& when = targets.when;
    const uint32_t reg = targets.watches[0];
    const std::string v = HexNumber(HostView(reg, when.value), IsTramData(reg) ? 5 : 8) + read;
    switch (when.kind) {
    case Kind::Above:
        return " above " + v;
    case Kind::Below:
        return " below " + v;
    case Kind::Equals:
        return " equal to " + v;
    case Kind::Crosses:
        return " crossing " + v;
    case Kind::Changes:
        break;
    }
    return "";
}

ControlAnswer RunUntil(SimulatedChip& chip, std::vector<std::string> words, bool watch,
                       const RegisterNames& names, const std::vector<ControlInfo>& controls,
                       Ending& ending) {
    int64_t samples = 0;
    std::string mistake, option, value, read;
    if (watch && !TakeValueCondition(words, &option, &value, &mistake))
        return Usage(mistake);
    DebugTargets targets;
    targets.saturation = !watch && TakeFlag(words, "--saturation");
    if (!TakeRunBound(words, &samples, &mistake))
        return Usage(mistake);
    if (watch) {
        if (auto no = TakeRegisters(words, names, RegisterSpace::Operands, kEnd,
                                    "watch takes registers from 0 to 0x3FF, as the DSP sees them",
                                    &targets.watches))
            return *no;
        if (!option.empty()) {
            if (targets.watches.size() != 1)
                return Usage(option + " takes one register");
            if (auto no = TakeCondition(option, value, targets.watches[0], names, controls,
                                        &targets.when, &read))
                return *no;
        }
    } else if (words.size() > 1 ? !ParseList(words, kMicrocodeSize, &targets.breaks)
                                : !targets.saturation) {
        return Usage("break takes instruction addresses from 0 to 0x1FF, or --saturation");
    }
    const uint64_t from = chip.position().samples;
    const DebugStop stop = chip.RunUntil(targets, samples, [&ending] { return ending(); });
    const std::string where = "; stopped " + PositionText(chip.position());
    const std::string by = " by instruction " + HexNumber(stop.address, 3) + " in sample " +
                           std::to_string(stop.sample);
    const std::string watched =
        targets.watches.empty() ? "" : names.Label(targets.watches[0], RegisterSpace::Operands);
    switch (stop.why) {
    case DebugStop::Why::Watch:
        return Done(names.Label(stop.reg, RegisterSpace::Operands) +
                    (option.empty() ? " changed " : ConditionText(targets, read) + ": ") +
                    HexNumber(HostView(stop.reg, stop.before), 8) + " -> " +
                    HexNumber(HostView(stop.reg, stop.after), 8) + by + where);
    case DebugStop::Why::Saturation: {
        const uint32_t r = ResultRegister(chip, stop.address);
        return Done("saturation" + by + ": R " + names.Label(r, RegisterSpace::Operands) + " = " +
                    ValueText(r, HostView(r, stop.after)) + where);
    }
    case DebugStop::Why::Break:
        return Done("break at instruction " + HexNumber(stop.address, 3) + " in sample " +
                    std::to_string(stop.sample) + where);
    case DebugStop::Why::Bound:
        break;
    }
    if (!ending.why.empty())
        return Ended(chip, words[0], from, ending.why);
    std::string none = "no break was reached";
    if (watch)
        none = option.empty() ? "no watched register changed"
                              : "no instruction left " + watched + ConditionText(targets, read);
    else if (targets.saturation)
        none = targets.breaks.empty() ? "no instruction saturated"
                                      : "no break was reached and no instruction saturated";
    return Refused(none + " in " + std::to_string(samples) + " samples" + where);
}

ControlAnswer Get(SimulatedChip& chip, const std::vector<std::string>& words,
                  const RegisterNames& names) {
    std::vector<uint32_t> regs;
    if (auto no = TakeRegisters(words, names, RegisterSpace::Chip, kChipRegisterCount,
                                "get takes chip registers from 0 to 0x7FF", &regs))
        return *no;
    std::string text;
    for (uint32_t reg : regs)
        text += (text.empty() ? "" : "; ") + names.Label(reg, RegisterSpace::Chip) + " = " +
                ValueText(reg, chip.Read(reg));
    return Done(text);
}

// What set says of when the DSP meets the value written at `at`.
std::string SeenText(SimulatedChip& chip, uint32_t reg, const SimulatedChip::Position& at) {
    if (reg == fx8010dbg::kRegister)
        return "the DSP sees it from " +
               (at.pc ? "instruction " + HexNumber(at.pc, 3) + " of " : "") + "sample " +
               std::to_string(at.samples) + " on";
    std::vector<Fx8010Fields> code;
    for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i)
        code.push_back(Fx8010UnpackInstruction(
            {chip.Read(kMicrocodeBase + 2 * i), chip.Read(kMicrocodeBase + 2 * i + 1)}));
    // A tap's address register, or the one written.
    const uint32_t address = chip.Read(kTramAddress + (reg & 0xFF));
    return NextReaderText(code, reg, TramUseOf(reg, address), at.samples, at.pc);
}

ControlAnswer Set(SimulatedChip& chip, const std::vector<std::string>& words,
                  const RegisterNames& names, const std::vector<ControlInfo>& controls) {
    uint32_t value = 0;
    if (words.size() != 3)
        return Usage("set takes a register and a value");
    std::vector<uint32_t> regs;
    if (auto no = TakeRegisters({words[0], words[1]}, names, RegisterSpace::Chip,
                                kChipRegisterCount, "set takes a register and a value", &regs))
        return *no;
    const uint32_t reg = regs[0];
    if (reg != fx8010dbg::kRegister && (reg < kGprs || reg >= kEnd))
        return Refused(names.Label(reg, RegisterSpace::Chip) +
                       " is not a GPR, a TRAM register or DBG (0x052); only those "
                       "can be set");
    std::string note;
    if (std::string wrong = ParseRegisterValue(words[2], reg, &value, &note); !wrong.empty())
        return Usage(wrong);
    const SimulatedChip::Position at = chip.Write(reg, value);
    if (reg == fx8010dbg::kRegister)
        chip.Run(0); // a step it asks for runs now
    return Done(names.Label(reg, RegisterSpace::Chip) + " = " + ValueText(reg, chip.Read(reg)) +
                ReadingText(note, reg, value, controls) + "; " + SeenText(chip, reg, at));
}

} // namespace

bool ParseRegister(const std::string& text, uint32_t* reg) {
    return ParseNumber(text, reg);
}

std::string ParseRegisterValue(const std::string& text, uint32_t reg, uint32_t* value,
                               std::string* note) {
    const bool data = IsTramData(reg);
    const uint32_t limit = data ? 0xFFFFF : 0xFFFFFFFF;
    const std::string what = data ? "a TRAM data register's 20-bit sample" : "a 32-bit value";
    if (note)
        note->clear();
    if (text.find('.') != std::string::npos) {
        double f = 0;
        auto [end, ec] =
            std::from_chars(text.data(), text.data() + text.size(), f, std::chars_format::fixed);
        if (ec != std::errc() || end != text.data() + text.size() || !(f >= -1 && f <= 1))
            return "a fraction lies between -1 and 1, such as 0.5";
        const double scale = data ? 524288.0 : 2147483648.0;
        const double top = scale - 1;
        *value = uint32_t(int64_t(std::clamp(std::round(f * scale), -scale, top))) & limit;
        return "";
    }
    uint32_t u = 0;
    int32_t s = 0;
    const bool negative = text.starts_with('-');
    if (negative ? !(ParseNumber(text, &s) && (!data || s >= -0x80000))
                 : !(ParseNumber(text, &u) && u <= limit))
        return "'" + text + "' is not " + what +
               ": hex (0x...), decimal, or a fraction with a point";
    *value = negative ? uint32_t(s) & limit : u;
    // A bare 1 or -1 may have been meant as full scale, which is 1.0 or -1.0.
    const bool hex = text.find_first_of("xX") != std::string::npos;
    if (note && !hex && (negative ? s == -1 : u == 1))
        *note = negative ? "read " + text + " as the integer -1; -1.0 is negative full scale"
                         : "read " + text + " as the integer 1; 1.0 is full scale";
    return "";
}

std::string RegisterText(uint32_t reg, uint32_t value) {
    return HexNumber(reg, 3) + " = " + ValueText(reg, value);
}

std::string ValueText(uint32_t reg, uint32_t value) {
    int64_t integer = int32_t(value);
    double fraction = double(integer) / 2147483648.0;
    std::string hex = HexNumber(value, 8);
    if (IsTramData(reg)) {
        value &= 0xFFFFF;
        integer = Emu10k1TramSample(value);
        fraction = double(integer) / 524288.0;
        hex = HexNumber(value, 5);
    }
    std::ostringstream text;
    text << hex << " " << integer << " " << fraction;
    return text.str();
}

ControlAnswer RunControlVerb(ControlContext& c, const std::string& line, const VerbCancel& cancel) {
    std::string mistake;
    std::vector<std::string> words = RequestWords(line, &mistake);
    if (!mistake.empty())
        return Usage(mistake);
    static const char* const kVerbs[] = {"status", "stop",    "continue", "step", "advance",
                                         "watch",  "break",   "get",      "set",  "reload",
                                         "trace",  "samples", "controls", "clear", "tram"};
    if (words.empty() ||
        std::find(std::begin(kVerbs), std::end(kVerbs), words[0]) == std::end(kVerbs))
        return Usage(words.empty() ? "no verb" : "unknown verb '" + words[0] + "'");
    if (!c.chip)
        return Refused(CardRefusal(words[0]));
    SimulatedChip& chip = *c.chip;
    const RegisterNames names = c.names ? c.names() : RegisterNames();
    const std::vector<ControlInfo> controls =
        c.controls ? c.controls() : std::vector<ControlInfo>();
    const std::string& verb = words[0];
    const bool bare = words.size() == 1;
    if (verb == "status" || verb == "stop" || verb == "continue" || verb == "reload" ||
        verb == "controls" || verb == "clear") {
        if (!bare)
            return Usage(verb + " takes nothing more");
    }
    if (verb == "status")
        return Status(c);
    if (verb == "stop") {
        // Answered only once the verb it ends has let go, so that the next
        // verb finds the chip free.
        bool ended = true;
        const std::string held = c.turn.EndHolder(&ended);
        if (!ended)
            return Refused("a client's '" + held + "' was asked to end and still holds the chip; " +
                           "it ends as soon as it can");
        chip.Stop();
        const std::string stopped = "stopped " + PositionText(chip.position());
        return Done(held.empty() ? stopped : stopped + "; ended a client's '" + held + "'");
    }
    if (verb == "get")
        return Get(chip, words, names);
    if (verb == "set")
        return Set(chip, words, names, controls);
    if (verb == "trace")
        return TraceVerb(c.history, words, names);
    if (verb == "tram")
        return TramVerb(chip, words);
    if (verb == "samples")
        return SamplesVerb(chip, c.running, c.history, words, names);
    if (verb == "controls") {
        std::vector<ControlInfo> values = controls;
        for (ControlInfo& control : values)
            control.value = chip.Read(control.address);
        return Done(ControlsText(values));
    }
    if (verb == "clear") {
        chip.ClearSaturation();
        return Done("cleared");
    }
    // The verbs that move the chip, one at a time.
    std::string holder;
    if (!c.turn.Take(line, &holder))
        return Refused("another client's '" + holder + "' runs the chip; stop ends it");
    struct Give {
        VerbTurn& turn;
        ~Give() { turn.Give(); }
    } give{c.turn};
    Ending ending{c, cancel, {}};
    if (verb == "continue") {
        chip.Continue();
        return Done(c.running ? "running"
                              : "let run, but this service runs the chip only with --run");
    }
    if (verb == "step")
        return Step(chip, words, names, ending);
    if (verb == "advance")
        return Advance(chip, words, ending);
    if (verb == "watch" || verb == "break")
        return RunUntil(chip, words, verb == "watch", names, controls, ending);
    if (!c.reload)
        return Refused("nothing to reload");
    std::string said;
    return c.reload(&said) ? Done(said) : Refused(said);
}
