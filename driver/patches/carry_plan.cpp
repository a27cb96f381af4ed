#include "carry_plan.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

constexpr uint32_t kSampleRate = 48000;
constexpr uint32_t kGprs = 0x100, kTramEnd = 0x400; // GPRs, TRAM data and addresses

bool Listed(const PlacedName& n) {
    return n.kind != "TRAM address";
}

// Whole milliseconds from 10 on: as10k1 gives a line one sample more than asked.
std::string Milliseconds(uint32_t samples) {
    const double ms = samples * 1000.0 / kSampleRate;
    char text[32];
    std::snprintf(text, sizeof text, ms >= 10 ? "%.0f" : "%.2f", ms);
    return text;
}

std::string List(const std::vector<std::string>& names, const std::vector<PlacedLine>& lines) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : " ") + name;
    std::string spans;
    for (const PlacedLine& line : lines)
        spans +=
            (spans.empty() ? "" : ", ") + line.name + " (" + Milliseconds(line.span.size) + " ms)";
    if (!text.empty() && !spans.empty())
        text += ", ";
    text += spans;
    return text.empty() ? "—" : text;
}

} // namespace

CarryPlan PlanCarry(const ChipImage& oldImage, const LoadedProgram& oldProgram,
                    const ChipImage& newImage, const LoadedProgram& newProgram) {
    CarryPlan plan;
    std::map<std::string, const PlacedName*> before;
    for (const PlacedName& n : oldProgram.names)
        before[n.name] = &n;
    for (const PlacedName& n : newProgram.names) {
        const auto old = before.find(n.name);
        if (old == before.end() || old->second->kind != n.kind) {
            if (Listed(n))
                plan.fresh.push_back(n.name);
            continue;
        }
        const uint32_t from = old->second->address;
        const bool same = oldImage.registers[from] == newImage.registers[n.address];
        if (same)
            plan.carry.registers.push_back({from, n.address});
        if (!same)
            plan.changed.push_back(n.name); // a moved tap too
        else if (Listed(n))
            plan.kept.push_back(n.name);
    }
    std::map<std::string, const PlacedName*> after;
    for (const PlacedName& n : newProgram.names)
        after[n.name] = &n;
    for (const PlacedName& n : oldProgram.names) {
        const auto now = after.find(n.name);
        if (Listed(n) && (now == after.end() || now->second->kind != n.kind))
            plan.gone.push_back(n.name);
    }

    std::vector<bool> owned(kChipRegisterCount);
    for (const auto* list : {&oldProgram.owned, &newProgram.owned})
        for (uint32_t r : *list)
            if (r < kChipRegisterCount)
                owned[r] = true;
    // The DSP's state only: the chip's other registers (DBG among them) and
    // the microcode come from the new image, as a load puts them.
    for (uint32_t r = kGprs; r < kTramEnd; ++r)
        if (!owned[r] && oldImage.registers[r] == newImage.registers[r])
            plan.carry.registers.push_back({r, r});

    std::map<std::string, const PlacedLine*> oldLines, newLines;
    for (const PlacedLine& line : oldProgram.lines)
        if (!line.name.empty())
            oldLines[line.name] = &line;
    for (const PlacedLine& line : newProgram.lines)
        if (!line.name.empty())
            newLines[line.name] = &line;
    for (const PlacedLine& line : newProgram.lines) {
        const auto old = line.name.empty() ? oldLines.end() : oldLines.find(line.name);
        if (old != oldLines.end() && old->second->span.size == line.span.size) {
            plan.carry.moves.push_back({old->second->span, line.span});
            plan.keptLines.push_back(line);
        } else {
            plan.carry.silenced.push_back(line.span);
            if (!line.name.empty())
                plan.freshLines.push_back(line);
        }
    }
    for (const PlacedLine& line : oldProgram.lines)
        if (!line.name.empty() && !newLines.contains(line.name))
            plan.goneLines.push_back(line);
    return plan;
}

std::string CarryText(const std::string& file, const LoadedProgram& oldProgram,
                      const LoadedProgram& newProgram, const CarryPlan& plan) {
    std::string text = "reloaded " + file + ": " + std::to_string(oldProgram.instructions) +
                       " -> " + std::to_string(newProgram.instructions) + " instructions; kept " +
                       List(plan.kept, plan.keptLines);
    if (!plan.changed.empty())
        text += "; changed " + List(plan.changed, {});
    return text + "; new " + List(plan.fresh, plan.freshLines) + "; gone " +
           List(plan.gone, plan.goneLines);
}
