// Where the names of a program would come from, said after the refusal of a
// name that nothing names: "no register is called fl; names come with
// --names DUMP".
#pragma once

#include "loaded_program.h"

#include <string>

// "" when a dump's names were loaded. command is what the options belong to
// as the reader sees them: "" on emuapsd's own command line, "emuapsd " in
// emuapsctl's answers.
std::string NamesNote(const std::string& patchPath, const std::string& namesPath,
                      const LoadedProgram& loaded, const std::string& command);
