// The current histogram: counting makes the display copy at the chosen smoothing level, a
// new level remakes it from the raw counts alone, and raw counts from elsewhere (the cache,
// a worker's engine) give the display copy a count of the same raster would give.
#include "current_hist.h"

#include "accumulate.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

namespace {

const TTestRaster Picture = TTestRaster::Noise(40, 30, 11);

// The display copy an engine of its own makes of Picture at a level.
TAllChanel DisplayAt(int level) {
    auto h = std::make_unique<THist>();
    h->SmoothRepeatCnt = SmoothLevels[static_cast<std::size_t>(level)].RepCnt;
    h->Calc(Origin, Picture.View());
    h->Calc4Show(Origin, Origin4Show);
    return h->Data[Origin4Show];
}

} // namespace

TEST(CurrentHist, TheSwitchSelectsMediumWhenOnAndOffWhenOff) {
    EXPECT_EQ(SmoothLevels[SmoothLevelOfSwitch(true)].RepCnt, 3);
    EXPECT_EQ(SmoothLevels[SmoothLevelOfSwitch(false)].RepCnt, 0);
}

TEST(CurrentHist, CountingMakesTheDisplayCopyAtTheChosenLevel) {
    for (int level = 0; level < int(SmoothLevels.size()); ++level) {
        TCurrentHist hist(level);
        EXPECT_EQ(hist.SmoothLevel(), level);
        EXPECT_FALSE(hist.IsCalculated());
        hist.Count(Picture.View());
        EXPECT_TRUE(hist.IsCalculated());
        EXPECT_EQ(hist.Display(), DisplayAt(level)) << SmoothLevels[level].Lbl;
        // Primaries counted while decoding give the same.
        TCurrentHist counted(level);
        counted.Count(Picture.View(), CountPrimaries(Picture.View()));
        EXPECT_EQ(counted.Raw(), hist.Raw());
        EXPECT_EQ(counted.Display(), hist.Display());
    }
}

// Each row switches from one level to another after counting.
struct TLevelRow {
    int From, To;
    bool Changes;
};

class CurrentHistLevels : public testing::TestWithParam<TLevelRow> {};

TEST_P(CurrentHistLevels, ANewLevelRemakesTheDisplayFromTheRawCountsOnly) {
    const TLevelRow row = GetParam();
    TCurrentHist hist(row.From);
    hist.Count(Picture.View());
    // A count only the raw record holds shows that the picture is not counted again.
    hist.Engine().Data[Origin].R.Hist[7] += 500;
    const TAllChanel raw = hist.Raw();
    const TAllChanel before = hist.Display();

    EXPECT_EQ(hist.SetSmoothLevel(row.To), row.Changes);
    EXPECT_EQ(hist.SmoothLevel(), row.To);
    EXPECT_EQ(hist.Raw(), raw);
    if (!row.Changes) {
        EXPECT_EQ(hist.Display(), before);
        return;
    }
    auto expected = std::make_unique<THist>();
    expected->Adopt(Origin, raw);
    expected->SmoothRepeatCnt = SmoothLevels[static_cast<std::size_t>(row.To)].RepCnt;
    expected->Calc4Show(Origin, Origin4Show);
    EXPECT_EQ(hist.Display(), expected->Data[Origin4Show]);
}

INSTANTIATE_TEST_SUITE_P(Rows, CurrentHistLevels,
                         testing::Values(TLevelRow{SmoothLevelMedium, SmoothLevelOff, true},
                                         TLevelRow{SmoothLevelOff, SmoothLevelMedium, true},
                                         TLevelRow{SmoothLevelOff, 3, true},
                                         TLevelRow{SmoothLevelMedium, SmoothLevelMedium, false},
                                         TLevelRow{SmoothLevelOff, SmoothLevelOff, false}));

TEST(CurrentHist, ALevelBeforeAnyCountChangesOnlyTheLevel) {
    TCurrentHist hist;
    EXPECT_TRUE(hist.SetSmoothLevel(SmoothLevelMedium));
    EXPECT_EQ(hist.SmoothLevel(), SmoothLevelMedium);
    EXPECT_FALSE(hist.IsCalculated());
    EXPECT_EQ(hist.Display(), TAllChanel{});
}

TEST(CurrentHist, CountsFromElsewhereGiveTheDisplayACountGives) {
    TCurrentHist counted(SmoothLevelMedium);
    counted.Count(Picture.View());

    TCurrentHist adopted(SmoothLevelMedium);
    adopted.Adopt(counted.Raw());
    EXPECT_TRUE(adopted.IsCalculated());
    EXPECT_EQ(adopted.Display(), counted.Display());

    TCurrentHist restored(SmoothLevelMedium);
    restored.Count(TTestRaster(3, 3, 9, 9, 9).View()); // another picture was shown before
    EXPECT_TRUE(restored.Restore([&](TAllChanel& raw) {
        raw = counted.Raw();
        return true;
    }));
    EXPECT_EQ(restored.Display(), counted.Display());

    // A look-up that finds nothing leaves the display copy as it was.
    const TAllChanel shown = restored.Display();
    EXPECT_FALSE(restored.Restore([](TAllChanel&) { return false; }));
    EXPECT_EQ(restored.Display(), shown);
}

TEST(CurrentHist, MovesWithItsCounts) {
    TCurrentHist a(SmoothLevelMedium);
    a.Count(Picture.View());
    const TAllChanel display = a.Display();
    TCurrentHist b = std::move(a);
    EXPECT_EQ(b.Display(), display);
    EXPECT_EQ(b.SmoothLevel(), SmoothLevelMedium);
}
