#include "reload_verdict.h"

ReloadVerdict JudgeReload(const std::string& namesPath, const ChipImageResult& loaded,
                          const LoadedProgram& program, const std::vector<PlacedName>& before) {
    const std::string keeping = "; the chip keeps its program and names";
    if (!loaded.image)
        return {false, "not reloaded: " + loaded.describe() + keeping,
                "keeping the current chip; " + loaded.describe()};
    if (!namesPath.empty() && !program.namesRefused.empty())
        return {false, "not reloaded: names: " + program.namesRefused + keeping,
                "keeping the current chip; names: " + program.namesRefused};
    const std::string moved = NamesMovedText(before, program.names);
    std::string log = program.summary.empty() ? "" : program.summary + "\n";
    return {true, "loaded; " + moved, log + "since the last load: " + moved};
}
