// emuapsd --render: the chip run offline over the input, as fast as it goes,
// its recorded outputs written to the output file; no device is served.
#pragma once

#include "chip_image.h"
#include "service_options.h"

#include <csignal>
#include <functional>
#include <string>

class WavInput;

// Returns the exit status: 0 when all of it was rendered and written, 1 when
// the file could not be, or when SIGINT or SIGTERM (blocked, and taken from
// stopSignals) stopped it; the file is whole up to there either way.
int RenderMode(const ServiceOptions& options, const ChipImage& chip, WavInput* input,
               const sigset_t& stopSignals, const std::function<void(const std::string&)>& say);
