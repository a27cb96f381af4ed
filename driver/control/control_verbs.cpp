#include "control_verbs.h"

#include "audio_samples.h"
#include "card_refusal.h"
#include "dsp_signals.h"
#include "emu10k1_words.h"
#include "fx8010_alu.h"
#include "hex_number.h"
#include "instruction_label.h"
#include "next_reader.h"
#include "samples_verb.h"
#include "status_answer.h"
#include "trace_verb.h"
#include "tram_engine.h"
#include "tram_verb.h"
#include "value_units.h"
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
static_assert(kVerbSampleRate == kChipSampleRate && kUnitSampleRate == kChipSampleRate);
// The units read an address register as the TRAM engine does.
static_assert(kTramReadFlag == TramEngine::kRead && kTramWriteFlag == TramEngine::kWrite &&
              kTramClearFlag == TramEngine::kClear && kMaxTramAddress == TramEngine::kAddressMask);

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
std::string PositionText(const SimulatedChip::Position& at, const SourceMap& source) {
    std::string text = "at sample " + std::to_string(at.samples);
    return at.pc ? text + " before instruction " + InstructionLabel(at.pc, source) : text;
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

// The verbs that run the chip while they hold the turn, as status names them.
bool RunsTheChip(const std::string& request) {
    const std::vector<std::string> words = RequestWords(request);
    return !words.empty() && (words[0] == "advance" || words[0] == "watch" || words[0] == "break" ||
                              words[0] == "step" || words[0] == "back" || words[0] == "goto");
}

ControlAnswer Status(ControlContext& c, const SourceMap& source) {
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
    if (!source.empty())
        s.more.push_back("next instruction " + InstructionLabel(at.pc, source));
    if (const std::optional<SimulatedChip::Past> past = chip.past()) {
        if (at < past->newest)
            s.behind = past->newest.samples - at.samples;
        s.forkedAt = past->fork;
    }
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
                    const std::string& why, const SourceMap& source) {
    const SimulatedChip::Position at = chip.position();
    return Refused(verb + " ended after " + std::to_string(at.samples - from) + " samples (" + why +
                   "); stopped " + PositionText(at, source));
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
ControlAnswer StepBack(SimulatedChip& chip, const RegisterNames& names, const SourceMap& source);

ControlAnswer Step(SimulatedChip& chip, std::vector<std::string> words, const RegisterNames& names,
                   const SourceMap& source, Ending& ending) {
    if (TakeFlag(words, "--back"))
        return words.size() == 1 ? StepBack(chip, names, source)
                                 : Usage("step --back takes nothing more");
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
        const bool leaps = address != chip.position().pc;
        const std::string text = StepText(chip, address, names);
        return Done("stepped " + InstructionLabel(address, source) + ": " + text + "; " +
                    PositionText(chip.position(), source) +
                    (leaps && chip.past() ? "; the past begins here: a step out of program order "
                                            "takes a path no replay follows"
                                          : ""));
    }
    const uint64_t from = chip.position().samples;
    for (int64_t done = 0; done + 1 < count; ++done) {
        if (done > 0 && done % kMicrocodeSize == 0 && ending())
            return Refused("step --count ended after " + std::to_string(done) + " instructions (" +
                           ending.why + "); stopped " + PositionText(chip.position(), source));
        chip.Step(chip.position().pc);
    }
    address = chip.position().pc;
    const std::string text = StepText(chip, address, names);
    const SimulatedChip::Position at = chip.position();
    const uint64_t ended = at.samples - from;
    return Done("stepped " + std::to_string(count) + " instructions, the last " +
                InstructionLabel(address, source) + ": " + text + "; " + std::to_string(ended) +
                (ended == 1 ? " sample" : " samples") + " ended; " + PositionText(at, source));
}

const char kNoPast[] = "the chip keeps no past to go back in (emuapsd --history=0)";

// "samples 1200 to 481200": what the past holds.
std::string PastText(const SimulatedChip::Past& past) {
    return "the past kept is samples " + std::to_string(past.oldest) + " to " +
           std::to_string(past.newest.samples);
}

// Where the chip stands after going back, and how far before the newest.
std::string StandsText(SimulatedChip& chip, const SourceMap& source) {
    const SimulatedChip::Position at = chip.position();
    std::string text = "stopped " + PositionText(at, source);
    if (const auto past = chip.past(); past && at < past->newest)
        text += "; " + BehindText(past->newest.samples - at.samples);
    return text;
}

// back N: the same instruction N samples earlier, or that sample's start
// when its path does not pass the instruction.
ControlAnswer Back(SimulatedChip& chip, const std::vector<std::string>& words,
                   const SourceMap& source) {
    int64_t samples = 1;
    if (words.size() > 2 || (words.size() == 2 && !ParseAdvanceCount(words[1], &samples)))
        return Usage("back takes a count of samples from 1 to " +
                     std::to_string(kMaxAdvanceSamples));
    const std::optional<SimulatedChip::Past> past = chip.past();
    if (!past)
        return Refused(kNoPast);
    const SimulatedChip::Position at = chip.position();
    if (uint64_t(samples) > at.samples || at.samples - uint64_t(samples) < past->oldest)
        return Refused("cannot go back " + std::to_string(samples) + " samples from sample " +
                       std::to_string(at.samples) + ": " + PastText(*past));
    const uint64_t to = at.samples - uint64_t(samples);
    if (!chip.GoTo({to, at.pc}) && !chip.GoTo({to, 0}))
        return Refused("sample " + std::to_string(to) +
                       " could not be rebuilt: " + PastText(*past));
    return Done("went back " + std::to_string(samples) + " samples; " + StandsText(chip, source));
}

ControlAnswer GoTo(SimulatedChip& chip, const std::vector<std::string>& words,
                   const SourceMap& source) {
    uint64_t sample = 0;
    if (words.size() != 2 || !ParseNumber(words[1], &sample))
        return Usage("goto takes a sample number");
    const std::optional<SimulatedChip::Past> past = chip.past();
    if (!past)
        return Refused(kNoPast);
    if (sample < past->oldest || sample > past->newest.samples || !chip.GoTo({sample, 0}))
        return Refused("sample " + std::to_string(sample) +
                       " is not in the past: " + PastText(*past));
    return Done("went to sample " + std::to_string(sample) + "; " + StandsText(chip, source));
}

// "stepped back over 0x00C: R fb (0x106) 0x00000000, 0x00000001 after it; ...":
// the instruction undone, its result register as it was before it and after.
ControlAnswer StepBack(SimulatedChip& chip, const RegisterNames& names, const SourceMap& source) {
    const std::optional<SimulatedChip::Past> past = chip.past();
    if (!past)
        return Refused(kNoPast);
    const SimulatedChip::Position from = chip.position();
    const ChipImage after = chip.Snapshot();
    if (!chip.StepBack())
        return Refused("no instruction before " + PositionText(from, source) +
                       " is in the past: " + PastText(*past));
    const uint32_t address = chip.position().pc;
    const uint32_t r = ResultRegister(chip, address);
    std::string text = "stepped back over " + InstructionLabel(address, source) + ": R " +
                       names.Label(r, RegisterSpace::Operands);
    if (r >= kGprs)
        text += " " + HexNumber(chip.Read(r), 8) + ", " + HexNumber(after.registers[r], 8) +
                " after it";
    return Done(text + "; " + StandsText(chip, source));
}

ControlAnswer Advance(SimulatedChip& chip, const std::vector<std::string>& words,
                      const SourceMap& source, Ending& ending) {
    int64_t samples = 1;
    if (words.size() > 2 || (words.size() == 2 && !ParseAdvanceCount(words[1], &samples)))
        return Usage("advance takes a count of samples from 1 to " +
                     std::to_string(kMaxAdvanceSamples));
    chip.Stop();
    const uint64_t from = chip.position().samples;
    if (chip.Advance(samples, [&ending] { return ending(); }) < samples)
        return Ended(chip, "advance", from, ending.why, source);
    return Done("advanced " + std::to_string(samples) + " samples; stopped " +
                PositionText(chip.position(), source));
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
                       const SourceMap& source, Ending& ending) {
    int64_t samples = 0;
    std::string mistake, option, value, read;
    if (watch && !TakeValueCondition(words, &option, &value, &mistake))
        return Usage(mistake);
    DebugTargets targets;
    const bool back = TakeFlag(words, "--back");
    targets.saturation = !watch && TakeFlag(words, "--saturation");
    if (!TakeRunBound(words, &samples, &mistake))
        return Usage(mistake);
    if (back && !watch && (!targets.saturation || words.size() > 1))
        return Usage("break --back takes --saturation and nothing more");
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
    } else if (words.size() == 1 && !targets.saturation) {
        return Usage(BreakUsage(source));
    } else {
        for (std::size_t i = 1; i < words.size(); ++i) {
            const BreakTarget target = FindBreakTarget(words[i], source);
            if (!target.address)
                return {target.status, target.why};
            targets.breaks.push_back(*target.address);
        }
    }
    const uint64_t from = chip.position().samples;
    std::optional<SimulatedChip::Past> past;
    if (back && !(past = chip.past()))
        return Refused(kNoPast);
    const DebugStop stop = back ? chip.RunBack(targets).value_or(DebugStop{})
                                : chip.RunUntil(targets, samples, [&ending] { return ending(); });
    const std::string where = "; " + StandsText(chip, source);
    const std::string by = " by instruction " + InstructionLabel(stop.address, source) +
                           " in sample " + std::to_string(stop.sample);
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
        return Done("break at instruction " + InstructionLabel(stop.address, source) +
                    " in sample " + std::to_string(stop.sample) + where);
    case DebugStop::Why::Bound:
        break;
    }
    if (!back && !ending.why.empty())
        return Ended(chip, words[0], from, ending.why, source);
    std::string none = "no break was reached";
    if (watch)
        none = option.empty() ? "no watched register changed"
                              : "no instruction left " + watched + ConditionText(targets, read);
    else if (targets.saturation)
        none = targets.breaks.empty() ? "no instruction saturated"
                                      : "no break was reached and no instruction saturated";
    if (back)
        return Refused(none + " before " + PositionText(chip.position(), source) + "; " +
                       PastText(*past));
    return Refused(none + " in " + std::to_string(samples) + " samples" + where);
}

// The value as get and set show it: its word, and in the program's unit
// when it has one ("...: 384 samples (8 ms) in 192 to 576 samples (4 to 12 ms)").
std::string ShownValue(uint32_t reg, uint32_t value, const std::vector<ControlInfo>& controls) {
    const std::string unit = UnitValueText(RegisterUnit(reg, controls), value);
    return ValueText(reg, value) + (unit.empty() ? "" : ": " + unit);
}

ControlAnswer Get(SimulatedChip& chip, const std::vector<std::string>& words,
                  const RegisterNames& names, const std::vector<ControlInfo>& controls) {
    std::vector<uint32_t> regs;
    if (auto no = TakeRegisters(words, names, RegisterSpace::Chip, kChipRegisterCount,
                                "get takes chip registers from 0 to 0x7FF", &regs))
        return *no;
    std::string text;
    for (uint32_t reg : regs)
        text += (text.empty() ? "" : "; ") + names.Label(reg, RegisterSpace::Chip) + " = " +
                ShownValue(reg, chip.Read(reg), controls);
    return Done(text);
}

// What set says of when the DSP meets the value written at `at`.
std::string SeenText(SimulatedChip& chip, uint32_t reg, const SimulatedChip::Position& at,
                     const SourceMap& source) {
    if (reg == fx8010dbg::kRegister)
        return "the DSP sees it from " +
               (at.pc ? "instruction " + InstructionLabel(at.pc, source) + " of " : "") +
               "sample " + std::to_string(at.samples) + " on";
    std::vector<Fx8010Fields> code;
    for (uint32_t i = 0; i < uint32_t(kMicrocodeSize); ++i)
        code.push_back(Fx8010UnpackInstruction(
            {chip.Read(kMicrocodeBase + 2 * i), chip.Read(kMicrocodeBase + 2 * i + 1)}));
    // A tap's address register, or the one written.
    const uint32_t address = chip.Read(kTramAddress + (reg & 0xFF));
    return NextReaderText(code, reg, TramUseOf(reg, address), at.samples, at.pc, source);
}

ControlAnswer Set(SimulatedChip& chip, const std::vector<std::string>& words,
                  const RegisterNames& names, const std::vector<ControlInfo>& controls,
                  const SourceMap& source) {
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
    std::string note, wrong;
    const std::string label = names.Label(reg, RegisterSpace::Chip);
    if (ParseUnitValue(words[2], RegisterUnit(reg, controls), label, chip.Read(reg), &value,
                       &wrong)) {
        if (!wrong.empty())
            return Usage(wrong);
    } else if (wrong = ParseRegisterValue(words[2], reg, &value, &note); !wrong.empty()) {
        return Usage(wrong);
    }
    const SimulatedChip::Position at = chip.Write(reg, value);
    if (reg == fx8010dbg::kRegister)
        chip.Run(0); // a step it asks for runs now
    return Done(label + " = " + ShownValue(reg, chip.Read(reg), controls) +
                ReadingText(note, reg, value, controls) + "; " + SeenText(chip, reg, at, source));
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
    static const char* const kVerbs[] = {
        "status", "stop",  "continue", "step",     "advance", "watch", "break", "get", "set",
        "reload", "trace", "samples",  "controls", "clear",   "back",  "goto",  "tram"};
    if (words.empty() ||
        std::find(std::begin(kVerbs), std::end(kVerbs), words[0]) == std::end(kVerbs))
        return Usage(words.empty() ? "no verb" : "unknown verb '" + words[0] + "'");
    if (!c.chip)
        return Refused(CardRefusal(std::find(words.begin(), words.end(), "--back") != words.end()
                                       ? words[0] + " --back"
                                       : words[0]));
    SimulatedChip& chip = *c.chip;
    const RegisterNames names = c.names ? c.names() : RegisterNames();
    const std::vector<ControlInfo> controls =
        c.controls ? c.controls() : std::vector<ControlInfo>();
    const SourceMap source = c.source ? c.source() : SourceMap();
    const std::string& verb = words[0];
    const bool bare = words.size() == 1;
    if (verb == "status" || verb == "stop" || verb == "continue" || verb == "reload" ||
        verb == "controls" || verb == "clear") {
        if (!bare)
            return Usage(verb + " takes nothing more");
    }
    if (verb == "status")
        return Status(c, source);
    if (verb == "stop") {
        // Answered only once the verb it ends has let go, so that the next
        // verb finds the chip free.
        bool ended = true;
        const std::string held = c.turn.EndHolder(&ended);
        if (!ended)
            return Refused("a client's '" + held + "' was asked to end and still holds the chip; " +
                           "it ends as soon as it can");
        chip.Stop();
        const std::string stopped = "stopped " + PositionText(chip.position(), source);
        return Done(held.empty() ? stopped : stopped + "; ended a client's '" + held + "'");
    }
    if (verb == "get")
        return Get(chip, words, names, controls);
    if (verb == "set")
        return Set(chip, words, names, controls, source);
    if (verb == "trace")
        return TraceVerb(c.history, words, names, kMaxTraceValues, controls);
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
        return Step(chip, words, names, source, ending);
    if (verb == "advance")
        return Advance(chip, words, source, ending);
    if (verb == "back")
        return Back(chip, words, source);
    if (verb == "goto")
        return GoTo(chip, words, source);
    if (verb == "watch" || verb == "break")
        return RunUntil(chip, words, verb == "watch", names, controls, source, ending);
    if (!c.reload)
        return Refused("nothing to reload");
    std::string said;
    return c.reload(&said) ? Done(said) : Refused(said);
}
