#include "changed_registers.h"

bool RegisterChanged(const GprHistory& images, int32_t index) {
    const std::vector<int32_t>& previous = images.previous(1);
    const std::vector<int32_t>& current = images.current();
    if (index < 0 || static_cast<std::size_t>(index) >= previous.size() ||
        static_cast<std::size_t>(index) >= current.size())
        return false;
    return current[index] != previous[index];
}

std::optional<int32_t> FindNextChanged(RegisterRange range, int32_t start,
                                       const std::function<bool(int32_t)>& changed) {
    if (range.hi < range.lo)
        return std::nullopt;
    if (start < range.lo || start > range.hi) {
        for (int32_t i = range.lo; i <= range.hi; ++i)
            if (changed(i))
                return i;
        return std::nullopt;
    }
    for (int32_t i = start == range.hi ? range.lo : start + 1; i != start;
         i = i == range.hi ? range.lo : i + 1)
        if (changed(i))
            return i;
    return std::nullopt;
}

FindResult FindChangedRegister(const GprHistory& images, RegisterRange range, int32_t start) {
    if (images.previous(1).empty())
        return {FindOutcome::NoEarlierImage};
    const std::optional<int32_t> found =
        FindNextChanged(range, start, [&images](int32_t i) { return RegisterChanged(images, i); });
    if (!found)
        return {FindOutcome::NoneChanged};
    return {FindOutcome::Found, *found};
}
