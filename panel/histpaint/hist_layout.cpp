// The arithmetic of the histogram panel.
#include "hist_layout.h"

#include "rounding.h"

#include <algorithm>
#include <numeric>

namespace tonalyx {

THistHeights HistHeights(const THistLayoutInput& in) {
    THistHeights out;
    if (in.H < HistMinContainerHeight || in.W < HistMinContainerWidth)
        return out;

    const int rgb = BoolToInt(in.Visible[0]);
    const int hsv = BoolToInt(in.Visible[1]);
    const int lab = BoolToInt(in.Visible[2]);
    const int raw = BoolToInt(in.RawPanels > 0);
    const int a = 4 * rgb + 3 * hsv + 3 * lab + in.RawPanels; // visible histogram panels
    if (a == 0)
        return out;

    // The first image control of the first visible tab sets the preferred height.
    const int w = rgb   ? in.FirstImageWidth[0]
                  : hsv ? in.FirstImageWidth[1]
                  : lab ? in.FirstImageWidth[2]
                        : in.RawImageWidth;
    // 0.6 × w, rounded once from the exact value (w × 3 / 5 is exact in extended precision).
    int P = static_cast<int>(RoundHalfEven(static_cast<Extended>(w) * 3 / 5));

    const int F = HistTabOverhead * rgb + hsv * (in.StripH1 + HistTabOverhead) +
                  lab * (in.StripA1 + in.StripB1 + HistTabOverhead) + in.RawFixed;
    const int S = rgb + hsv + lab + raw + 1; // a pixel per visible tab, and one more
    if (a * P + F > in.H - S)
        P = static_cast<int>(RoundHalfEven(static_cast<double>(in.H - F - S) / a));

    out.Relayout = true;
    out.P = P;
    out.Tab[0] = 4 * P + HistTabOverhead;
    out.Tab[1] = 3 * P + in.StripH1 + HistTabOverhead;
    out.Tab[2] = 3 * P + in.StripA1 + in.StripB1 + HistTabOverhead;
    return out;
}

void StackTabs(TTabPlaces& tabs) {
    std::array<int, HistTabCount> order;
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int l, int r) {
        return tabs[static_cast<std::size_t>(l)].Top < tabs[static_cast<std::size_t>(r)].Top;
    });
    int y = 0;
    for (int i : order) {
        TTabPlace& t = tabs[static_cast<std::size_t>(i)];
        if (!t.Visible)
            continue;
        t.Top = y;
        y += t.Height;
    }
}

void SetTabVisible(TTabPlaces& tabs, THistTab tab, bool visible) {
    TTabPlace& t = tabs[static_cast<std::size_t>(tab)];
    if (t.Visible == visible)
        return;
    if (visible) {
        // Below the bottom of every visible tab.
        int bottom = 0;
        for (const TTabPlace& o : tabs)
            if (o.Visible)
                bottom = std::max(bottom, o.Top + std::max(o.Height, 1));
        t.Top = bottom;
    }
    t.Visible = visible;
    StackTabs(tabs);
}

void RestoreTabOrder(TTabPlaces& tabs) {
    constexpr std::array<std::array<THistTab, 2>, 3> pairs = {{
        {THistTab::RGB, THistTab::LAB},
        {THistTab::RGB, THistTab::HSV},
        {THistTab::HSV, THistTab::LAB},
    }};
    for (const auto& [upperTab, lowerTab] : pairs) {
        TTabPlace& upper = tabs[static_cast<std::size_t>(upperTab)];
        TTabPlace& lower = tabs[static_cast<std::size_t>(lowerTab)];
        if (upper.Visible && lower.Visible && upper.Top > lower.Top)
            std::swap(upper.Top, lower.Top);
    }
    StackTabs(tabs);
}

std::array<bool, HistTabCount> ModelAutoCheck(const std::array<bool, HistTabCount>& checked) {
    const int shown = BoolToInt(checked[0]) + BoolToInt(checked[1]) + BoolToInt(checked[2]);
    if (shown != 1)
        return {true, true, true};
    return {!checked[0], !checked[1], !checked[2]};
}

} // namespace tonalyx
