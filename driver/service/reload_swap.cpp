#include "reload_swap.h"

#include <map>

namespace {

// The names in both programs, for what moved among them.
std::vector<PlacedName> Common(const std::vector<PlacedName>& names,
                               const std::vector<PlacedName>& other) {
    std::map<std::string, bool> in;
    for (const PlacedName& n : other)
        in[n.name] = true;
    std::vector<PlacedName> common;
    for (const PlacedName& n : names)
        if (in.contains(n.name))
            common.push_back(n);
    return common;
}

} // namespace

ReloadVerdict SwapReload(SimulatedChip& chip, const std::string& file, const ProgramOnChip& before,
                         const ProgramOnChip& after, ReloadVerdict verdict) {
    if (!verdict.taken)
        return verdict;
    const CarryPlan plan = PlanCarry(before.image, before.program, after.image, after.program);
    if (!chip.Swap(after.image, plan.carry)) {
        const std::string why = "the DSP stands inside a sample (continue or step to its end)";
        return {false, "not reloaded: " + why + "; the chip keeps its program and names",
                "keeping the current chip; " + why};
    }
    const std::string moved = NamesMovedText(Common(before.program.names, after.program.names),
                                             Common(after.program.names, before.program.names));
    const std::string said = CarryText(file, before.program, after.program, plan) + "; " + moved;
    return {true, said, verdict.log + "\n" + said};
}
