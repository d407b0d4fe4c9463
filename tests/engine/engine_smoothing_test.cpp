// Smoothing and the smart vertical scale: the pass counts, the box and hue filters,
// the peak threshold search, the cut level, and how Calc4Show puts them together.
#include "smoothing.h"

#include "histogram.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

namespace {

// A channel with the parameters the engine gives c, every used bin at `fill`.
TChanData Channel(TChannel c, std::uint32_t fill = 0) {
    TChanData ch;
    ch.Others = OriginParameters()[c].Others;
    for (int i = ch.Others.IndLow; i <= ch.Others.IndHigh; ++i)
        ch.Hist[static_cast<std::size_t>(i)] = fill;
    return ch;
}

using TBins = std::vector<std::pair<int, std::uint32_t>>; // bin, count

TChanData Channel(TChannel c, std::uint32_t fill, const TBins& bins) {
    TChanData ch = Channel(c, fill);
    for (auto [i, v] : bins)
        ch.Hist[static_cast<std::size_t>(i)] = v;
    return ch;
}

std::uint32_t& At(TChanData& ch, int i) {
    return ch.Hist[static_cast<std::size_t>(i)];
}
std::uint32_t At(const TChanData& ch, int i) {
    return ch.Hist[static_cast<std::size_t>(i)];
}

// A THist that has counted a small raster, so Calc4Show and Show do their work.
THist CalculatedHist() {
    THist h;
    const TTestRaster raster = TTestRaster::Noise(6, 5, 7);
    h.Calc(Origin, raster.View());
    return h;
}

} // namespace

// ---------------------------------------------------------------- pass counts

struct TPassRow {
    TChannel Channel;
    int Passes[4]; // Off, Low, Medium, High
};

class SmoothPassTable : public testing::TestWithParam<TPassRow> {};

TEST_P(SmoothPassTable, MatchesEachLevel) {
    const TPassRow& row = GetParam();
    const TOthers o = OriginParameters()[row.Channel].Others;
    for (std::size_t level = 0; level < SmoothLevels.size(); ++level)
        EXPECT_EQ(SmoothPasses(o, SmoothLevels[level].RepCnt), row.Passes[level])
            << ChannelName(row.Channel) << " at " << SmoothLevels[level].Lbl;
}

INSTANTIATE_TEST_SUITE_P(
    Channels, SmoothPassTable,
    testing::Values(TPassRow{TChannel::R, {0, 1, 3, 9}}, TPassRow{TChannel::G, {0, 1, 3, 9}},
                    TPassRow{TChannel::B, {0, 1, 3, 9}}, TPassRow{TChannel::H, {0, 8, 24, 72}},
                    TPassRow{TChannel::S, {0, 12, 36, 108}},
                    TPassRow{TChannel::L, {0, 12, 36, 108}},
                    TPassRow{TChannel::V, {8, 18, 54, 162}}, TPassRow{TChannel::A, {0, 2, 6, 18}},
                    TPassRow{TChannel::B_, {0, 2, 6, 18}}));

TEST(SmoothLevelTable, HoldsTheFourLevels) {
    const int repCnt[4] = {0, 1, 3, 9};
    const char* labels[4] = {"Off", "Low", "Medium", "High"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(SmoothLevels[i].RepCnt, repCnt[i]);
        EXPECT_STREQ(SmoothLevels[i].Lbl, labels[i]);
    }
    EXPECT_EQ(SmoothLevels[SmoothLevelMedium].RepCnt, 3);
    EXPECT_EQ(SmoothLevels[SmoothLevelOff].RepCnt, 0);
}

// ---------------------------------------------------------------- WindowMean

struct TWindowRow {
    const char* Name;
    TBins Bins;
    int Centre;
    std::int32_t Mean;
};

class WindowMeanCases : public testing::TestWithParam<TWindowRow> {};

TEST_P(WindowMeanCases, AveragesElevenBins) {
    const TWindowRow& row = GetParam();
    const TChanData ch = Channel(TChannel::R, 0, row.Bins);
    EXPECT_EQ(WindowMean(ch.Hist, row.Centre), row.Mean);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowMeanCases,
    testing::Values(
        TWindowRow{"Exact", {{0, 11}, {10, 22}}, 5, 3},
        TWindowRow{
            "BinsJustOutsideIgnored", {{0, 1000}, {12, 1000}, {1, 16}}, 6, 1}, // 16 / 11 = 1.45
        TWindowRow{"RoundsUp", {{1, 17}}, 5, 2},                               // 17 / 11 = 1.55
        TWindowRow{"WindowEnds", {{100, 7}, {110, 4}}, 105, 1},
        // The sum is a signed 32-bit value: 2^31 reads as -2^31, and -2^31 / 11 = -195225786.2.
        TWindowRow{"SignedSum", {{50, 0x80000000u}}, 50, -195225786}),
    [](const testing::TestParamInfo<TWindowRow>& i) { return std::string(i.param.Name); });

// ---------------------------------------------------------------- SmoothBox

TEST(SmoothBox, SpreadsASingleCountOverThreeBins) {
    TChanData ch = Channel(TChannel::R, 0, {{128, 300}});
    SmoothBox(ch);
    for (int i = 0; i <= 255; ++i)
        EXPECT_EQ(At(ch, i), (i >= 127 && i <= 129) ? 100u : 0u) << "bin " << i;
}

TEST(SmoothBox, RoundsTheMeanOfThree) {
    // (0 + 100 + 0) / 3 = 33.3 and (100 + 1 + 0) / 3 = 33.7.
    TChanData ch = Channel(TChannel::R, 0, {{60, 100}, {61, 1}});
    SmoothBox(ch);
    EXPECT_EQ(At(ch, 59), 33u);
    EXPECT_EQ(At(ch, 60), 34u);
    EXPECT_EQ(At(ch, 61), 34u);
    EXPECT_EQ(At(ch, 62), 0u);
}

TEST(SmoothBox, PadsFollowARampAtTheLowEndAndFoldBackAtTheHighEnd) {
    // Bin i holds 1000 + 3i. The lower pad extrapolates to 997 (the ramp's value at -1),
    // so bin 0 keeps 1000. The upper pad, 2 x mean(250) - mean(246), lands on the ramp's
    // value at 254 (1762), so bin 255 drops from 1765 to (1762 + 1765 + 1762) / 3 = 1763.
    TChanData ch = Channel(TChannel::R);
    for (int i = 0; i <= 255; ++i)
        At(ch, i) = 1000u + 3u * static_cast<std::uint32_t>(i);
    SmoothBox(ch);
    for (int i = 0; i <= 254; ++i)
        EXPECT_EQ(At(ch, i), 1000u + 3u * static_cast<std::uint32_t>(i)) << i;
    EXPECT_EQ(At(ch, 255), 1763u);
}

TEST(SmoothBox, NegativeMeansBecomeZero) {
    // Bins 6..16 hold 1100 and bin 0 holds 30: mean(5) = Round(5530 / 11) = 503 and
    // mean(11) = 1100, so the lower pad is -94 and bin 0 gets (-94 + 30 + 0) / 3 < 0.
    TChanData ch = Channel(TChannel::R);
    for (int i = 6; i <= 16; ++i)
        At(ch, i) = 1100;
    At(ch, 0) = 30;
    SmoothBox(ch);
    EXPECT_EQ(At(ch, 0), 0u);
    EXPECT_EQ(At(ch, 1), 10u); // (30 + 0 + 0) / 3
}

TEST(SmoothBox, CountsOfTwoToTheThirtyOneWrapNegative) {
    // The three-bin sum is a signed 32-bit value, so a bin of 2^31 reads as negative.
    TChanData ch = Channel(TChannel::R, 0, {{128, 0x80000000u}, {200, 30}});
    SmoothBox(ch);
    EXPECT_EQ(At(ch, 127), 0u);
    EXPECT_EQ(At(ch, 128), 0u);
    EXPECT_EQ(At(ch, 129), 0u);
    EXPECT_EQ(At(ch, 200), 10u);
}

TEST(SmoothBox, ShortRangeReadsNoBinsOutsideTheArray) {
    // A range of 0..8 with 30 everywhere: the pad windows reach below bin 0 and count
    // nothing there. Lower pad 2 x Round(270 / 11) - Round(90 / 11) = 42; upper pad
    // 2 x Round(270 / 11) - Round(150 / 11) = 36.
    TChanData ch;
    ch.Others.IndLow = 0;
    ch.Others.IndHigh = 8;
    for (int i = 0; i <= 8; ++i)
        At(ch, i) = 30;
    SmoothBox(ch);
    EXPECT_EQ(At(ch, 0), 34u);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(At(ch, i), 30u) << i;
    EXPECT_EQ(At(ch, 8), 32u);
    EXPECT_EQ(At(ch, 9), 0u);
}

TEST(SmoothBox, LeavesBinsOutsideTheUsedRange) {
    TChanData ch = Channel(TChannel::R, 40, {{256, 999}, {3000, 5}});
    SmoothBox(ch);
    EXPECT_EQ(At(ch, 256), 999u);
    EXPECT_EQ(At(ch, 3000), 5u);
    EXPECT_EQ(At(ch, 100), 40u);
}

// ---------------------------------------------------------------- SmoothHue

struct THueRow {
    const char* Name;
    std::uint32_t Flat;
    TBins Bins;
    TBins Expected; // bins checked after one pass
};

class SmoothHueCases : public testing::TestWithParam<THueRow> {};

TEST_P(SmoothHueCases, OnePass) {
    const THueRow& row = GetParam();
    TChanData ch = Channel(TChannel::H, row.Flat, row.Bins);
    SmoothHue(ch);
    for (auto [i, v] : row.Expected)
        EXPECT_EQ(At(ch, i), v) << "bin " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Hue, SmoothHueCases,
    testing::Values(
        // (1.3 x 100 + 0.85 x 100) / 2 = 107.5 at the ends; (85 + 130 + 85) / 3 inside.
        THueRow{"Flat100", 100, {}, {{0, 108}, {1, 100}, {700, 100}, {1435, 100}, {1436, 108}}},
        // The weights are doubles (1.3 is slightly above, 0.85 slightly below), and their
        // products are summed in extended precision: 64.5 comes out a hair above the half.
        THueRow{"Flat60EndsRoundUp", 60, {}, {{0, 65}, {1, 60}, {1436, 65}}},
        THueRow{
            "Spike", 0, {{700, 1000}}, {{699, 283}, {700, 433}, {701, 283}, {698, 0}, {702, 0}}},
        // The ends are not joined: a count at one end does not reach the other.
        THueRow{"LowEnd", 0, {{0, 1000}}, {{0, 650}, {1, 283}, {2, 0}, {1436, 0}}},
        THueRow{"HighEnd", 0, {{1436, 1000}}, {{1436, 650}, {1435, 283}, {0, 0}}},
        // Bins 1437..1439 lie outside the used range: neither read nor changed.
        THueRow{"BeyondTheRange",
                100,
                {{1437, 5000}, {1439, 7}},
                {{1436, 108}, {1437, 5000}, {1439, 7}}}),
    [](const testing::TestParamInfo<THueRow>& i) { return std::string(i.param.Name); });

// ---------------------------------------------------------------- peak threshold

// The channels of the worked examples.
TChanData TallSpikeAndTenPeaks() {
    return Channel(TChannel::R, 10,
                   {{5, 10000},
                    {20, 100},
                    {30, 95},
                    {40, 90},
                    {50, 86},
                    {60, 82},
                    {70, 79},
                    {80, 76},
                    {90, 74},
                    {100, 72},
                    {110, 70}});
}
TChanData TwoSpikesAndEightPeaks() {
    return Channel(TChannel::R, 10,
                   {{200, 5000},
                    {201, 3000},
                    {30, 60},
                    {40, 58},
                    {50, 56},
                    {60, 54},
                    {70, 52},
                    {80, 50},
                    {90, 48},
                    {100, 46}});
}
TChanData TenEqualHighest() {
    TBins bins;
    for (int i = 0; i < 10; ++i)
        bins.push_back({40 + 17 * i, 500});
    return Channel(TChannel::R, 10, bins);
}
TChanData LargestCountOne() {
    return Channel(TChannel::R, 0, {{3, 1}, {100, 1}, {101, 1}, {180, 1}});
}

struct TThresholdRow {
    const char* Name;
    TChanData (*Make)();
    TPeakThreshold Expected;
};

class PeakThresholdCases : public testing::TestWithParam<TThresholdRow> {};

TEST_P(PeakThresholdCases, Search) {
    const TThresholdRow& row = GetParam();
    const TPeakThreshold r = FindPeakThreshold(row.Make());
    EXPECT_EQ(r.T, row.Expected.T);
    EXPECT_EQ(r.Cnt, row.Expected.Cnt);
    EXPECT_EQ(r.First, row.Expected.First);
    EXPECT_EQ(r.Last, row.Expected.Last);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, PeakThresholdCases,
    testing::Values(
        // Halves of 19.5, 9.5 and 4.5 go to the even neighbour; rounding them up would end at 72.
        TThresholdRow{"TallSpike", TallSpikeAndTenPeaks, {71, 10, 5, 100}},
        TThresholdRow{"TwoSpikes", TwoSpikesAndEightPeaks, {39, 10, 30, 201}},
        TThresholdRow{"TenEqual", TenEqualHighest, {250, 10, 40, 193}},
        // High 1, Low 0: T = Round(0.5) = 0, which every bin reaches.
        TThresholdRow{"LargestCountOne", LargestCountOne, {0, 256, 0, 255}},
        TThresholdRow{"AllZero", [] { return Channel(TChannel::R); }, {0, 256, 0, 255}}),
    [](const testing::TestParamInfo<TThresholdRow>& i) { return std::string(i.param.Name); });

// ---------------------------------------------------------------- LimitPeaks

struct TLimitRow {
    const char* Name;
    TChanData (*Make)();
    TBins Cut; // bins that change, with their new counts; every other bin stays
};

class LimitPeaksCases : public testing::TestWithParam<TLimitRow> {};

TEST_P(LimitPeaksCases, CutsOnlyTheIsolatedPeaks) {
    const TLimitRow& row = GetParam();
    const TChanData before = row.Make();
    TChanData expected = before;
    for (auto [i, v] : row.Cut)
        At(expected, i) = v;
    TChanData ch = before;
    LimitPeaks(ch);
    EXPECT_EQ(ch, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, LimitPeaksCases,
    testing::Values(
        // Pmin 72, sigma 3, cut level P2 = 100, clip Round(105).
        TLimitRow{"TallSpike", TallSpikeAndTenPeaks, {{5, 105}}},
        // Pmin 46, P4 58, sigma 2: c = P3 + 4 is below P2, so c = P3 = 60 and the clip is 63.
        TLimitRow{"TwoSpikes", TwoSpikesAndEightPeaks, {{200, 63}, {201, 63}}},
        TLimitRow{"TenEqualHighest", TenEqualHighest, {}},
        // Peaks 106, 100, 96, 92, ..., 68: sigma 4, and P2 + 8 reaches the top peak, so c = P1
        // and nothing is above Round(1.05 P1).
        TLimitRow{"TopWithinReach",
                  [] {
                      return Channel(TChannel::R, 10,
                                     {{20, 106},
                                      {30, 100},
                                      {40, 96},
                                      {50, 92},
                                      {60, 88},
                                      {70, 84},
                                      {80, 80},
                                      {90, 76},
                                      {100, 72},
                                      {110, 68}});
                  },
                  {}},
        // P4 + 2 sigma lies below P3: the top three are cut to Round(1.05 (P4 + d)).
        // Peaks 400, 300, 200, 100, 94, 88, 82, 76, 70, 64: sigma 6, d 12, c 112, clip 118.
        TLimitRow{"TopThreeCut",
                  [] {
                      return Channel(TChannel::R, 10,
                                     {{20, 400},
                                      {30, 300},
                                      {40, 200},
                                      {50, 100},
                                      {60, 94},
                                      {70, 88},
                                      {80, 82},
                                      {90, 76},
                                      {100, 70},
                                      {110, 64}});
                  },
                  {{20, 118}, {30, 118}, {40, 118}}},
        // 110 x 1.05 = 115.5 exactly, but 1.05 in extended precision is a little below 1.05,
        // so the clip is 115; a double product would make it exactly 115.5 and round to 116.
        TLimitRow{"ExtendedClip110",
                  [] {
                      return Channel(TChannel::R, 10,
                                     {{5, 10000},
                                      {20, 110},
                                      {30, 105},
                                      {40, 100},
                                      {50, 96},
                                      {60, 92},
                                      {70, 89},
                                      {80, 86},
                                      {90, 84},
                                      {100, 82},
                                      {110, 80}});
                  },
                  {{5, 115}}},
        // c = 30: 31.5 gives 31 in extended precision (32 as a double).
        TLimitRow{"ExtendedClip30",
                  [] {
                      return Channel(TChannel::R, 1,
                                     {{5, 1000},
                                      {20, 30},
                                      {30, 27},
                                      {40, 24},
                                      {50, 22},
                                      {60, 20},
                                      {70, 19},
                                      {80, 18},
                                      {90, 17},
                                      {100, 16},
                                      {110, 15}});
                  },
                  {{5, 31}}},
        // c = 190: 199.5 gives 199 in extended precision (200 as a double).
        TLimitRow{"ExtendedClip190",
                  [] {
                      return Channel(TChannel::R, 10,
                                     {{5, 10000},
                                      {20, 190},
                                      {30, 185},
                                      {40, 180},
                                      {50, 176},
                                      {60, 172},
                                      {70, 169},
                                      {80, 166},
                                      {90, 164},
                                      {100, 162},
                                      {110, 160}});
                  },
                  {{5, 199}}},
        // Largest count 1: the search ends at T = 0 and the cut level at 0 (see PeakClipLevel
        // below); counts are never cut below 1, so the channel is kept.
        TLimitRow{"LargestCountOneIsKept", LargestCountOne, {}},
        TLimitRow{"LargestCountOneInTheFirstBinsIsKept",
                  [] {
                      return Channel(TChannel::R, 0, {{0, 1}, {9, 1}, {40, 1}});
                  },
                  {}},
        // A smooth bump of seven bins (a flat-coloured image after three passes) holds only four
        // distinct values, so P4 = Pmin, sigma = 0, and everything above Round(1.05 x 2) is cut:
        // the bump becomes a block.
        TLimitRow{
            "SevenBinBumpBecomesABlock",
            [] {
                return Channel(
                    TChannel::R, 0,
                    {{197, 2}, {198, 7}, {199, 14}, {200, 16}, {201, 14}, {202, 7}, {203, 2}});
            },
            {{198, 2}, {199, 2}, {200, 2}, {201, 2}, {202, 2}}}),
    [](const testing::TestParamInfo<TLimitRow>& i) { return std::string(i.param.Name); });

TEST(PeakClipLevel, ThresholdZeroWouldClipEverythingToZero) {
    // What the cut level alone makes of a 0/1 channel: the peaks are bins 0..9, P1 = 1 and
    // every other level 0, so the clip would be 0. LimitPeaks never cuts below 1 (above).
    const TChanData ch = LargestCountOne();
    const TPeakThreshold pt = FindPeakThreshold(ch);
    ASSERT_EQ(pt.T, 0u);
    EXPECT_EQ(PeakClipLevel(ch, pt), std::optional<std::uint64_t>(0));
}

TEST(PeakClipLevel, NoCutForFewPeaksOrFewDistinctValues) {
    TChanData ch = Channel(TChannel::R, 10, {{20, 500}, {30, 400}, {40, 300}, {50, 200}});
    EXPECT_FALSE(PeakClipLevel(ch, FindPeakThreshold(ch))); // four bins above the rest: Cnt 4
    const TChanData equal = TenEqualHighest();
    EXPECT_FALSE(PeakClipLevel(equal, FindPeakThreshold(equal)));
}

TEST(PeakClipLevel, SpikeAtTheTopOfTheCountRange) {
    TChanData ch = TallSpikeAndTenPeaks();
    At(ch, 5) = 0xFFFFFFFFu;
    LimitPeaks(ch);
    EXPECT_EQ(At(ch, 5), 105u);
}

// ---------------------------------------------------------------- Calc4Show

TEST(Calc4Show, BeforeAnyCalcLeavesTheDisplayCopy) {
    THist h;
    h.Data[Origin].R.Hist[10] = 123;
    h.Data[Origin4Show].G.Hist[20] = 77;
    const TAllChanel before = h.Data[Origin4Show];
    h.SmoothRepeatCnt = 3;
    h.Calc4Show(Origin, Origin4Show);
    EXPECT_EQ(h.Data[Origin4Show], before);
}

// Counts that peak limiting leaves alone: a wide plateau of 5000 in the middle of the used
// range, so after any number of passes the top holds many equal bins.
TAllChanel Plateaus() {
    TAllChanel set = OriginParameters();
    for (TChannel c : AllChannels) {
        TChanData& ch = set[c];
        const int lo = ch.Others.IndLow, hi = ch.Others.IndHigh;
        const int margin = (hi - lo) / 6;
        for (int i = lo + margin; i <= hi - margin; ++i)
            At(ch, i) = 5000;
        At(ch, lo + 2) = 700; // something for the low pad and the first bins to smooth
    }
    return set;
}

class Calc4ShowLevels : public testing::TestWithParam<int> {};

TEST_P(Calc4ShowLevels, SmoothsEachChannelAsOftenAsTheTableSays) {
    const int level = GetParam();
    // Passes per channel at Off, Low, Medium, High.
    const std::map<TChannel, std::array<int, 4>> passes = {
        {TChannel::R, {0, 1, 3, 9}},     {TChannel::G, {0, 1, 3, 9}},
        {TChannel::B, {0, 1, 3, 9}},     {TChannel::H, {0, 8, 24, 72}},
        {TChannel::S, {0, 12, 36, 108}}, {TChannel::V, {8, 18, 54, 162}},
        {TChannel::L, {0, 12, 36, 108}}, {TChannel::A, {0, 2, 6, 18}},
        {TChannel::B_, {0, 2, 6, 18}}};

    THist h = CalculatedHist();
    h.Data[Origin] = Plateaus();
    const TAllChanel origin = h.Data[Origin];
    h.SmoothRepeatCnt = SmoothLevels[static_cast<std::size_t>(level)].RepCnt;
    h.Calc4Show(Origin, Origin4Show);
    const TAllChanel& shown = h.Data[Origin4Show];

    for (auto& [c, perLevel] : passes) {
        TChanData expected = origin[c];
        for (int n = 0; n < perLevel[static_cast<std::size_t>(level)]; ++n)
            c == TChannel::H ? SmoothHue(expected) : SmoothBox(expected);
        TChanData limited = expected;
        LimitPeaks(limited);
        ASSERT_EQ(limited, expected) << "the plateaus must be left alone by peak limiting";
        EXPECT_EQ(shown[c], expected) << ChannelName(c);
    }
    for (int i = 0; i <= 255; ++i)
        EXPECT_EQ(At(shown.RGB, i), At(shown.R, i) + At(shown.G, i) + At(shown.B, i)) << i;
    EXPECT_EQ(shown.RGB.Others, origin.RGB.Others);
    EXPECT_EQ(h.Data[Origin], origin);
}

INSTANTIATE_TEST_SUITE_P(Levels, Calc4ShowLevels, testing::Values(0, 1, 2, 3));

TEST(Calc4Show, SmoothingOffStillSmoothsValueEightTimes) {
    THist h = CalculatedHist();
    h.Data[Origin] = Plateaus();
    h.SmoothRepeatCnt = 0;
    h.Calc4Show(Origin, Origin4Show);
    for (TChannel c : {TChannel::R, TChannel::G, TChannel::B, TChannel::H, TChannel::S, TChannel::L,
                       TChannel::A, TChannel::B_})
        EXPECT_EQ(h.Data[Origin4Show][c], h.Data[Origin][c]) << ChannelName(c);
    EXPECT_NE(h.Data[Origin4Show].V, h.Data[Origin].V);
}

TEST(Calc4Show, LimitsPeaksOfEveryChannelButTheSum) {
    THist h = CalculatedHist();
    TAllChanel set = OriginParameters();
    for (TChannel c : AllChannels) {
        // The tall-spike example, shifted into each channel's range; bin 5 is cut to 105.
        const TChanData example = TallSpikeAndTenPeaks();
        for (int i = 0; i <= 255; ++i)
            At(set[c], i) = At(example, i);
        for (int i = 256; i <= set[c].Others.IndHigh; ++i)
            At(set[c], i) = 10;
    }
    h.Data[Origin] = set;
    h.SmoothRepeatCnt = 0;
    h.Calc4Show(Origin, Origin4Show);
    for (TChannel c : {TChannel::R, TChannel::G, TChannel::B, TChannel::H, TChannel::S, TChannel::L,
                       TChannel::A, TChannel::B_})
        EXPECT_EQ(At(h.Data[Origin4Show][c], 5), 105u) << ChannelName(c);
    EXPECT_EQ(At(h.Data[Origin4Show].RGB, 5), 315u); // rebuilt from the limited primaries
}

TEST(Calc4Show, TinyImageKeepsItsHistogram) {
    // Twelve pixels of twelve different reds: every R count is 0 or 1. Peak limiting must not
    // cut the ones to nothing.
    THist h;
    TTestRaster raster(12, 1);
    for (int x = 0; x < 12; ++x)
        raster.Set(x, 0, 20 + 20 * x, 7, 9);
    h.Calc(Origin, raster.View());
    h.SmoothRepeatCnt = SmoothLevels[SmoothLevelOff].RepCnt;
    h.Calc4Show(Origin, Origin4Show);
    EXPECT_EQ(h.Data[Origin4Show].R, h.Data[Origin].R);
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(At(h.Data[Origin4Show].R, 20 + 20 * x), 1u);
}

TEST(Calc4Show, TogglingSmoothingRestoresTheEarlierDisplayCopy) {
    THist h;
    const TTestRaster raster = TTestRaster::Noise(120, 90, 3);
    h.Calc(Origin, raster.View());
    const TAllChanel origin = h.Data[Origin];

    const std::uint8_t on = SmoothLevels[SmoothLevelMedium].RepCnt;
    const std::uint8_t off = SmoothLevels[SmoothLevelOff].RepCnt;
    h.SmoothRepeatCnt = on;
    h.Calc4Show(Origin, Origin4Show);
    const TAllChanel smoothed = h.Data[Origin4Show];
    h.SmoothRepeatCnt = off;
    h.Calc4Show(Origin, Origin4Show);
    const TAllChanel plain = h.Data[Origin4Show];
    ASSERT_NE(smoothed, plain);

    for (int round = 0; round < 2; ++round) {
        h.SmoothRepeatCnt = on;
        h.Calc4Show(Origin, Origin4Show);
        EXPECT_EQ(h.Data[Origin4Show], smoothed);
        h.SmoothRepeatCnt = off;
        h.Calc4Show(Origin, Origin4Show);
        EXPECT_EQ(h.Data[Origin4Show], plain);
    }
    EXPECT_EQ(h.Data[Origin], origin);
}
