// emuapsd's command line: what it serves and how, or a request for its help
// or version, or a mistake.
#pragma once

#include <string>
#include <vector>

struct ServiceOptions {
    std::string imagePath;
    std::string patchPath;
    bool run = false;
    int card = -1;          // -1: the simulated chip
    std::string procFolder; // where the card's register files are; tests point it elsewhere
};

struct ParsedOptions {
    enum class Action { Serve, Help, Version, Mistake } action = Action::Serve;
    ServiceOptions options;
    std::string mistake; // what is wrong, for Mistake
};

// A card number as ALSA counts them, 0 to 255.
bool ParseCard(const std::string& text, int* card);

// args without the program name.
ParsedOptions ParseServiceOptions(const std::vector<std::string>& args);

// The text of --help: every option, the signals and the socket.
std::string ServiceHelp();
