#include "names_note.h"

std::string NamesNote(const std::string& patchPath, const std::string& namesPath,
                      const LoadedProgram& loaded, const std::string& command) {
    if (patchPath.empty())
        return "names come with " + command + "--patch PATCH --names DUMP";
    // A source's names are all as10k1's, with no dump to give.
    if (namesPath.empty() && loaded.source.files.empty())
        return "names come with " + command + "--names DUMP";
    return loaded.namesRefused.empty() ? "" : "names: " + loaded.namesRefused;
}
