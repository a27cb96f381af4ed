// How emuapsctl shows an answer that is meant for a program: the scope's
// samples as a summary (never the columns), its controls a line each.
#pragma once

#include <string>

// The text to print for verb's answer text; the text itself for most verbs.
std::string ShownReply(const std::string& verb, const std::string& text);
