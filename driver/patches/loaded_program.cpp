#include "loaded_program.h"

#include "as10k1_names.h"
#include "as10k1_source.h"
#include "patch_placement.h"

#include <optional>

ChipImageResult LoadChipWithPatch(const std::string& imagePath, const std::string& patchPath,
                                  std::string* summary) {
    LoadedProgram loaded;
    ChipImageResult result = LoadChipWithPatch(imagePath, patchPath, "", &loaded);
    if (summary)
        *summary = loaded.summary;
    return result;
}

ChipImageResult LoadChipWithPatch(const std::string& imagePath, const std::string& patchPath,
                                  const std::string& namesPath, LoadedProgram* loaded,
                                  const TakenNames& taken) {
    if (loaded)
        loaded->symbols = NoProgramSymbols();
    ChipImageResult result;
    if (imagePath.empty())
        result.image = EmptyChipImage();
    else
        result = LoadChipImageFile(imagePath);
    if (!result.image || patchPath.empty())
        return result;
    PatchFile file = LoadPatchFile(patchPath);
    if (file.source && !namesPath.empty() && file.patch.patch) {
        file.patch.patch.reset();
        file.patch.error = patchPath +
                           " is as10k1 source, whose names come from as10k1 itself; --names "
                           "goes with a binary patch (.emu10k1)";
    }
    As10k1PatchResult& patch = file.patch;
    PatchPlacement placed;
    if (patch.patch)
        placed = PlacePatch(*result.image, *patch.patch);
    if (!placed.image) {
        result.image.reset();
        result.line = 0;
        // A source's errors name their file and line themselves.
        result.path = file.source && !patch.patch ? "" : patchPath;
        result.error = patch.patch ? placed.error : patch.error;
        return result;
    }
    result.image = placed.image;
    std::optional<As10k1Names> dump = std::move(file.names);
    std::string refusal;
    if (!namesPath.empty()) {
        As10k1NamesResult names = LoadAs10k1NamesFile(namesPath);
        refusal = names.names ? NamesMismatch(*names.names, *patch.patch) : names.error;
        if (refusal.empty())
            dump = std::move(names.names);
    }
    std::vector<std::string> refused;
    std::vector<PlacedName> names = PublishableNames(
        PlaceNames(*patch.patch, dump ? &*dump : nullptr, placed.relocation), taken, &refused);
    if (loaded) {
        loaded->summary = placed.summary;
        if (!refusal.empty()) {
            loaded->namesRefused = "refused " + namesPath + ": " + refusal;
            loaded->summary += "\nnames: " + loaded->namesRefused;
        }
        for (const std::string& line : refused)
            loaded->summary += "\nnames: " + line;
        if (!names.empty())
            loaded->summary.append("\n").append(NamesSummary(names));
        loaded->symbols = SymbolFileText(patch.patch->name, names);
        loaded->names = std::move(names);
        loaded->instructions = patch.patch->code.size();
        loaded->lines =
            PlaceLines(*patch.patch, dump ? &*dump : nullptr, placed.relocation, *placed.image);
        loaded->owned = OwnedRegisters(*patch.patch, placed.relocation);
        for (const As10k1Control& c : patch.patch->controls)
            loaded->controls.push_back({c.name, placed.relocation.gpr[c.gpr], c.min, c.max});
        loaded->source = PlacedSource(file, placed.codeStart);
    }
    return result;
}
