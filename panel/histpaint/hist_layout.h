// The arithmetic of the histogram panel: how high the histogram panels and the three
// model tabs are, in which order the visible tabs stack, and which colour-model command
// may toggle itself. No Qt here; THistScene applies the results.
#pragma once

#include <array>

namespace tonalyx {

// 1 for true, 0 for false; every count of visible tabs is made with it.
constexpr int BoolToInt(bool B) {
    return B ? 1 : 0;
}

// The three model tabs, top to bottom in their natural order.
enum class THistTab : int { RGB, HSV, LAB };
inline constexpr int HistTabCount = 3;

// Height of a tab control beyond its panels: 20 px above the first panel (the tab strip
// and the top border), 4 px below the last.
inline constexpr int HistTabOverhead = 24;
// Below this height or width the container keeps its heights and is not redrawn.
inline constexpr int HistMinContainerHeight = 150;
inline constexpr int HistMinContainerWidth = 20;

struct THistLayoutInput {
    int H = 0;                                // container height
    int W = 0;                                // container width
    std::array<bool, HistTabCount> Visible{}; // tabRGB, tabHSV, tabLAB
    // Widths of the first image control of each tab: imRGB_RGB, imHSV_H, imLAB_L.
    std::array<int, HistTabCount> FirstImageWidth{};
    // Current heights of the strip panels pnHSV_H1, pnLab_A1, pnLab_B1.
    int StripH1 = 0, StripA1 = 0, StripB1 = 0;
    // The Raw group below the three tabs, when shown: its histogram panels, the height of
    // the rest of it (lines, axis and tab frame) and its image controls' width.
    int RawPanels = 0, RawFixed = 0, RawImageWidth = 0;
};

struct THistHeights {
    bool Relayout = false;               // false: leave every height as it is and do not redraw
    int P = 0;                           // height of each of the ten histogram panels
    std::array<int, HistTabCount> Tab{}; // heights of tabRGB, tabHSV, tabLAB (hidden ones too)
    friend bool operator==(const THistHeights&, const THistHeights&) = default;
};

// The height distribution: a panel is preferably 60 % as high as its image control is
// wide, and shrinks (never grows) so that the visible tabs, and the Raw group's panels with
// them, fit the container.
THistHeights HistHeights(const THistLayoutInput& in);

// One tab control as the vertical stacking sees it.
struct TTabPlace {
    bool Visible = false;
    int Top = 0;
    int Height = 0;
    friend bool operator==(const TTabPlace&, const TTabPlace&) = default;
};
using TTabPlaces = std::array<TTabPlace, HistTabCount>; // indexed by THistTab

// Top alignment: the visible tabs follow each other from y = 0 in the order of their
// current tops (the lower index first on equal tops); hidden tabs keep their tops.
void StackTabs(TTabPlaces& tabs);

// Shows or hides one tab the way top alignment treats a control that appears: it lands
// below the visible ones, whatever its place was before it was hidden. Restacks.
void SetTabVisible(TTabPlaces& tabs, THistTab tab, bool visible);

// Puts the visible tabs back into the order RGB, HSV, Lab: for the pairs (RGB, Lab),
// (RGB, HSV), (HSV, Lab) in turn, where both are visible and the upper one's top lies
// below the lower one's, the two exchange their tops. Restacks.
void RestoreTabOrder(TTabPlaces& tabs);

// The toggle flags of acRGB, acHSV, acLab for their checked states: with exactly one
// model checked, that command stops unchecking itself and the other two still toggle;
// otherwise all three toggle.
std::array<bool, HistTabCount> ModelAutoCheck(const std::array<bool, HistTabCount>& checked);

} // namespace tonalyx
