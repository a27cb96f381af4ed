// What velmora answers on the terminal before any window or device: --help
// and --version need neither a display nor the driver service.
#pragma once

#include <optional>
#include <string>

// The text for standard output when the arguments ask for help or the
// version; nothing when the viewer should start. Other arguments are Qt's.
std::optional<std::string> TerminalAnswer(int argc, const char* const* argv);
