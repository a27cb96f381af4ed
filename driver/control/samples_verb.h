// The scope's samples: some registers' history from a sample on, as a line
// and the columns after it. It never moves the chip, so it takes no turn.
#pragma once

#include "control_verbs.h"

// words: "samples FROM REG|NAME...". A real card has no verb here.
ControlAnswer SamplesVerb(SimulatedChip& chip, bool running, const HistoryRecorder* history,
                          const std::vector<std::string>& words, const RegisterNames& names);
