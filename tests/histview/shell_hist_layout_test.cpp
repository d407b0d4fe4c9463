// The histogram panel's arithmetic without a window: the height distribution, the
// stacking and order of the model tabs, the last-model guard, and the colour strips.
#include "colour_strips.h"
#include "hist_layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

using namespace tonalyx;

namespace tonalyx {
void PrintTo(const THistHeights& h, std::ostream* os) {
    *os << (h.Relayout ? "relayout" : "keep") << " P=" << h.P << " tabs " << h.Tab[0] << ", "
        << h.Tab[1] << ", " << h.Tab[2];
}
void PrintTo(const TTabPlace& t, std::ostream* os) {
    *os << (t.Visible ? "shown" : "hidden") << " top " << t.Top << " height " << t.Height;
}
} // namespace tonalyx

namespace {

// The window's own sizes: images 10 px narrower than the container, 5-px strips.
THistLayoutInput Container(int H, int W, bool rgb, bool hsv, bool lab) {
    THistLayoutInput in;
    in.H = H;
    in.W = W;
    in.Visible = {rgb, hsv, lab};
    in.FirstImageWidth = {W - 10, W - 10, W - 10};
    in.StripH1 = in.StripA1 = in.StripB1 = 5;
    return in;
}

THistHeights Heights(int P, int rgb, int hsv, int lab) {
    return {true, P, {rgb, hsv, lab}};
}

// ---------------------------------------------------------------- height distribution

struct TDistributionCase {
    const char* Name;
    THistLayoutInput In;
    THistHeights Expected;
};

class HeightDistribution : public testing::TestWithParam<TDistributionCase> {};

TEST_P(HeightDistribution, PanelAndTabHeights) {
    EXPECT_EQ(HistHeights(GetParam().In), GetParam().Expected);
}

THistLayoutInput WithStrips(THistLayoutInput in, int h1, int a1, int b1) {
    in.StripH1 = h1;
    in.StripA1 = a1;
    in.StripB1 = b1;
    return in;
}

THistLayoutInput WithImageWidths(THistLayoutInput in, int rgb, int hsv, int lab) {
    in.FirstImageWidth = {rgb, hsv, lab};
    return in;
}

const TDistributionCase DistributionCases[] = {
    // 233 × 0.6 = 139.8 → 140 does not fit: (459 − 87 − 4) / 10 = 36.8 → 37.
    {"AllModelsDesignWidth", Container(459, 243, true, true, true), Heights(37, 172, 140, 145)},
    // (459 − 24 − 2) / 4 = 108.25; the hidden tabs get their heights too.
    {"OnlyRGB", Container(459, 243, true, false, false), Heights(108, 456, 353, 358)},
    // 3 × 140 + 29 = 449 ≤ 900 − 2: the preferred height stays.
    {"OnlyHSVTallContainer", Container(900, 243, false, true, false), Heights(140, 584, 449, 454)},
    {"OnlyLab", Container(459, 243, false, false, true), Heights(140, 584, 449, 454)},
    // (456 − 91) / 10 = 36.5 → 36 and (466 − 91) / 10 = 37.5 → 38: halves go to the even side.
    {"HalfRoundsDownToEven", Container(456, 243, true, true, true), Heights(36, 168, 137, 142)},
    {"HalfRoundsUpToEven", Container(466, 243, true, true, true), Heights(38, 176, 143, 148)},
    // (206 − 91) / 10 = 11.5 → 12: the three tabs take 207 px, one more than there is.
    {"HalfUpOverhangsByOne", Container(206, 243, true, true, true), Heights(12, 72, 65, 70)},
    // The preferred height itself rounds: 0.6 × 106 = 63.6 → 64, 0.6 × 107 = 64.2 → 64.
    {"PreferredRoundsUp", Container(2000, 116, true, false, false), Heights(64, 280, 221, 226)},
    {"PreferredRoundsDown", Container(2000, 117, true, false, false), Heights(64, 280, 221, 226)},
    // The panels never grow beyond 60 % of the width in a tall container.
    {"TallContainerKeepsRatio", Container(3000, 243, true, true, true),
     Heights(140, 584, 449, 454)},
    // Exactly fitting: 10 × 140 + 87 = 1487 = 1491 − 4.
    {"ExactFit", Container(1491, 243, true, true, true), Heights(140, 584, 449, 454)},
    {"OneShortOfFit", Container(1481, 243, true, true, true), Heights(139, 580, 446, 451)},
    // The smallest container that is laid out: every panel is still 6 px high.
    {"SmallestAllModels", Container(150, 20, true, true, true), Heights(6, 48, 47, 52)},
    {"SmallestOnlyRGB", Container(150, 20, true, false, false), Heights(6, 48, 47, 52)},
    // (459 − 63 − 3) / 6 = 65.5 → 66; (400 − 66) / 6 = 55.67 → 56.
    {"HSVAndLab", Container(459, 243, false, true, true), Heights(66, 288, 227, 232)},
    {"HSVAndLabShort", Container(400, 243, false, true, true), Heights(56, 248, 197, 202)},
    // The strip panels' actual heights enter both the fixed part and the tab heights.
    {"OtherStripHeights", WithStrips(Container(459, 243, true, true, true), 7, 6, 8),
     Heights(36, 168, 139, 146)},
    // The first image control of the first visible tab sets the preferred height.
    {"FirstVisibleRGB", WithImageWidths(Container(3000, 243, true, true, true), 100, 200, 300),
     Heights(60, 264, 209, 214)},
    {"FirstVisibleHSV", WithImageWidths(Container(3000, 243, false, true, true), 100, 200, 300),
     Heights(120, 504, 389, 394)},
    {"FirstVisibleLab", WithImageWidths(Container(3000, 243, false, false, true), 100, 200, 300),
     Heights(180, 744, 569, 574)},
    // Too small, or nothing to show: nothing changes.
    {"LowerThan150", Container(149, 243, true, true, true), THistHeights{}},
    {"NarrowerThan20", Container(459, 19, true, true, true), THistHeights{}},
    {"BothTooSmall", Container(100, 10, true, true, true), THistHeights{}},
    {"NoModelShown", Container(459, 243, false, false, false), THistHeights{}},
};

INSTANTIATE_TEST_SUITE_P(Layout, HeightDistribution, testing::ValuesIn(DistributionCases),
                         [](const testing::TestParamInfo<TDistributionCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(HeightDistribution, DesignExampleFillsAllButTwoPixels) {
    const THistHeights h = HistHeights(Container(459, 243, true, true, true));
    EXPECT_EQ(h.Tab[0] + h.Tab[1] + h.Tab[2], 457);
}

// Every container from 150 × 20 up lays out and no panel is lower than 6 px. The visible
// tabs fit, but for one case: with all ten panels shown, a share of exactly x.5 px rounds
// up to even and takes five pixels where the slack is four.
TEST(HeightDistribution, VisibleTabsFitAndPanelsStayAtLeastSix) {
    for (int mask = 1; mask < 8; ++mask) {
        const bool rgb = mask & 1, hsv = mask & 2, lab = mask & 4;
        for (int W : {20, 21, 37, 243, 600})
            for (int H = 150; H <= 1200; ++H) {
                const THistHeights h = HistHeights(Container(H, W, rgb, hsv, lab));
                ASSERT_TRUE(h.Relayout) << H << " x " << W;
                EXPECT_GE(h.P, 6) << H << " x " << W << " mask " << mask;
                const int used = BoolToInt(rgb) * h.Tab[0] + BoolToInt(hsv) * h.Tab[1] +
                                 BoolToInt(lab) * h.Tab[2];
                const bool tieUp =
                    mask == 7 && (H - 91) % 20 == 15; // 11.5, 13.5, ...: odd + ½ rounds up
                EXPECT_LE(used, tieUp ? H + 1 : H) << H << " x " << W << " mask " << mask;
            }
    }
}

TEST(HeightDistribution, TheRawGroupsPanelsShareTheHeight) {
    const struct {
        bool Models;  // the three tabs shown, or none
        int Channels; // of the Raw group
        int P;
    } cases[] = {{true, 0, 37}, {true, 4, 20}, {true, 3, 23}, {false, 3, 128}};
    for (const auto& c : cases) {
        THistLayoutInput in = Container(459, 243, c.Models, c.Models, c.Models);
        in.RawPanels = c.Channels;
        in.RawFixed = c.Channels ? c.Channels * 12 + 14 + HistTabOverhead : 0;
        in.RawImageWidth = 233;
        const THistHeights h = HistHeights(in);
        EXPECT_TRUE(h.Relayout);
        EXPECT_EQ(h.P, c.P) << c.Models << " " << c.Channels;
    }
}

TEST(HeightDistribution, BoolToInt) {
    EXPECT_EQ(BoolToInt(true), 1);
    EXPECT_EQ(BoolToInt(false), 0);
}

// ---------------------------------------------------------------- stacking and order

TTabPlaces Places(std::array<bool, 3> visible, std::array<int, 3> tops,
                  std::array<int, 3> heights = {172, 140, 145}) {
    TTabPlaces t{};
    for (std::size_t i = 0; i < 3; ++i)
        t[i] = {visible[i], tops[i], heights[i]};
    return t;
}

std::array<int, 3> Tops(const TTabPlaces& t) {
    return {t[0].Top, t[1].Top, t[2].Top};
}

struct TOrderCase {
    const char* Name;
    std::array<bool, 3> Visible;
    std::array<int, 3> Tops;         // before
    std::array<int, 3> ExpectedTops; // after RestoreTabOrder
};

class TabOrder : public testing::TestWithParam<TOrderCase> {};

TEST_P(TabOrder, RestoresRGBHSVLab) {
    TTabPlaces t = Places(GetParam().Visible, GetParam().Tops);
    RestoreTabOrder(t);
    EXPECT_EQ(Tops(t), GetParam().ExpectedTops);
}

// Heights 172, 140, 145: RGB, HSV, Lab in order sit at 0, 172, 312.
const TOrderCase OrderCases[] = {
    {"InOrder", {true, true, true}, {0, 172, 312}, {0, 172, 312}},
    {"HSVLabRGB", {true, true, true}, {285, 0, 140}, {0, 172, 312}},
    {"LabHSVRGB", {true, true, true}, {285, 145, 0}, {0, 172, 312}},
    {"RGBLabHSV", {true, true, true}, {0, 317, 172}, {0, 172, 312}},
    {"HSVRGBLab", {true, true, true}, {140, 0, 312}, {0, 172, 312}},
    {"LabRGBHSV", {true, true, true}, {145, 317, 0}, {0, 172, 312}},
    {"RGBBelowLabHSVHidden", {true, false, true}, {145, 999, 0}, {0, 999, 172}},
    {"HSVBelowLabRGBHidden", {false, true, true}, {999, 145, 0}, {999, 0, 140}},
    {"HiddenTabsDoNotSwap", {false, true, false}, {500, 0, 40}, {500, 0, 40}},
};

INSTANTIATE_TEST_SUITE_P(Layout, TabOrder, testing::ValuesIn(OrderCases),
                         [](const testing::TestParamInfo<TOrderCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(TabStack, VisibleTabsFollowEachOtherFromTheTop) {
    TTabPlaces t = Places({true, false, true}, {50, 7, 400});
    StackTabs(t);
    EXPECT_EQ(Tops(t), (std::array<int, 3>{0, 7, 172})); // the hidden one keeps its top
}

// A tab that appears lands below the visible ones; putting the order right is a separate step.
TEST(TabStack, ShownTabLandsAtTheBottomUntilTheOrderIsRestored) {
    TTabPlaces t = Places({true, true, true}, {0, 172, 312});
    SetTabVisible(t, THistTab::RGB, false);
    EXPECT_EQ(Tops(t)[1], 0);
    EXPECT_EQ(Tops(t)[2], 140);
    SetTabVisible(t, THistTab::RGB, true);
    EXPECT_EQ(Tops(t), (std::array<int, 3>{285, 0, 140}));
    RestoreTabOrder(t);
    EXPECT_EQ(Tops(t), (std::array<int, 3>{0, 172, 312}));
}

TEST(TabStack, ShowingAVisibleTabAgainMovesNothing) {
    TTabPlaces t = Places({true, true, true}, {0, 172, 312});
    SetTabVisible(t, THistTab::HSV, true);
    EXPECT_EQ(Tops(t), (std::array<int, 3>{0, 172, 312}));
}

// ---------------------------------------------------------------- last-model guard

struct TGuardCase {
    std::array<bool, 3> Checked;
    std::array<bool, 3> AutoCheck;
};

class LastModelGuard : public testing::TestWithParam<TGuardCase> {};

TEST_P(LastModelGuard, OnlyTheLastShownModelStopsToggling) {
    EXPECT_EQ(ModelAutoCheck(GetParam().Checked), GetParam().AutoCheck);
}

INSTANTIATE_TEST_SUITE_P(Layout, LastModelGuard,
                         testing::Values(TGuardCase{{true, true, true}, {true, true, true}},
                                         TGuardCase{{true, true, false}, {true, true, true}},
                                         TGuardCase{{false, true, true}, {true, true, true}},
                                         TGuardCase{{true, false, false}, {false, true, true}},
                                         TGuardCase{{false, true, false}, {true, false, true}},
                                         TGuardCase{{false, false, true}, {true, true, false}},
                                         TGuardCase{{false, false, false}, {true, true, true}}));

// ---------------------------------------------------------------- colour strips

struct TStripColourCase {
    const char* Name;
    QImage (*Strip)();
    int Column;
    int R, G, B;
};

class StripColour : public testing::TestWithParam<TStripColourCase> {};

TEST_P(StripColour, ColumnMatchesWithinTwoUnits) {
    const QImage im = GetParam().Strip();
    const QColor c = im.pixelColor(GetParam().Column, 0);
    EXPECT_LE(std::abs(c.red() - GetParam().R), 2)
        << c.red() << "," << c.green() << "," << c.blue();
    EXPECT_LE(std::abs(c.green() - GetParam().G), 2)
        << c.red() << "," << c.green() << "," << c.blue();
    EXPECT_LE(std::abs(c.blue() - GetParam().B), 2)
        << c.red() << "," << c.green() << "," << c.blue();
}

const TStripColourCase StripColourCases[] = {
    {"HueLeftRed", HueStrip, 0, 255, 5, 0},         {"HueMiddleCyan", HueStrip, 117, 0, 253, 255},
    {"HueRightRed", HueStrip, 233, 255, 0, 9},      {"ALeftTeal", LabAStrip, 0, 0, 166, 125},
    {"AMiddleGrey", LabAStrip, 128, 128, 128, 128}, {"ARightMagenta", LabAStrip, 255, 255, 0, 136},
    {"BLeftBlue", LabBStrip, 0, 0, 141, 255},       {"BMiddleGrey", LabBStrip, 128, 129, 129, 129},
    {"BRightOlive", LabBStrip, 255, 151, 127, 0},
};

INSTANTIATE_TEST_SUITE_P(Strips, StripColour, testing::ValuesIn(StripColourCases),
                         [](const testing::TestParamInfo<TStripColourCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(StripColour, SizesAndEqualRows) {
    struct {
        QImage Image;
        int W, H;
    } strips[] = {{HueStrip(), 234, 10}, {LabAStrip(), 256, 19}, {LabBStrip(), 256, 19}};
    for (const auto& s : strips) {
        ASSERT_EQ(s.Image.size(), QSize(s.W, s.H));
        for (int y = 1; y < s.H; ++y)
            for (int x = 0; x < s.W; ++x)
                ASSERT_EQ(s.Image.pixel(x, y), s.Image.pixel(x, 0)) << x << "," << y;
    }
}

// The hue strip runs once round the circle, left to right, with no column out of turn.
TEST(StripColour, HueGoesRoundOnce) {
    const QImage im = HueStrip();
    float prev = -1;
    for (int x = 0; x < im.width(); ++x) {
        const QColor c = im.pixelColor(x, 0);
        EXPECT_EQ(c.hsvSaturation(), 255) << x;
        EXPECT_EQ(c.value(), 255) << x;
        const float h = c.hsvHueF();
        EXPECT_GE(h, prev) << x;
        prev = h;
    }
}

// Along the a* strip green falls and red rises towards the right; along the b* strip blue falls.
TEST(StripColour, LabStripsRunTheRightWay) {
    const QImage a = LabAStrip(), b = LabBStrip();
    for (int x = 1; x < 256; ++x) {
        EXPECT_LE(a.pixelColor(x, 0).green(), a.pixelColor(x - 1, 0).green()) << x;
        EXPECT_GE(a.pixelColor(x, 0).red(), a.pixelColor(x - 1, 0).red()) << x;
        EXPECT_LE(b.pixelColor(x, 0).blue(), b.pixelColor(x - 1, 0).blue()) << x;
    }
}

} // namespace
