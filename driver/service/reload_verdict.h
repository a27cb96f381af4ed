// What a reload (SIGHUP, or emuapsctl's reload) does with the chip it
// loaded. A dump given with --names that no longer fits the patch is refused
// as at start, and since the chip has a program, the reload is refused
// whole: the chip keeps its program, names and all, rather than lose every
// name. Otherwise the load is taken, and its answer and the log say what
// became of the names.
#pragma once

#include "chip_image.h"
#include "loaded_program.h"

#include <string>
#include <vector>

struct ReloadVerdict {
    bool taken = false;
    // "loaded; moved rate 0x10A -> 0x10B", or why not.
    std::string answer;
    // The log's lines: where everything went and what moved, or why not.
    std::string log;
};

// before: the names the chip has now. loaded: the load's result, program
// what it said besides.
ReloadVerdict JudgeReload(const std::string& namesPath, const ChipImageResult& loaded,
                          const LoadedProgram& program, const std::vector<PlacedName>& before);
