// Drawing the channels: the raster surface, bars and their end points, the column
// values between bins, whole channels at awkward widths, the log scale, Show over the ten
// targets, and where the marks of one pixel fall.
#include "render.h"

#include "histogram.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

namespace {

constexpr TRgb Face{240, 240, 240}; // the background
constexpr TRgb Ink{10, 20, 30};

TChanData Channel(TChannel c) {
    TChanData ch;
    ch.Others = OriginParameters()[c].Others;
    return ch;
}

std::uint32_t& At(TChanData& ch, int i) {
    return ch.Hist[static_cast<std::size_t>(i)];
}

// The rows of column x that are not background.
std::set<int> PaintedRows(const TRasterTarget& t, int x) {
    std::set<int> rows;
    for (int y = 0; y < t.Height(); ++y)
        if (!(t.Pixel(x, y) == Face))
            rows.insert(y);
    return rows;
}

// The height of the bar in column x, checking that it is one solid run ending at the bottom row.
int BarHeight(const TRasterTarget& t, int x) {
    const std::set<int> rows = PaintedRows(t, x);
    if (rows.empty())
        return 0;
    EXPECT_EQ(*rows.rbegin(), t.Height() - 1) << "column " << x << " does not start at the bottom";
    EXPECT_EQ(static_cast<int>(rows.size()), *rows.rbegin() - *rows.begin() + 1)
        << "column " << x << " has gaps";
    return static_cast<int>(rows.size());
}

bool AllBackground(const TRasterTarget& t) {
    for (const TRgb& p : t.Raster())
        if (!(p == Face))
            return false;
    return true;
}

std::set<int> Rows(int from, int to) {
    std::set<int> r;
    for (int y = from; y <= to; ++y)
        r.insert(y);
    return r;
}

// A target that only records what is drawn on it.
class TRecordingTarget final : public THistTarget {
  public:
    TRecordingTarget(int wc, int hc) : Wc(wc), Hc(hc) {}
    int ControlWidth() const override { return Wc; }
    int ControlHeight() const override { return Hc; }
    void Clear() override { ++Clears; }
    void SetPen(TRgb) override {}
    void VerticalLine(int, int, int) override { ++Lines; }
    int Wc, Hc, Clears = 0, Lines = 0;
};

// Paints every target of the surfaces so that clearing shows.
void Scribble(TRasterSurfaces& s) {
    for (TChannel c : AllChannels) {
        THistTarget& t = s.Target(c);
        t.SetPen(Ink);
        for (int x = 0; x < t.ControlWidth() - 1; ++x)
            t.VerticalLine(x, 0, t.ControlHeight());
    }
}

} // namespace

// ---------------------------------------------------------------- the raster target

struct TSizeRow {
    int Wc, Hc, Width, Height;
};

class RasterTargetSize : public testing::TestWithParam<TSizeRow> {};

TEST_P(RasterTargetSize, IsOnePixelSmallerThanTheControl) {
    const TSizeRow& r = GetParam();
    TRasterTarget t(r.Wc, r.Hc, Face);
    EXPECT_EQ(t.ControlWidth(), r.Wc);
    EXPECT_EQ(t.ControlHeight(), r.Hc);
    EXPECT_EQ(t.Width(), r.Width);
    EXPECT_EQ(t.Height(), r.Height);
    EXPECT_EQ(t.Raster().size(), static_cast<std::size_t>(r.Width * r.Height));
    EXPECT_TRUE(AllBackground(t));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RasterTargetSize,
                         testing::Values(TSizeRow{10, 6, 9, 5}, TSizeRow{2, 2, 1, 1},
                                         TSizeRow{1, 5, 0, 4}, TSizeRow{0, 0, 0, 0},
                                         TSizeRow{257, 100, 256, 99}));

struct TLineRow {
    const char* Name;
    int X, YFrom, YTo;
    std::set<int> Painted;
};

class RasterTargetLine : public testing::TestWithParam<TLineRow> {};

TEST_P(RasterTargetLine, PaintsUpToButNotTheEndPoint) {
    const TLineRow& r = GetParam();
    TRasterTarget t(5, 10, Face); // surface 4 x 9
    t.SetPen(Ink);
    t.VerticalLine(r.X, r.YFrom, r.YTo);
    for (int x = 0; x < t.Width(); ++x)
        EXPECT_EQ(PaintedRows(t, x), x == r.X ? r.Painted : std::set<int>{}) << "column " << x;
    for (int x = 0; x < t.Width(); ++x)
        for (int y : PaintedRows(t, x))
            EXPECT_EQ(t.Pixel(x, y), Ink);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RasterTargetLine,
    testing::Values(TLineRow{"Up", 1, 8, 5, {8, 7, 6}}, TLineRow{"Down", 2, 5, 8, {5, 6, 7}},
                    TLineRow{"Empty", 1, 4, 4, {}}, TLineRow{"OnePixel", 0, 4, 3, {4}},
                    TLineRow{"ClippedAtTheTop", 3, 8, -5, Rows(0, 8)},
                    TLineRow{"StartsBelowTheSurface", 1, 12, 6, {7, 8}},
                    TLineRow{"EndsJustBelowTheSurface", 1, 6, 9, {6, 7, 8}},
                    TLineRow{"ColumnLeftOfTheSurface", -1, 8, 0, {}},
                    TLineRow{"ColumnRightOfTheSurface", 4, 8, 0, {}}),
    [](const testing::TestParamInfo<TLineRow>& i) { return std::string(i.param.Name); });

TEST(RasterTarget, ClearRestoresTheBackground) {
    TRasterTarget t(6, 6, Face);
    t.SetPen(Ink);
    t.VerticalLine(2, 4, 0);
    ASSERT_FALSE(AllBackground(t));
    t.Clear();
    EXPECT_TRUE(AllBackground(t));
}

// ---------------------------------------------------------------- DrawBar

struct TBarRow {
    int Hc, H;
    std::set<int> Painted;
};

class DrawBarRows : public testing::TestWithParam<TBarRow> {};

TEST_P(DrawBarRows, CoversHPixelsUpFromTheBottomRow) {
    const TBarRow& r = GetParam();
    TRasterTarget t(4, r.Hc, Face);
    t.SetPen(Ink);
    DrawBar(t, 1, r.H);
    EXPECT_EQ(PaintedRows(t, 1), r.Painted);
    EXPECT_TRUE(PaintedRows(t, 0).empty());
}

INSTANTIATE_TEST_SUITE_P(Heights, DrawBarRows,
                         testing::Values(TBarRow{10, 3, {8, 7, 6}}, // rows Hc - 2 up to Hc - 1 - h
                                         TBarRow{10, 1, {8}}, TBarRow{10, 0, {}},
                                         TBarRow{10, 8, Rows(1, 8)}, // full height leaves row 0
                                         TBarRow{10, 20, Rows(0, 8)}));

// ---------------------------------------------------------------- values per column

TEST(ChannelMax, IsTheLargestUsedCountAndAtLeastOne) {
    TChanData ch = Channel(TChannel::R);
    EXPECT_EQ(ChannelMax(ch), 1u);
    At(ch, 256) = 900; // outside the used range
    EXPECT_EQ(ChannelMax(ch), 1u);
    At(ch, 0) = 40;
    At(ch, 255) = 41;
    EXPECT_EQ(ChannelMax(ch), 41u);
    TChanData hue = Channel(TChannel::H);
    At(hue, 1436) = 7;
    At(hue, 1437) = 70;
    EXPECT_EQ(ChannelMax(hue), 7u);
}

struct TColumnRow {
    const char* Name;
    int Wc, X;
    Extended Value;
};

class BinValueAtColumns : public testing::TestWithParam<TColumnRow> {};

TEST_P(BinValueAtColumns, Value) {
    const TColumnRow& r = GetParam();
    TChanData ch = Channel(TChannel::R);
    for (int i = 0; i <= 255; ++i)
        At(ch, i) = 1000u + 4u * static_cast<std::uint32_t>(i);
    At(ch, 256) = 5; // never shown
    EXPECT_DOUBLE_EQ(static_cast<double>(BinValueAt(ch, r.X, r.Wc)), static_cast<double>(r.Value));
}

INSTANTIATE_TEST_SUITE_P(
    Columns, BinValueAtColumns,
    testing::Values(TColumnRow{"FirstColumn", 300, 0, 1000},
                    TColumnRow{"LastColumn", 300, 298, 2020},
                    TColumnRow{"OnlyColumnShowsTheLastBin", 2, 0, 2020},
                    TColumnRow{"TwoColumns", 3, 1, 2020},
                    TColumnRow{"OneColumnPerBin", 257, 17, 1068},
                    TColumnRow{"HalfwayBetweenBins", 512, 21, 1042},       // bin 10.5
                    TColumnRow{"QuarterWay", 1022, 41, 1041},              // bin 10.25
                    TColumnRow{"SqueezedFiveBinsPerColumn", 53, 3, 1060}), // bin 15
    [](const testing::TestParamInfo<TColumnRow>& i) { return std::string(i.param.Name); });

// ---------------------------------------------------------------- whole channels

TEST(DrawChannel, AllZerosDrawNothing) {
    TRasterTarget t(300, 50, Face);
    TChanData ch = Channel(TChannel::S);
    ch.Others.MaxVal = ChannelMax(ch);
    DrawChannel(t, ch, Ink);
    EXPECT_TRUE(AllBackground(t));
}

TEST(DrawChannel, TwoPixelControlDrawsColumnZeroFromTheLastBin) {
    TRasterTarget t(2, 12, Face); // surface 1 x 11
    TChanData ch = Channel(TChannel::R);
    At(ch, 0) = 100;
    At(ch, 255) = 50;
    ch.Others.MaxVal = ChannelMax(ch);
    DrawChannel(t, ch, Ink);
    EXPECT_EQ(BarHeight(t, 0), 5); // Round(50 x 10 / 100)
}

TEST(DrawChannel, NarrowerThanTwoPixelsDrawsNothing) {
    TChanData ch = Channel(TChannel::R);
    At(ch, 0) = 100;
    At(ch, 255) = 50;
    ch.Others.MaxVal = ChannelMax(ch);
    for (int wc : {1, 0, -3}) {
        TRecordingTarget t(wc, 20);
        DrawChannel(t, ch, Ink);
        EXPECT_EQ(t.Lines, 0) << "Wc " << wc;
    }
}

TEST(DrawChannel, OneColumnPerBinAt257PixelsWide) {
    // xscale = 1; with Hc - 2 equal to the largest count the bars are the counts themselves.
    TChanData ch = Channel(TChannel::R);
    for (int i = 0; i <= 255; ++i)
        At(ch, i) = static_cast<std::uint32_t>((i * 37) % 150);
    At(ch, 77) = 180;
    ch.Others.MaxVal = ChannelMax(ch);
    TRasterTarget t(257, 182, Face);
    DrawChannel(t, ch, BarColour(TChannel::R));
    for (int x = 0; x <= 255; ++x)
        EXPECT_EQ(BarHeight(t, x), static_cast<int>(At(ch, x))) << "column " << x;
    EXPECT_EQ(PaintedRows(t, 77), Rows(1, 180)); // MaxVal fills rows Hc - 2 up to 1
    EXPECT_EQ(t.Pixel(77, 1), (TRgb{217, 118, 118}));
}

struct TSumRow {
    int Wc, Hc;
};

class RgbTwoAndOne : public testing::TestWithParam<TSumRow> {};

TEST_P(RgbTwoAndOne, FullBarHalfBarAndInterpolationBetween) {
    // RGB holds 2 in bin 0, 1 in bin 255 and 0 elsewhere.
    const TSumRow& r = GetParam();
    TChanData ch = Channel(TChannel::RGB);
    At(ch, 0) = 2;
    At(ch, 255) = 1;
    ch.Others.MaxVal = ChannelMax(ch);
    TRasterTarget t(r.Wc, r.Hc, Face);
    DrawChannel(t, ch, BarColour(TChannel::RGB));

    const int last = r.Wc - 2, full = r.Hc - 2;
    const double xscale = static_cast<double>(r.Wc - 2) / 255;
    EXPECT_EQ(BarHeight(t, 0), full);
    EXPECT_EQ(BarHeight(t, last),
              static_cast<int>(std::nearbyint(full / 2.0))); // Round((Hc - 2) / 2)
    int previous = full;
    for (int x = 1; x < last; ++x) {
        const int h = BarHeight(t, x);
        if (x < xscale) { // falling from column 0 ...
            EXPECT_LE(h, previous) << x;
        } else if (x <= last - xscale) { // ... to nothing ...
            EXPECT_EQ(h, 0) << x;
        } else { // ... and rising towards the last column
            EXPECT_GE(h, previous) << x;
        }
        previous = h;
    }
    EXPECT_EQ(t.Pixel(0, full - 1), (TRgb{128, 128, 128}));
}

INSTANTIATE_TEST_SUITE_P(Widths, RgbTwoAndOne,
                         testing::Values(TSumRow{512, 102}, TSumRow{512, 103}, TSumRow{300, 60},
                                         TSumRow{700, 41}, TSumRow{1200, 90}, TSumRow{3, 20},
                                         TSumRow{257, 257}));

TEST(DrawChannel, RgbTwoAndOneAtTwoColumnsPerBin) {
    // Wc = 512 gives xscale = 2: column 1 is bin 0.5 (value 1), column 509 bin 254.5 (0.5).
    TChanData ch = Channel(TChannel::RGB);
    At(ch, 0) = 2;
    At(ch, 255) = 1;
    ch.Others.MaxVal = ChannelMax(ch);
    for (const auto& [hc, heights] :
         {std::pair{102, std::vector<int>{100, 50, 0, 0, 25, 50}},
          std::pair{103, std::vector<int>{101, 50, 0, 0, 25, 50}}}) { // 50.5 and 25.25 round down
        TRasterTarget t(512, hc, Face);
        DrawChannel(t, ch, Ink);
        const int columns[6] = {0, 1, 2, 508, 509, 510};
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(BarHeight(t, columns[k]), heights[static_cast<std::size_t>(k)])
                << "Hc " << hc << " column " << columns[k];
    }
}

TEST(DrawChannel, LogScaleHeightsOfKnownCounts) {
    // R holds 0, 1, 9, 99 and 1000 in bins 0..4 and nothing above; Hc − 2 = 40 and MaxVal
    // 1000, so a bar is Round(40 × ln(1 + v) / ln 1001). At Wc = 512 (two columns a bin) the
    // odd columns show the value halfway between two bins, interpolated before the logarithm.
    TChanData ch = Channel(TChannel::R);
    const std::uint32_t counts[] = {0, 1, 9, 99, 1000};
    for (int i = 0; i < 5; ++i)
        At(ch, i) = counts[i];
    ch.Others.MaxVal = ChannelMax(ch);
    const struct {
        int Wc;
        std::vector<int> Heights; // columns 0, 1, 2, …
    } rows[] = {
        {257, {0, 4, 13, 27, 40, 0}},
        {512, {0, 2, 4, 10, 13, 23, 27, 37, 40, 36, 0}}, // v = 0.5 gives 2.3, v = 549.5 36.5
    };
    for (const auto& row : rows) {
        TRasterTarget t(row.Wc, 42, Face);
        DrawChannel(t, ch, Ink, TCountScale::Log);
        for (std::size_t x = 0; x < row.Heights.size(); ++x)
            EXPECT_EQ(BarHeight(t, static_cast<int>(x)), row.Heights[x])
                << "Wc " << row.Wc << " column " << x;
    }
    // The linear scale is the default and the log scale's ends agree with it.
    for (const auto& [v, linear, log] :
         {std::tuple{Extended(0), 0, 0}, std::tuple{Extended(1000), 40, 40},
          std::tuple{Extended(500), 20, 36}, std::tuple{Extended(25), 1, 19}}) {
        EXPECT_EQ(BarHeight(v, 1000, 42, TCountScale::Linear), linear) << double(v);
        EXPECT_EQ(BarHeight(v, 1000, 42, TCountScale::Log), log) << double(v);
    }
}

// ---------------------------------------------------------------- Show

// A narrow plateau in the middle of each channel, of a height of its own, wide enough
// that some column shows it at full height however the bins are squeezed.
TAllChanel Spikes() {
    TAllChanel set = OriginParameters();
    for (TChannel c : AllChannels) {
        TChanData& ch = set[c];
        const int mid = ch.Others.IndHigh / 2;
        for (int i = mid - 5; i <= mid + 5; ++i)
            At(ch, i) = 400 + 10 * static_cast<std::uint32_t>(c);
        At(ch, mid + 6) = 100;
    }
    return set;
}

TEST(Show, BeforeAnyCalcLeavesEveryTargetBlank) {
    THist h;
    h.Data[Origin4Show] = Spikes();
    TRasterSurfaces s(200, 40, Face);
    Scribble(s);
    h.Show(Origin4Show, s);
    for (TChannel c : AllChannels) {
        EXPECT_TRUE(AllBackground(s.Raster(c))) << ChannelName(c);
        EXPECT_EQ(h.Data[Origin4Show][c].Others.MaxVal, 0u) << ChannelName(c);
    }
}

TEST(Show, ClearsEveryTargetEvenOfHiddenTabs) {
    THist h;
    std::vector<TRecordingTarget> targets(ChannelCount, TRecordingTarget(100, 30));
    struct TSurfaces final : THistSurfaces {
        std::vector<TRecordingTarget>* T;
        THistTarget& Target(TChannel c) override { return (*T)[static_cast<std::size_t>(c)]; }
        bool GroupVisible(TColorModel) const override { return false; }
    } surfaces;
    surfaces.T = &targets;
    h.Show(Origin4Show, surfaces);
    for (const TRecordingTarget& t : targets) {
        EXPECT_EQ(t.Clears, 1);
        EXPECT_EQ(t.Lines, 0);
    }
}

struct TVisibilityRow {
    const char* Name;
    bool Rgb, Hsv, Lab;
};

class ShowVisibility : public testing::TestWithParam<TVisibilityRow> {};

TEST_P(ShowVisibility, HiddenTabsStayClearedAndVisibleOnesAreDrawn) {
    const TVisibilityRow& r = GetParam();
    THist h;
    const TTestRaster raster = TTestRaster::Noise(4, 3, 11);
    h.Calc(Origin, raster.View());
    h.Data[Origin4Show] = Spikes();

    TRasterSurfaces s(300, 40, Face);
    Scribble(s);
    s.SetGroupVisible(TColorModel::RGB, r.Rgb);
    s.SetGroupVisible(TColorModel::HSV, r.Hsv);
    s.SetGroupVisible(TColorModel::LAB, r.Lab);
    h.Show(Origin4Show, s);

    const std::pair<TChannel, TRgb> colours[ChannelCount] = {
        {TChannel::RGB, {128, 128, 128}}, {TChannel::R, {217, 118, 118}},
        {TChannel::G, {118, 217, 118}},   {TChannel::B, {118, 118, 217}},
        {TChannel::H, {128, 128, 128}},   {TChannel::S, {128, 128, 128}},
        {TChannel::V, {128, 128, 128}},   {TChannel::L, {128, 128, 128}},
        {TChannel::A, {128, 128, 128}},   {TChannel::B_, {128, 128, 128}}};
    for (const auto& [c, colour] : colours) {
        const bool visible = c <= TChannel::B ? r.Rgb : c <= TChannel::V ? r.Hsv : r.Lab;
        const TRasterTarget& t = s.Raster(c);
        // MaxVal is set on all ten channels, drawn or not.
        EXPECT_EQ(h.Data[Origin4Show][c].Others.MaxVal, 400 + 10 * static_cast<std::uint32_t>(c))
            << ChannelName(c);
        if (!visible) {
            EXPECT_TRUE(AllBackground(t)) << ChannelName(c);
            continue;
        }
        // The plateau sits in the middle of the used range and reaches row 1.
        int tallest = 0, column = -1;
        for (int x = 0; x < t.Width(); ++x)
            if (const int bh = BarHeight(t, x); bh > tallest)
                tallest = bh, column = x;
        EXPECT_EQ(tallest, t.Height() - 1) << ChannelName(c);
        EXPECT_NEAR(column, t.Width() / 2, 8) << ChannelName(c);
        EXPECT_EQ(t.Pixel(column, 1), colour) << ChannelName(c);
        EXPECT_EQ(t.Pixel(column, 0), Face) << ChannelName(c);
        EXPECT_TRUE(PaintedRows(t, 0).empty()) << ChannelName(c);
    }
}

INSTANTIATE_TEST_SUITE_P(Tabs, ShowVisibility,
                         testing::Values(TVisibilityRow{"AllVisible", true, true, true},
                                         TVisibilityRow{"HsvHidden", true, false, true},
                                         TVisibilityRow{"OnlyLab", false, false, true},
                                         TVisibilityRow{"NoneVisible", false, false, false}),
                         [](const testing::TestParamInfo<TVisibilityRow>& i) {
                             return std::string(i.param.Name);
                         });

TEST(Show, DrawsTheDisplayCopyOfACountedImage) {
    // The whole road: count, smooth and limit, draw. A flat-coloured image shows its spikes.
    THist h;
    const TTestRaster raster(16, 16, 200, 100, 50);
    h.Calc(Origin, raster.View());
    h.SmoothRepeatCnt = SmoothLevels[SmoothLevelMedium].RepCnt;
    h.Calc4Show(Origin, Origin4Show);
    TRasterSurfaces s(257, 50, Face);
    h.Show(Origin4Show, s);
    for (auto [c, bin] : {std::pair{TChannel::R, 200}, {TChannel::G, 100}, {TChannel::B, 50}})
        EXPECT_EQ(BarHeight(s.Raster(c), bin), 48) << ChannelName(c);
    for (TChannel c : AllChannels)
        EXPECT_FALSE(AllBackground(s.Raster(c))) << ChannelName(c);
}

// The readout's column-to-bins mapping, checked against the drawing at every column: the
// bins of a column are a contiguous run, the runs of the columns cover the axis in order,
// and every bin of a run is drawn nearer to that column than to its neighbours (on a
// surface wider than the axis: is the bin nearest to what the column draws). A ramp
// channel (count = bin) makes BinValueAt return the bin position the drawing shows.
TEST(ColumnBins, EveryColumnStandsForTheBinsDrawnNearestToIt) {
    for (TChannel c : {TChannel::R, TChannel::H, TChannel::S, TChannel::A}) {
        TChanData ramp = Channel(c);
        for (int i = 0; i < HistBinCount; ++i)
            At(ramp, i) = static_cast<std::uint32_t>(i);
        const TOthers& r = ramp.Others;
        for (int wc : {3, 50, 234, 257, 258, 700, 1500, 3100}) {
            SCOPED_TRACE(testing::Message() << ChannelName(c) << " Wc " << wc);
            const auto drawnAt = [&](int x) {
                return static_cast<double>(BinValueAt(ramp, x, wc));
            };
            TBinRange previous;
            for (int x = 0; x <= wc - 2; ++x) {
                const TBinRange b = ColumnBins(r, x, wc);
                ASSERT_FALSE(b.Empty()) << "column " << x;
                const bool follows = x == 0 ? b.First == r.IndLow
                                            : b.First == previous.Last + 1 ||
                                                  (b.First == previous.Last && b.Last == b.First);
                EXPECT_TRUE(follows) << "column " << x;
                const double here = drawnAt(x);
                if (wc - 2 >= r.IndHigh - r.IndLow) {
                    // Wider than the axis: one bin a column, the one nearest to what it draws.
                    EXPECT_EQ(b.First, b.Last) << "column " << x;
                    EXPECT_LE(std::abs(here - b.First), 0.5 + 1e-9) << "column " << x;
                } else {
                    for (int j = b.First; j <= b.Last; ++j) {
                        const double left = x > 0 ? drawnAt(x - 1) : -1e9;
                        const double right = x < wc - 2 ? drawnAt(x + 1) : 1e9;
                        EXPECT_LE(std::abs(here - j),
                                  std::min(std::abs(left - j), std::abs(right - j)) + 1e-9)
                            << "column " << x << " bin " << j;
                    }
                }
                previous = b;
            }
            EXPECT_EQ(previous.Last, r.IndHigh);
        }
    }
}

TEST(ColumnBins, EndsAndDegenerateWidths) {
    const TOthers r = Channel(TChannel::R).Others;
    EXPECT_EQ(ColumnBins(r, 77, 257), (TBinRange{77, 77})); // xscale 1: column x is bin x
    EXPECT_EQ(ColumnBins(r, 0, 2), (TBinRange{0, 255}));    // one column for the whole axis
    EXPECT_TRUE(ColumnBins(r, 0, 1).Empty());
    EXPECT_TRUE(ColumnBins(r, -1, 100).Empty());
    EXPECT_TRUE(ColumnBins(r, 99, 100).Empty()); // the control's last pixel is not drawn
    // 255 bins into 52 columns: about five bins a column, the last column ends at 255.
    const TBinRange last = ColumnBins(r, 51, 53);
    EXPECT_EQ(last.Last, 255);
    EXPECT_GE(last.Last - last.First, 1);
}

// ---------------------------------------------------------------- the marks of one pixel

namespace {

// The bins a picture of one pixel is counted in, channel by channel, as the counting finds
// them: the marks must point at exactly these.
std::vector<int> CountedBins(const TAllChanel& counts, TChannel c) {
    std::vector<int> bins;
    for (int i = 0; i < HistBinCount; ++i)
        for (std::uint32_t n = counts[c].Hist[static_cast<std::size_t>(i)]; n > 0; --n)
            bins.push_back(i);
    return bins;
}

} // namespace

TEST(PixelBins, AreTheBinsTheCountingUsesInAllTenChannels) {
    // Primaries, greys, a hue just below 360° (counted past the shown range), dark and
    // light colours, and the readout's worked example.
    const TRgb pixels[] = {{255, 0, 0},     {0, 255, 0},     {0, 0, 255},   {0, 0, 0},
                           {255, 255, 255}, {128, 128, 128}, {255, 0, 1},   {201, 143, 88},
                           {3, 7, 2},       {250, 251, 252}, {17, 200, 180}};
    for (const TRgb& px : pixels) {
        TTestRaster one(1, 1, px.r, px.g, px.b);
        auto hist = std::make_unique<THist>();
        hist->Calc(Origin, one.View());
        for (TChannel c : AllChannels) {
            const TPixelBins marks = PixelBins(c, px.r, px.g, px.b);
            std::vector<int> bins(marks.Bins.begin(), marks.Bins.begin() + marks.Count);
            std::sort(bins.begin(), bins.end());
            EXPECT_EQ(bins, CountedBins(hist->Data[Origin], c))
                << ChannelName(c) << " of " << int(px.r) << " " << int(px.g) << " " << int(px.b);
        }
    }
    // Worked values: pure red is at hue 0, full saturation and value, L* 53.24, a* 80.09,
    // b* 67.20 (bins 6 L*, 2 a* + 256, 2 b* + 256).
    const int red[] = {0, 600, 600, 319, 416, 390};
    const TChannel models[] = {TChannel::H, TChannel::S, TChannel::V,
                               TChannel::L, TChannel::A, TChannel::B_};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(PixelBins(models[i], 255, 0, 0).Bins[0], red[i]) << ChannelName(models[i]);
    EXPECT_EQ(PixelBins(TChannel::RGB, 201, 143, 88).Count, 3);
}

TEST(BinColumn, IsTheColumnThatStandsForTheBinAndEndsOutsideTheRange) {
    const TAllChanel axes = OriginParameters();
    for (TChannel c : AllChannels) {
        const TOthers& range = axes[c].Others;
        for (int wc : {2, 3, 20, 150, 243, 257, 700, 1438, 3000}) {
            for (int bin = range.IndLow; bin <= range.IndHigh; ++bin) {
                const int x = BinColumn(range, bin, wc);
                const TBinRange held = ColumnBins(range, x, wc);
                ASSERT_TRUE(bin >= held.First && bin <= held.Last)
                    << ChannelName(c) << " Wc " << wc << " bin " << bin << " column " << x;
            }
            // A hue in the bins past 359° marks the right end; nothing lies left of the first.
            EXPECT_EQ(BinColumn(range, range.IndHigh + 3, wc), wc - 2) << ChannelName(c);
            EXPECT_EQ(BinColumn(range, range.IndLow - 1, wc), 0) << ChannelName(c);
        }
        EXPECT_EQ(BinColumn(range, range.IndLow, 1), -1);
    }
}
