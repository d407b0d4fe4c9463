// Counting: full primaries, the sampled models with their grid levels and
// convergence tests, and the engine's Calc as a whole.
#include "accumulate.h"
#include "colour.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

namespace {

using TPixelFilter = std::function<bool(int x, int y)>;

// The model counts of the pixels the filter selects, converted one by one.
TModelCounts Reference(const TTestRaster& t, TSampledModel m, const TPixelFilter& take) {
    TModelCounts c;
    for (int y = 0; y < t.Height; ++y)
        for (int x = 0; x < t.Width; ++x) {
            if (!take(x, y))
                continue;
            const std::uint8_t* p = t.At(x, y);
            const TModelBins b =
                m == TSampledModel::HSV ? HSVBins(p[2], p[1], p[0]) : LabBins(p[2], p[1], p[0]);
            ++c.First[b.a];
            ++c.Second[b.b];
            ++c.Third[b.c];
        }
    return c;
}

TPixelFilter Grid(int spacing) {
    return [spacing](int x, int y) { return x % spacing == 0 && y % spacing == 0; };
}

bool Same(const TModelCounts& a, const TModelCounts& b) {
    return a.First == b.First && a.Second == b.Second && a.Third == b.Third;
}

} // namespace

TEST(Primaries, SumChannelAndSinglePixel) {
    TTestRaster red(1, 1, 255, 0, 0);
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, red.View());
    const TAllChanel& d = hist->Data[Origin];
    EXPECT_EQ(d.RGB.Hist[0], 2u);
    EXPECT_EQ(d.RGB.Hist[255], 1u);
    EXPECT_EQ(d.R.Hist[255], 1u);
    EXPECT_EQ(d.G.Hist[0], 1u);
    for (int i = 256; i < HistBinCount; ++i)
        ASSERT_EQ(d.RGB.Hist[i] | d.R.Hist[i] | d.G.Hist[i] | d.B.Hist[i], 0u);
}

TEST(Primaries, ParallelAndPiecewiseCountsEqualOnePass) {
    // Large enough for the counting to split over threads; odd sizes exercise the tails.
    const TTestRaster t = TTestRaster::Noise(1283, 1031, 7);
    TPrimaryCounts serial;
    serial.AddRows(t.View(), 0, t.Height);
    const TPrimaryCounts parallel = CountPrimaries(t.View());
    EXPECT_EQ(serial.R(), parallel.R());
    EXPECT_EQ(serial.G(), parallel.G());
    EXPECT_EQ(serial.B(), parallel.B());

    TPrimaryCounts pieces;
    for (int y = 0; y < t.Height; y += 100)
        pieces.AddRows(t.View(), y, std::min(100, t.Height - y));
    EXPECT_EQ(serial.R(), pieces.R());
    EXPECT_EQ(serial.B(), pieces.B());

    std::uint64_t total = 0;
    for (auto v : serial.G())
        total += v;
    EXPECT_EQ(total, 1283u * 1031u);

    auto a = std::make_unique<THist>(), b = std::make_unique<THist>();
    a->Calc(Origin, t.View());
    b->CalcCounted(Origin, t.View(), pieces);
    EXPECT_EQ(a->Data[Origin], b->Data[Origin]);
}

TEST(Levels, CoarseLevel) {
    EXPECT_EQ(CoarseLevel(300, 300), 5);  // 2^5 = 32 > 30
    EXPECT_EQ(CoarseLevel(10, 20000), 1); // 2 > 1
    EXPECT_EQ(CoarseLevel(20000, 10), 1);
    EXPECT_EQ(CoarseLevel(40000, 40000), 11); // capped: 2^11 = 2048 is not above 4000
    EXPECT_EQ(CoarseLevel(6000, 4000), 9);    // 512 > 400
    EXPECT_EQ(CoarseLevel(320, 1000), 6);     // 32 is not above 32.0; 64 is
}

TEST(Levels, FullCountLimitsAreExclusive) {
    const TTestRaster exact(400, 250), below(3, 33333);
    TModelCounts c;
    EXPECT_FALSE(AccumModel(c, TSampledModel::HSV, exact.View()).Full);
    EXPECT_TRUE(AccumModel(c, TSampledModel::HSV, below.View()).Full);
    const TTestRaster labExact(100, 100), labBelow(9999, 1);
    EXPECT_FALSE(AccumModel(c, TSampledModel::Lab, labExact.View()).Full);
    EXPECT_TRUE(AccumModel(c, TSampledModel::Lab, labBelow.View()).Full);
}

TEST(Grid, CoarsePassesCountTheHalfSpacingGridAndRefinementAddsTheRest) {
    const TTestRaster t = TTestRaster::Noise(300, 300, 11);
    TModelCounts c;
    for (int kind = 0; kind < 4; ++kind)
        SamplePass(c, TSampledModel::Lab, t.View(), 32, kind);
    EXPECT_TRUE(Same(c, Reference(t, TSampledModel::Lab, Grid(16))));
    for (int step = 16; step >= 2; step /= 2) {
        for (int kind = 1; kind < 4; ++kind)
            SamplePass(c, TSampledModel::Lab, t.View(), step, kind);
        EXPECT_TRUE(Same(c, Reference(t, TSampledModel::Lab, Grid(step / 2)))) << step;
    }
}

TEST(Grid, ThreeHundredSquareIsFullForHSVAndSampledForLab) {
    const TTestRaster t = TTestRaster::Noise(300, 300, 3);
    TModelCounts hsv, lab;
    EXPECT_TRUE(AccumModel(hsv, TSampledModel::HSV, t.View()).Full);
    EXPECT_TRUE(Same(hsv, Reference(t, TSampledModel::HSV, [](int, int) { return true; })));
    const TSampleStats s = AccumModel(lab, TSampledModel::Lab, t.View());
    EXPECT_EQ(s.CoarseLevel, 5);
    // Whatever level it stops at, the counts are those of the grid reached so far.
    const int spacing = s.ConvergedLevel > 0 ? 1 << (s.ConvergedLevel - 1) : 1;
    EXPECT_TRUE(Same(lab, Reference(t, TSampledModel::Lab, Grid(spacing))));
    EXPECT_EQ(s.Comparisons, s.ConvergedLevel > 0 ? 5 - s.ConvergedLevel : 4);
}

TEST(Grid, NarrowStripCountsEveryPixelWithoutRefinement) {
    const TTestRaster t = TTestRaster::Noise(10, 20000, 5);
    TModelCounts c;
    const TSampleStats s = AccumModel(c, TSampledModel::HSV, t.View());
    EXPECT_FALSE(s.Full);
    EXPECT_EQ(s.CoarseLevel, 1);
    EXPECT_EQ(s.Comparisons, 0);
    EXPECT_TRUE(Same(c, Reference(t, TSampledModel::HSV, [](int, int) { return true; })));
}

TEST(Grid, UniformColourConvergesAtTheFirstComparison) {
    const TTestRaster t(700, 500, 40, 90, 200);
    for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab}) {
        TModelCounts c;
        const TSampleStats s = AccumModel(c, m, t.View());
        EXPECT_EQ(s.CoarseLevel, 6);
        EXPECT_EQ(s.Comparisons, 1);
        EXPECT_EQ(s.ConvergedLevel, 5);
    }
}

TEST(Convergence, ThresholdOnTheWeightedShareChange) {
    TModelCounts snap, cur;
    snap.First[0] = 10;
    snap.Second[0] = 10;
    snap.Third[0] = 10;
    cur = snap;
    cur.First[0] = 20;
    cur.Second[0] = 21; // same shares as the hue totals: no change
    cur.Third[0] = 21;
    // D(H) = |1 - 2 x 10/21| x 20/21 + 1/21 = 0.093: converged.
    cur.First[1] = 1;
    EXPECT_TRUE(HSVConverged(cur, snap));
    // D(H) = 0.083 + 2/22 = 0.174: not converged.
    cur.First[1] = 2;
    EXPECT_FALSE(HSVConverged(cur, snap));
    // A bin that was empty in the snapshot contributes its whole share, in S too.
    cur.First[1] = 1;
    cur.Second[5] = 3;
    EXPECT_FALSE(HSVConverged(cur, snap));
}

TEST(Calc, HueJustBelowRedIsCountedOutsideTheShownRange) {
    const TTestRaster t(3, 2, 255, 0, 1);
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, t.View());
    EXPECT_EQ(hist->Data[Origin].H.Hist[1439], 6u);
    EXPECT_EQ(hist->Data[Origin].H.Others.IndHigh, 1436);
}

TEST(Convergence, EmptyTotalsNeverConverge) {
    TModelCounts snap, cur;
    EXPECT_FALSE(HSVConverged(cur, snap));
    // Hue bin 1439 lies outside the totals: a set holding only such pixels has none.
    snap.First[1439] = 5;
    cur.First[1439] = 9;
    EXPECT_FALSE(HSVConverged(cur, snap));
    snap.First[1436] = 5;
    cur.First[1436] = 5;
    EXPECT_TRUE(HSVConverged(cur, snap));
    // The Lab totals come from L alone.
    TModelCounts labSnap, labCur;
    labSnap.First[600] = 4;
    labCur.First[600] = 8;
    EXPECT_TRUE(LabConverged(labCur, labSnap));
    labCur.Second[3] = 1;
    EXPECT_FALSE(LabConverged(labCur, labSnap));
}

TEST(Calc, SmallImageEveryModelInFull) {
    const TTestRaster t = TTestRaster::Noise(97, 61, 9);
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, t.View());
    const TAllChanel& d = hist->Data[Origin];
    const auto all = [](int, int) { return true; };
    const TModelCounts hsv = Reference(t, TSampledModel::HSV, all);
    const TModelCounts lab = Reference(t, TSampledModel::Lab, all);
    EXPECT_EQ(d.H.Hist, hsv.First);
    EXPECT_EQ(d.S.Hist, hsv.Second);
    EXPECT_EQ(d.V.Hist, hsv.Third);
    EXPECT_EQ(d.L.Hist, lab.First);
    EXPECT_EQ(d.A.Hist, lab.Second);
    EXPECT_EQ(d.B_.Hist, lab.Third);
    // Parameters survive the recount.
    EXPECT_EQ(d.H.Others.IndHigh, 1436);
    EXPECT_EQ(d.V.Others.SmoothCntMin, 8);
}

TEST(Calc, RecountClearsTheEarlierImage) {
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, TTestRaster::Noise(50, 50, 1).View());
    const TTestRaster black(4, 4);
    hist->Calc(Origin, black.View());
    EXPECT_EQ(hist->Data[Origin].R.Hist[0], 16u);
    EXPECT_EQ(hist->Data[Origin].L.Hist[0], 16u);
    EXPECT_EQ(hist->Data[Origin].A.Hist[256], 16u);
    std::uint64_t total = 0;
    for (auto v : hist->Data[Origin].H.Hist)
        total += v;
    EXPECT_EQ(total, 16u);
}

TEST(Calc, EmptyRasterCountsNothingButMarksCalculated) {
    auto hist = std::make_unique<THist>();
    EXPECT_FALSE(hist->IsCalculated());
    hist->Calc(Origin, TRasterView{0, 0, nullptr, 0});
    EXPECT_TRUE(hist->IsCalculated());
    for (TChannel c : AllChannels)
        for (auto v : hist->Data[Origin][c].Hist)
            ASSERT_EQ(v, 0u);
}

TEST(Calc, CreateSetsOnlyTheOriginParameters) {
    auto hist = std::make_unique<THist>();
    EXPECT_EQ(hist->SmoothRepeatCnt, 0);
    const struct {
        TChannel c;
        int high, factor, min;
    } rows[] = {{TChannel::RGB, 255, 1, 0}, {TChannel::R, 255, 1, 0},  {TChannel::G, 255, 1, 0},
                {TChannel::B, 255, 1, 0},   {TChannel::H, 1436, 8, 0}, {TChannel::S, 600, 12, 0},
                {TChannel::V, 600, 18, 8},  {TChannel::L, 600, 12, 0}, {TChannel::A, 510, 2, 0},
                {TChannel::B_, 510, 2, 0}};
    for (auto r : rows) {
        const TOthers& o = hist->Data[Origin][r.c].Others;
        EXPECT_EQ(o.IndLow, 0);
        EXPECT_EQ(o.IndHigh, r.high) << ChannelName(r.c);
        EXPECT_EQ(o.SmoothCntFactor, r.factor);
        EXPECT_EQ(o.SmoothCntMin, r.min);
        EXPECT_EQ(hist->Data[Origin4Show][r.c].Others, TOthers{});
        EXPECT_EQ(hist->Data[Etalon][r.c].Others, TOthers{});
    }
}

namespace {

// The pixels AccumModel's passes add at level k of a raster whose coarse level is n.
TModelCounts LevelByPasses(const TTestRaster& t, TSampledModel m, int n, int k) {
    TModelCounts c;
    for (int kind = k == n ? 0 : 1; kind < 4; ++kind)
        SamplePass(c, m, t.View(), 1 << k, kind);
    return c;
}

// Adds the rows in uneven pieces, last piece first.
void AddBackwards(TCoarseSamples& s, const TTestRaster& t, int piece) {
    for (int end = t.Height; end > 0; end -= piece)
        s.AddRows(t.View(), std::max(0, end - piece), std::min(piece, end));
}

} // namespace

TEST(CoarseSamples, EachLevelHoldsThePixelsOfItsPasses) {
    const TTestRaster t = TTestRaster::Noise(1283, 1031, 21);
    const int n = CoarseLevel(t.Width, t.Height);
    ASSERT_EQ(n, 7);
    TCoarseSamples s(t.Width, t.Height);
    AddBackwards(s, t, 37);
    for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab}) {
        for (int k = TCoarseSamples::FinestLevel; k <= n; ++k) {
            const TModelCounts* level = s.Level(m, k, t.Width, t.Height);
            ASSERT_NE(level, nullptr) << k;
            EXPECT_TRUE(Same(*level, LevelByPasses(t, m, n, k))) << k;
        }
        EXPECT_EQ(s.Level(m, TCoarseSamples::FinestLevel - 1, t.Width, t.Height), nullptr);
        EXPECT_EQ(s.Level(m, n + 1, t.Width, t.Height), nullptr);
    }
}

TEST(CoarseSamples, BelowTheFinestLevelTheCoarseLevelIsAllThereIs) {
    // Coarse level 1: its four passes take every pixel.
    const TTestRaster strip = TTestRaster::Noise(10, 20000, 5);
    TCoarseSamples s(strip.Width, strip.Height);
    AddBackwards(s, strip, 999);
    const TModelCounts* level = s.Level(TSampledModel::HSV, 1, strip.Width, strip.Height);
    ASSERT_NE(level, nullptr);
    EXPECT_TRUE(Same(*level, Reference(strip, TSampledModel::HSV, [](int, int) { return true; })));
    EXPECT_EQ(s.Level(TSampledModel::HSV, 2, strip.Width, strip.Height), nullptr);

    // Coarse level 4 on a 300 x 150 raster: that level alone, its grid finer than the
    // finest counted otherwise. HSV is counted in full there, so only L*a*b*.
    const TTestRaster t = TTestRaster::Noise(300, 150, 6);
    ASSERT_EQ(CoarseLevel(t.Width, t.Height), 4);
    TCoarseSamples small(t.Width, t.Height);
    small.AddRows(t.View(), 0, t.Height);
    EXPECT_EQ(small.Level(TSampledModel::HSV, 4, t.Width, t.Height), nullptr);
    const TModelCounts* lab = small.Level(TSampledModel::Lab, 4, t.Width, t.Height);
    ASSERT_NE(lab, nullptr);
    EXPECT_TRUE(Same(*lab, LevelByPasses(t, TSampledModel::Lab, 4, 4)));
    EXPECT_EQ(small.Level(TSampledModel::Lab, 3, t.Width, t.Height), nullptr);
}

TEST(CoarseSamples, NothingUntilEveryRowIsInAndNothingForAnotherSize) {
    const TTestRaster t = TTestRaster::Noise(700, 500, 8);
    TCoarseSamples s(t.Width, t.Height);
    s.AddRows(t.View(), 0, 499);
    EXPECT_EQ(s.Level(TSampledModel::Lab, 6, t.Width, t.Height), nullptr);
    s.AddRows(t.View(), 499, 1);
    EXPECT_NE(s.Level(TSampledModel::Lab, 6, t.Width, t.Height), nullptr);
    EXPECT_EQ(s.Level(TSampledModel::Lab, 6, t.Width, t.Height + 1), nullptr);

    const TTestRaster other = TTestRaster::Noise(700, 501, 8);
    TCoarseSamples wrong(t.Width, t.Height);
    wrong.AddRows(other.View(), 0, other.Height);
    EXPECT_EQ(wrong.Level(TSampledModel::Lab, 6, other.Width, other.Height), nullptr);
    EXPECT_EQ(wrong.Level(TSampledModel::Lab, 6, t.Width, t.Height), nullptr);

    const TCoarseSamples none;
    EXPECT_EQ(none.Level(TSampledModel::HSV, 6, t.Width, t.Height), nullptr);
    EXPECT_EQ(TCoarseSamples(0, 5).Level(TSampledModel::HSV, 1, 0, 5), nullptr);
}

TEST(CoarseSamples, PartsAddUp) {
    const TTestRaster t = TTestRaster::Noise(700, 500, 9);
    TCoarseSamples whole(t.Width, t.Height), top(t.Width, t.Height), bottom(t.Width, t.Height);
    whole.AddRows(t.View(), 0, t.Height);
    top.AddRows(t.View(), 0, 250);
    bottom.AddRows(t.View(), 250, 250);
    top.Add(bottom);
    for (int k = 5; k <= 6; ++k)
        for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab}) {
            const TModelCounts* sum = top.Level(m, k, t.Width, t.Height);
            ASSERT_NE(sum, nullptr);
            EXPECT_TRUE(Same(*sum, *whole.Level(m, k, t.Width, t.Height)));
        }
    // Parts of different rasters do not mix.
    TCoarseSamples other(t.Width, t.Height + 16);
    whole.Add(other);
    EXPECT_EQ(whole.Level(TSampledModel::HSV, 6, t.Width, t.Height), nullptr);
}

TEST(CoarseSamples, AccumModelGivesTheSameCountsAndStatistics) {
    struct TCase {
        const char* Name;
        TTestRaster Raster;
    };
    TTestRaster smooth(900, 700);
    for (int y = 0; y < smooth.Height; ++y)
        for (int x = 0; x < smooth.Width; ++x)
            smooth.Set(x, y, x * 255 / 899, y * 255 / 699, (x + 2 * y) % 256);
    const TCase cases[] = {
        {"noise", TTestRaster::Noise(1283, 1031, 7)}, // never converges: every level
        {"uniform", TTestRaster(700, 500, 40, 90, 200)},
        {"smooth", smooth},
        {"strip", TTestRaster::Noise(10, 20000, 5)},
        {"labOnly", TTestRaster::Noise(300, 300, 3)},
    };
    for (const TCase& c : cases) {
        const TTestRaster& t = c.Raster;
        TCoarseSamples s(t.Width, t.Height);
        AddBackwards(s, t, 64);
        for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab}) {
            TModelCounts plain, taken;
            const TSampleStats a = AccumModel(plain, m, t.View());
            const TSampleStats b = AccumModel(taken, m, t.View(), s);
            EXPECT_TRUE(Same(plain, taken)) << c.Name;
            EXPECT_EQ(a.Full, b.Full) << c.Name;
            EXPECT_EQ(a.CoarseLevel, b.CoarseLevel) << c.Name;
            EXPECT_EQ(a.ConvergedLevel, b.ConvergedLevel) << c.Name;
            EXPECT_EQ(a.Comparisons, b.Comparisons) << c.Name;
        }
    }
}

TEST(CoarseSamples, CountedWhileRowsArriveTheHistogramsAreTheSame) {
    const TTestRaster t = TTestRaster::Noise(1283, 1031, 13);
    TPrimaryCounts arriving;
    arriving.AlsoSample(t.Width, t.Height);
    for (int y = 0; y < t.Height; y += 16)
        arriving.AddRows(t.View(), y, std::min(16, t.Height - y));
    ASSERT_NE(arriving.Samples().Level(TSampledModel::Lab, 7, t.Width, t.Height), nullptr);
    auto a = std::make_unique<THist>(), b = std::make_unique<THist>();
    a->Calc(Origin, t.View());
    b->CalcCounted(Origin, t.View(), arriving);
    EXPECT_EQ(a->Data[Origin], b->Data[Origin]);

    // Without the samples, or with samples of a raster of another size, the same again.
    TPrimaryCounts plain;
    plain.AddRows(t.View(), 0, t.Height);
    EXPECT_EQ(plain.Samples().Level(TSampledModel::Lab, 7, t.Width, t.Height), nullptr);
    b->CalcCounted(Origin, t.View(), plain);
    EXPECT_EQ(a->Data[Origin], b->Data[Origin]);
}

namespace {

// Counts t pass by pass as a decoder that keeps no picture would: bands of `band` rows,
// alternately to two tallies (two threads), bottom band first when `upwards`.
TStreamedCounts Streamed(const TTestRaster& t, int band, bool upwards) {
    TStreamedCounts counts(t.Width, t.Height);
    while (counts.NeedsPass()) {
        TRowTally here = counts.NewTally(), there = counts.NewTally();
        int i = 0;
        for (int b = 0; b < t.Height; b += band, ++i) {
            const int first = upwards ? std::max(0, t.Height - b - band) : b;
            const int rows = std::min(band, t.Height - b);
            const TRasterView view{t.Width, rows, t.At(0, first), std::ptrdiff_t{t.Width} * 3};
            (i % 2 ? there : here).AddRows(view, first);
        }
        here.Add(there);
        EXPECT_TRUE(counts.AddPass(std::move(here)));
        if (counts.Passes() > 12) // every level of the largest picture, and more
            break;
    }
    return counts;
}

} // namespace

// Counted band by band without the picture, the ten channels are those of the whole raster
// and the sampled models stop at the same level. A second pass comes only when the levels of
// the first do not settle the shape, and each adds one finer level.
TEST(StreamedCounts, BandsGiveTheWholeRastersCounts) {
    TTestRaster smooth(900, 700);
    for (int y = 0; y < smooth.Height; ++y)
        for (int x = 0; x < smooth.Width; ++x)
            smooth.Set(x, y, x * 255 / 899, y * 255 / 699, (x + 2 * y) % 256);
    const struct {
        const char* Name;
        TTestRaster Raster;
        int Passes;
    } cases[] = {
        {"noise", TTestRaster::Noise(1283, 1031, 7), 2}, // settles only at level 2
        {"uniform", TTestRaster(700, 500, 40, 90, 200), 1},
        {"smooth", smooth, 3}, // its stripes alias on every grid: down to level 1
        {"strip", TTestRaster::Noise(10, 20000, 5), 1}, // coarse level 1: one level only
        {"labOnly", TTestRaster::Noise(300, 300, 3), 3},
        {"bothInFull", TTestRaster::Noise(40, 30, 4), 1},
        {"oneRow", TTestRaster::Noise(1, 1, 2), 1},
    };
    for (const auto& c : cases) {
        const TTestRaster& t = c.Raster;
        auto whole = std::make_unique<THist>(), streamed = std::make_unique<THist>();
        whole->Calc(Origin, t.View());
        for (auto [band, upwards] : {std::pair{16, false}, std::pair{7, true}}) {
            SCOPED_TRACE(testing::Message() << c.Name << ", bands of " << band);
            const TStreamedCounts counts = Streamed(t, band, upwards);
            ASSERT_FALSE(counts.NeedsPass());
            EXPECT_EQ(counts.Passes(), c.Passes);
            streamed->CalcStreamed(Origin, counts);
            EXPECT_EQ(streamed->Data[Origin], whole->Data[Origin]);
            for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab}) {
                TModelCounts plain;
                const TSampleStats a = AccumModel(plain, m, t.View());
                const TSampleStats& b = counts.Stats(m);
                EXPECT_EQ(a.Full, b.Full);
                EXPECT_EQ(a.CoarseLevel, b.CoarseLevel);
                EXPECT_EQ(a.ConvergedLevel, b.ConvergedLevel);
                EXPECT_EQ(a.Comparisons, b.Comparisons);
            }
        }
    }
}

TEST(StreamedCounts, APassThatMissedRowsOrIsOfAnotherPictureIsRefused) {
    const TTestRaster t = TTestRaster::Noise(700, 500, 8), other = TTestRaster::Noise(700, 501, 8);
    TStreamedCounts counts(t.Width, t.Height);
    TRowTally missing = counts.NewTally();
    missing.AddRows({t.Width, 499, t.At(0, 0), std::ptrdiff_t{t.Width} * 3}, 0);
    EXPECT_FALSE(counts.AddPass(std::move(missing)));
    TRowTally foreign = TStreamedCounts(other.Width, other.Height).NewTally();
    foreign.AddRows(other.View(), 0);
    EXPECT_FALSE(counts.AddPass(std::move(foreign)));
    EXPECT_TRUE(counts.NeedsPass());
    EXPECT_EQ(counts.Passes(), 0);

    TRowTally first = counts.NewTally();
    first.AddRows(t.View(), 0);
    ASSERT_TRUE(counts.AddPass(std::move(first)));
    ASSERT_TRUE(counts.NeedsPass()); // noise never settles
    // A first pass's tally again, where the second pass counts a finer level.
    TRowTally again = TStreamedCounts(t.Width, t.Height).NewTally();
    again.AddRows(t.View(), 0);
    EXPECT_FALSE(counts.AddPass(std::move(again)));
    EXPECT_EQ(counts.Passes(), 1);
}
