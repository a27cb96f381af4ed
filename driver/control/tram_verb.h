// "tram POOL FIRST COUNT": the delay-line memory as the chip holds it, read
// only, in the form of tram_answer.h.
#pragma once

#include "control_verbs.h"

#include <string>
#include <vector>

ControlAnswer TramVerb(SimulatedChip& chip, const std::vector<std::string>& words);
