// velmora-scope's command line, read before Qt starts so that --help,
// --version and a usage mistake are answered on the terminal without a
// display. Qt's own options (-platform, -style, ...) are passed on to Qt.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct ScopeOptions {
    std::vector<std::string> traces; // in order, at most kScopeTraces
    std::optional<double> timeBaseMs;
    std::optional<int> spectrumTrace; // 0 to kScopeTraces - 1
    std::string grabPath;             // empty: no --grab
    double grabAfterSeconds = 3;
    std::vector<std::string> qtArguments; // the program's name, then Qt's options
};

struct ScopeCommandLine {
    enum class Action { Show, Help, Version, Mistake };
    Action action = Action::Show;
    std::string mistake; // what is wrong and what is allowed, one line
    ScopeOptions options;
};

// args as main() gets them, the program's name first.
ScopeCommandLine ParseScopeCommandLine(const std::vector<std::string>& args);
std::string ScopeHelp();
