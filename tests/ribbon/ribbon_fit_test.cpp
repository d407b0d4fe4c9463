// How the groups of a ribbon page give way: the pure width arithmetic, no widgets.
#include "ribbon_fit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace ribbon;

namespace {

constexpr auto L = TRibbonGroupMode::Large;
constexpr auto S = TRibbonGroupMode::Small;
constexpr auto I = TRibbonGroupMode::IconOnly;
constexpr auto C = TRibbonGroupMode::Collapsed;

// Widths of two groups like the main page's: a wide one and a narrow one.
const TRibbonGroupWidths Wide{600, 300, 150, 60};
const TRibbonGroupWidths Narrow{200, 120, 70, 60};

struct TFitRow {
    const char* What;
    std::vector<TRibbonGroupWidths> Groups;
    int Available;
    int Spacing;
    std::vector<TRibbonGroupMode> Expected;
};

} // namespace

TEST(RibbonFit, TheRightmostOfTheLeastShrunkGroupsGivesWayFirst) {
    const TFitRow rows[] = {
        {"no groups", {}, 100, 2, {}},
        {"room to spare", {Wide, Narrow}, 1000, 2, {L, L}},
        {"exactly enough, spacing counted", {Wide, Narrow}, 802, 2, {L, L}},
        {"one pixel short: the rightmost gives way", {Wide, Narrow}, 801, 2, {L, S}},
        {"then the one that has not given way yet", {Wide, Narrow}, 600, 2, {S, S}},
        {"a second round starts at the right again", {Wide, Narrow}, 421, 2, {S, I}},
        {"icons alone everywhere", {Wide, Narrow}, 222, 2, {I, I}},
        {"the rightmost collapses first", {Wide, Narrow}, 221, 2, {I, C}},
        {"everything collapsed", {Wide, Narrow}, 122, 2, {C, C}},
        {"no room at all: still the narrowest", {Wide, Narrow}, 10, 2, {C, C}},
        {"equal groups: the rightmost first", {Narrow, Narrow, Narrow}, 520, 0, {L, L, S}},
        {"a mode no narrower is passed over", {{100, 100, 40, 50}}, 60, 0, {I}},
        {"passing over counts as giving way further",
         {{300, 300, 100, 50}, Narrow},
         220,
         0,
         {I, S}},
        {"so the other group goes next", {{300, 300, 100, 50}, Narrow}, 190, 0, {I, I}},
        {"a group with nothing narrower keeps large", {{80, 80, 80, 80}, Narrow}, 100, 0, {L, C}},
    };
    for (const TFitRow& row : rows) {
        SCOPED_TRACE(row.What);
        EXPECT_EQ(FitRibbonGroups(row.Groups, row.Available, row.Spacing), row.Expected);
    }
}

TEST(RibbonFit, MoreRoomNeverMakesAGroupNarrower) {
    const std::vector<TRibbonGroupWidths> groups{Narrow, Wide, {90, 140, 40, 50}, Narrow};
    std::vector<TRibbonGroupMode> previous = FitRibbonGroups(groups, 0, 2);
    for (int available = 1; available <= 1300; ++available) {
        const std::vector<TRibbonGroupMode> modes = FitRibbonGroups(groups, available, 2);
        for (std::size_t i = 0; i < groups.size(); ++i)
            ASSERT_LE(groups[i][static_cast<std::size_t>(previous[i])],
                      groups[i][static_cast<std::size_t>(modes[i])])
                << "group " << i << " at " << available << " pixels";
        // Whatever fits is taken: the row is too wide only when nothing can give way.
        if (RibbonGroupsWidth(groups, modes, 2) > available) {
            ASSERT_EQ(modes, FitRibbonGroups(groups, 0, 2)) << available;
        }
        previous = modes;
    }
    EXPECT_EQ(previous, std::vector<TRibbonGroupMode>(groups.size(), L));
}
