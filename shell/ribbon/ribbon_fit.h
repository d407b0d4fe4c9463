// How the groups of a ribbon page give way when the page is narrower than they want. Pure
// arithmetic on widths, so the page's widgets only measure and place.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace ribbon {

// The sizes a group can take, widest first: large buttons (icon over a two-line caption),
// small buttons (icon left of a one-line caption, three to a column), small icons alone
// (three to a column), and one drop-down button that pops the whole group up.
enum class TRibbonGroupMode : std::uint8_t { Large, Small, IconOnly, Collapsed };

inline constexpr int RibbonGroupModeCount = 4;

// A group's width in pixels in each mode, indexed by TRibbonGroupMode.
using TRibbonGroupWidths = std::array<int, RibbonGroupModeCount>;

// The width of groups side by side in modes, spacing pixels apart.
int RibbonGroupsWidth(const std::vector<TRibbonGroupWidths>& groups,
                      const std::vector<TRibbonGroupMode>& modes, int spacing);

// The mode of each group, left to right, for a row of available pixels. Every group starts
// large. While the row is too wide, one group gives way by one step: the rightmost of the
// groups that have given way least, so every group shrinks once before any shrinks twice.
// A step that would not make a group narrower is passed over (and the group counts as
// having given way the further). When even the narrowest modes do not fit,
// every group gets its narrowest. The steps follow from the widths alone and stop at the
// first row that fits, so more room never gives a narrower result.
std::vector<TRibbonGroupMode> FitRibbonGroups(const std::vector<TRibbonGroupWidths>& groups,
                                              int available, int spacing);

} // namespace ribbon
