#include "ribbon_fit.h"

#include <cstddef>

namespace ribbon {

namespace {

int WidthIn(const TRibbonGroupWidths& widths, TRibbonGroupMode mode) {
    return widths[static_cast<std::size_t>(mode)];
}

// The first mode after current in which the group is narrower; current when there is none.
TRibbonGroupMode NextNarrower(const TRibbonGroupWidths& widths, TRibbonGroupMode current) {
    for (int m = static_cast<int>(current) + 1; m < RibbonGroupModeCount; ++m) {
        const auto mode = static_cast<TRibbonGroupMode>(m);
        if (WidthIn(widths, mode) < WidthIn(widths, current))
            return mode;
    }
    return current;
}

} // namespace

int RibbonGroupsWidth(const std::vector<TRibbonGroupWidths>& groups,
                      const std::vector<TRibbonGroupMode>& modes, int spacing) {
    int total = 0;
    for (std::size_t i = 0; i < groups.size() && i < modes.size(); ++i)
        total += WidthIn(groups[i], modes[i]) + (i > 0 ? spacing : 0);
    return total;
}

std::vector<TRibbonGroupMode> FitRibbonGroups(const std::vector<TRibbonGroupWidths>& groups,
                                              int available, int spacing) {
    std::vector<TRibbonGroupMode> modes(groups.size(), TRibbonGroupMode::Large);
    int total = RibbonGroupsWidth(groups, modes, spacing);
    while (total > available) {
        // The step to take: the rightmost of the groups that have given way least (the scan
        // starts at the right and takes a later group only when it is strictly less shrunk).
        std::size_t best = groups.size();
        TRibbonGroupMode bestNext{};
        for (std::size_t i = groups.size(); i-- > 0;) {
            const TRibbonGroupMode next = NextNarrower(groups[i], modes[i]);
            if (next != modes[i] && (best == groups.size() || modes[i] < modes[best])) {
                best = i;
                bestNext = next;
            }
        }
        if (best == groups.size())
            break; // nothing can give way any more
        total -= WidthIn(groups[best], modes[best]) - WidthIn(groups[best], bestNext);
        modes[best] = bestNext;
    }
    return modes;
}

} // namespace ribbon
