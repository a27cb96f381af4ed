// What emuapsctl's verbs do to the served chip, and the one line each
// answers: a request line in, a status (0 done, 1 refused, 2 a usage
// mistake) and a text out. The socket around it is control_server.h.
#pragma once

#include "controls_answer.h"
#include "history_recorder.h"
#include "register_names.h"
#include "simulated_chip.h"
#include "source_map.h"
#include "verb_turn.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ControlContext {
    SimulatedChip* chip = nullptr; // null when a real card is served
    bool running = false;          // a thread runs the chip in real time (--run)
    std::string loaded;            // what is loaded, for status
    // Loads the image and patch afresh, as SIGHUP does; the answer in said
    // ("loaded; ..." or why not), and whether the load was taken.
    std::function<bool(std::string* said)> reload;
    // With --play, how the playing goes ("playing, 0 underruns"); "" without.
    std::function<std::string()> playing;
    // The register names of what is loaded, which a reload replaces; DBG's
    // alone without it.
    std::function<RegisterNames()> names = {};
    // The chip's recent past, for trace; null with --history=0.
    const HistoryRecorder* history = nullptr;
    // The loaded program's control GPRs (their values unread), which a
    // reload replaces; none without it.
    std::function<std::vector<ControlInfo>()> controls = {};
    // Which source line made each instruction, which a reload replaces;
    // answers name addresses alone without it.
    std::function<SourceMap()> source = {};
    // Several clients' verbs run at once: they take turns to move the chip.
    VerbTurn turn{};
};

struct ControlAnswer {
    int status = 0;
    std::string text;
    // Bytes sent after the line, whose text then ends in "; bytes B".
    std::string payload = {};
};

// Asked between the slices of a long verb (advance, watch, break): why it
// must end now (its client went away, the service stops), or "" to go on.
using VerbCancel = std::function<std::string()>;

// Safe from several threads at once. A verb that moves the chip while
// another client's does is refused; stop ends a long one, which then
// answers why it ended and leaves the chip stopped where it got to.
ControlAnswer RunControlVerb(ControlContext& context, const std::string& line,
                             const VerbCancel& cancel = {});

// Values as the verbs take and show them.
// A register number: hexadecimal with 0x, or decimal.
bool ParseRegister(const std::string& text, uint32_t* reg);
// A value by its form: hex (0x...) is the word; a decimal integer (signed)
// is that integer; a number with a point is a fraction from -1.0 to 1.0 of
// full scale, Q31 or the 20-bit sample of a TRAM data register (1.0 is the
// largest, 0x7FFFFFFF). "" or what is wrong. note says how a bare 1 or -1
// was read, "" for any other value.
std::string ParseRegisterValue(const std::string& text, uint32_t reg, uint32_t* value,
                               std::string* note = nullptr);
// "0x120 = 0x40000000 1073741824 0.5"; a TRAM data register as its 20-bit sample.
std::string RegisterText(uint32_t reg, uint32_t value);
// The same without "0x120 = ".
std::string ValueText(uint32_t reg, uint32_t value);
