#include "scope_command_line.h"

#include "time_bases.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

// Qt's generic options, which QApplication takes out of argv itself.
const char* const kQtValued[] = {"-platform",        "-platformpluginpath",
                                 "-platformtheme",   "-plugin",
                                 "-qwindowgeometry", "-qwindowicon",
                                 "-qwindowtitle",    "-display",
                                 "-geometry",        "-style",
                                 "-stylesheet",      "-session"};
const char* const kQtFlags[] = {"-reverse", "-widgetcount"};

bool ParseDouble(const std::string& text, double* value) {
    const char* end = text.data() + text.size();
    auto [at, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && at == end && std::isfinite(*value);
}

bool ParseInt(const std::string& text, int* value) {
    const char* end = text.data() + text.size();
    auto [at, ec] = std::from_chars(text.data(), end, *value);
    return ec == std::errc() && at == end;
}

// "1, 2, 5, ... 1000 or 2000"
std::string TimeBasesText() {
    std::string text;
    const std::size_t n = std::size(kTimeBasesMs);
    for (std::size_t i = 0; i < n; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%g", kTimeBasesMs[i]);
        text += (i == 0 ? "" : i + 1 == n ? " or " : ", ") + std::string(number);
    }
    return text;
}

} // namespace

ScopeCommandLine ParseScopeCommandLine(const std::vector<std::string>& args) {
    ScopeCommandLine parsed;
    ScopeOptions& o = parsed.options;
    auto mistake = [&](const std::string& what) {
        parsed.action = ScopeCommandLine::Action::Mistake;
        parsed.mistake = what;
        return parsed;
    };
    o.qtArguments.push_back(args.empty() ? "velmora-scope" : args[0]);
    // "--name value" or "--name=value"; given says whether arg is the option,
    // and a missing value reads as empty.
    auto valued = [&](std::size_t& i, const std::string& name, std::string* value) {
        const std::string& arg = args[i];
        if (arg == name) {
            *value = i + 1 < args.size() ? args[++i] : "";
            return true;
        }
        if (arg.starts_with(name + "=")) {
            *value = arg.substr(name.size() + 1);
            return true;
        }
        return false;
    };
    bool grabAfterGiven = false;
    std::string value;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto qtValued = std::find_if(std::begin(kQtValued), std::end(kQtValued),
                                           [&](const char* q) { return arg == q; });
        if (arg == "--help" || arg == "-h") {
            parsed.action = ScopeCommandLine::Action::Help;
            return parsed;
        } else if (arg == "--version") {
            parsed.action = ScopeCommandLine::Action::Version;
            return parsed;
        } else if (valued(i, "--trace", &value)) {
            if (value.empty())
                return mistake("--trace takes a register: a name of the loaded program or a "
                               "hex address");
            if (int(o.traces.size()) == kScopeTraces)
                return mistake("--trace is given more than " + std::to_string(kScopeTraces) +
                               " times; the scope has " + std::to_string(kScopeTraces) + " traces");
            o.traces.push_back(value);
        } else if (valued(i, "--time-base", &value)) {
            double ms = 0;
            if (o.timeBaseMs)
                return mistake("--time-base is given twice");
            if (!ParseDouble(value, &ms) ||
                std::find(std::begin(kTimeBasesMs), std::end(kTimeBasesMs), ms) ==
                    std::end(kTimeBasesMs))
                return mistake("--time-base takes " + TimeBasesText() + " (ms), not '" + value +
                               "'");
            o.timeBaseMs = ms;
        } else if (valued(i, "--spectrum", &value)) {
            int trace = 0;
            if (o.spectrumTrace)
                return mistake("--spectrum is given twice");
            if (!ParseInt(value, &trace) || trace < 1 || trace > kScopeTraces)
                return mistake("--spectrum takes a trace from 1 to " +
                               std::to_string(kScopeTraces) + ", not '" + value + "'");
            o.spectrumTrace = trace - 1;
        } else if (valued(i, "--grab", &value)) {
            if (!o.grabPath.empty())
                return mistake("--grab is given twice");
            if (value.empty())
                return mistake("--grab takes a file to write the PNG to");
            o.grabPath = value;
        } else if (valued(i, "--grab-after", &value)) {
            if (grabAfterGiven)
                return mistake("--grab-after is given twice");
            grabAfterGiven = true;
            if (!ParseDouble(value, &o.grabAfterSeconds) || o.grabAfterSeconds < 0)
                return mistake("--grab-after takes seconds, 0 or more, not '" + value + "'");
        } else if (qtValued != std::end(kQtValued) && i + 1 < args.size()) {
            o.qtArguments.insert(o.qtArguments.end(), {arg, args[++i]});
        } else if (std::find(std::begin(kQtFlags), std::end(kQtFlags), arg) != std::end(kQtFlags)) {
            o.qtArguments.push_back(arg);
        } else if (arg.starts_with('-')) {
            return mistake("unknown option '" + arg + "'");
        } else {
            return mistake("'" + arg + "' is not an option, and the scope takes nothing else");
        }
    }
    if (grabAfterGiven && o.grabPath.empty())
        return mistake("--grab-after is for --grab, which is not given");
    return parsed;
}

std::string ScopeHelp() {
    return "Usage: velmora-scope [OPTION]...\n"
           "Show the chip that emuapsd runs, live: up to four of its registers on an\n"
           "oscilloscope, the spectrum of one, and a slider for each control of the\n"
           "loaded program.\n"
           "\n"
           "      --trace REG     show REG on the next trace, up to 4 times: a name of\n"
           "                      the loaded program or a hex address (0x106 or 106),\n"
           "                      0x000 to 0x3FF\n"
           "      --time-base MS  one screen's time in ms (20 by default):\n"
           "                      " +
           TimeBasesText() +
           "\n"
           "      --spectrum N    the trace, 1 to 4, whose spectrum is shown (1 by default)\n"
           "      --grab FILE     save the window as PNG to FILE after --grab-after\n"
           "                      seconds, then end (for screenshots)\n"
           "      --grab-after S  the seconds before --grab, 0 or more (3 by default)\n"
           "      --help          show this help and end\n"
           "      --version       show the version and end\n"
           "\n"
           "Qt's own options (-platform NAME, -style NAME, -display NAME, ...) go to Qt.\n"
           "A name the loaded program does not have, and a register the service's\n"
           "history leaves out, are said on their trace; the other traces go on. When\n"
           "the service loads another program, a trace follows its name there.\n"
           "\n"
           "Exit status: 0 when the window is closed or --grab wrote FILE; 1 when --grab\n"
           "could not write FILE; 2 for a usage mistake.\n";
}
