#include "accumulate.h"

#include "colour.h"
#include "joined_thread.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace tonalyx {

namespace {

// Rows below which a second thread costs more than it saves.
constexpr std::int64_t ParallelPixelThreshold = 1 << 20;

bool UseThreads(const TRasterView& im) {
    return static_cast<std::int64_t>(im.Width) * im.Height >= ParallelPixelThreshold &&
           std::thread::hardware_concurrency() > 1;
}

struct TModelTraits {
    std::int64_t FullCountLimit;
    int ShareBins; // bins 0..ShareBins-1 of the first channel give the totals
    int Bins[3];   // used bins of the three channels
};

constexpr TModelTraits ModelTraits(TSampledModel m) {
    return m == TSampledModel::HSV ? TModelTraits{100000, 1437, {1437, 601, 601}}
                                   : TModelTraits{10000, 601, {601, 511, 511}};
}

std::uint32_t Sum(const THistValues& h, int bins) {
    std::uint32_t s = 0; // wraps like the 32-bit counters it adds
    for (int i = 0; i < bins; ++i)
        s += h[i];
    return s;
}

// The count-weighted mean relative change of each bin's share of all counted pixels.
bool Converged(const TModelCounts& cur, const TModelCounts& snap, const TModelTraits& t) {
    const std::uint32_t sc = Sum(cur.First, t.ShareBins);
    const std::uint32_t sp = Sum(snap.First, t.ShareBins);
    if (sc == 0 || sp == 0)
        return false;
    const Extended ratio = static_cast<Extended>(sp) / sc;
    const THistValues* curCh[3] = {&cur.First, &cur.Second, &cur.Third};
    const THistValues* snapCh[3] = {&snap.First, &snap.Second, &snap.Third};
    for (int ch = 0; ch < 3; ++ch) {
        Extended d = 0;
        for (int i = 0; i < t.Bins[ch]; ++i) {
            const Extended c = (*curCh[ch])[i];
            const std::uint32_t p = (*snapCh[ch])[i];
            if (p > 0)
                d += std::fabs(1 - (c / p) * ratio) * (c / sc);
            else
                d += c / sc;
        }
        if (d * 100 > 10)
            return false;
    }
    return true;
}

void Count(TModelCounts& counts, const TModelBins& bins) {
    ++counts.First[bins.a];
    ++counts.Second[bins.b];
    ++counts.Third[bins.c];
}

void AddCounts(TModelCounts& to, const TModelCounts& from) {
    for (int i = 0; i < HistBinCount; ++i) {
        to.First[i] += from.First[i];
        to.Second[i] += from.Second[i];
        to.Third[i] += from.Third[i];
    }
}

bool CountedInFull(TSampledModel m, int width, int height) {
    return static_cast<std::int64_t>(width) * height < FullCountLimit(m);
}

template <typename Convert>
void SamplePassWith(TModelCounts& counts, const TRasterView& im, int step, int kind,
                    Convert convert) {
    const int h = step / 2;
    const int firstRow = (kind == 1 || kind == 3) ? h : 0;
    const int firstCol = (kind == 2 || kind == 3) ? h : 0;
    const TCoverage cover = im.Coverage;
    // Made twice, so that rows without coverage pay no test a pixel.
    const auto pass = [=, &counts](auto covered) {
        for (int y = firstRow; y < im.Height; y += step) {
            const std::uint8_t* row = im.Row(y);
            for (int x = firstCol; x < im.Width; x += step) {
                if (covered && !cover.Counted(x, y))
                    continue;
                const std::uint8_t* px = row + 3 * static_cast<std::ptrdiff_t>(x);
                Count(counts, convert(px[2], px[1], px[0]));
            }
        }
    };
    if (cover)
        pass(std::true_type());
    else
        pass(std::false_type());
}

// The ten channels of a set from the counted primaries and sampled models.
void FillChannels(TAllChanel& set, const TPrimaryCounts& primaries, const TModelCounts& hsv,
                  const TModelCounts& lab) {
    ClearBins(set);
    const auto copy = [](const TPrimaryCounts::THistogram& from, THistValues& to) {
        std::copy(from.begin(), from.end(), to.begin());
    };
    copy(primaries.R(), set.R.Hist);
    copy(primaries.G(), set.G.Hist);
    copy(primaries.B(), set.B.Hist);
    for (int i = 0; i < 256; ++i)
        set.RGB.Hist[i] = set.R.Hist[i] + set.G.Hist[i] + set.B.Hist[i];
    set.H.Hist = hsv.First;
    set.S.Hist = hsv.Second;
    set.V.Hist = hsv.Third;
    set.L.Hist = lab.First;
    set.A.Hist = lab.Second;
    set.B_.Hist = lab.Third;
}

// TPrimaryCounts::AddRows for rows that leave some pixels out: a test a pixel, which rows
// without coverage never pay.
void CountCoveredRows(const TRasterView& im, int firstRow, int rowCount, std::uint32_t* greenBlue,
                      TPrimaryCounts::THistogram& red) {
    for (int y = firstRow; y < firstRow + rowCount; ++y) {
        const std::uint8_t* p = im.Row(y); // blue, green, red
        for (int x = 0; x < im.Width; ++x, p += 3) {
            if (im.Coverage.Counted(x, y)) {
                ++greenBlue[p[1] << 8 | p[0]];
                ++red[p[2]];
            }
        }
    }
}

} // namespace

TCoarseSamples::TCoarseSamples(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    const int n = CoarseLevel(width, height);
    TLevelRange levels[2];
    for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab})
        if (!CountedInFull(m, width, height))
            levels[static_cast<int>(m)] = {std::min(FinestLevel, n), n};
    *this = TCoarseSamples(width, height, levels);
}

TCoarseSamples::TCoarseSamples(int width, int height, const TLevelRange (&levels)[2]) {
    if (width <= 0 || height <= 0)
        return;
    FWidth = width;
    FHeight = height;
    const int n = CoarseLevel(width, height);
    for (int m = 0; m < 2; ++m) {
        const TLevelRange r = levels[m];
        FTop[m] = CountedInFull(static_cast<TSampledModel>(m), width, height) ? 1 : n;
        if (r.Empty() || r.Finest < 1 || r.Finest > r.Coarsest || r.Coarsest > FTop[m])
            continue;
        FRanges[m] = r;
        FLevels[m].resize(static_cast<std::size_t>(r.Coarsest - r.Finest + 1));
        FFinest = FFinest == 0 ? r.Finest : std::min(FFinest, r.Finest);
    }
    if (FFinest == 0)
        *this = TCoarseSamples();
}

void TCoarseSamples::AddRows(const TRasterView& im, int firstRow, int rowCount) {
    if (FFinest == 0)
        return;
    if (im.Height != FHeight || firstRow < 0 || rowCount < 0 || firstRow > FHeight - rowCount) {
        *this = TCoarseSamples();
        return;
    }
    AddBand(im.Rows(firstRow, rowCount), firstRow);
}

void TCoarseSamples::AddBand(const TRasterView& band, int firstRow) {
    if (FFinest == 0)
        return;
    if (band.Width != FWidth || firstRow < 0 || band.Height < 0 ||
        firstRow > FHeight - band.Height) {
        *this = TCoarseSamples();
        return;
    }
    FRowsAdded += band.Height;
    TModelCounts* const hsv = FLevels[0].empty() ? nullptr : FLevels[0].data();
    TModelCounts* const lab = FLevels[1].empty() ? nullptr : FLevels[1].data();
    // The level of a pixel in a model's grid, as an index into its counted levels; out of
    // range when that level is not counted.
    const auto slot = [this](int model, int twos) {
        const int level = std::min(twos + 1, FTop[model]);
        return static_cast<unsigned>(FRanges[model].Coarsest - level);
    };
    const unsigned hsvLevels = static_cast<unsigned>(FLevels[0].size());
    const unsigned labLevels = static_cast<unsigned>(FLevels[1].size());
    const int spacing = 1 << (FFinest - 1); // of the finest grid, which holds the others
    const int end = firstRow + band.Height;
    const TCoverage cover = band.Coverage;
    // Made twice, so that rows without coverage pay no test a pixel.
    const auto pass = [=, this](auto covered) {
        for (int y = (firstRow + spacing - 1) / spacing * spacing; y < end; y += spacing) {
            const std::uint8_t* row = band.Row(y - firstRow);
            for (int x = 0; x < FWidth; x += spacing) {
                if (covered && !cover.Counted(x, y - firstRow))
                    continue;
                // The times 2 divides both coordinates: 32 for 0 and 0.
                const int twos = std::countr_zero(static_cast<unsigned>(y | x));
                const std::uint8_t* px = row + 3 * static_cast<std::ptrdiff_t>(x);
                if (const unsigned i = slot(0, twos); hsv && i < hsvLevels)
                    Count(hsv[i], HSVBins(px[2], px[1], px[0]));
                if (const unsigned i = slot(1, twos); lab && i < labLevels)
                    Count(lab[i], LabBins(px[2], px[1], px[0]));
            }
        }
    };
    if (cover)
        pass(std::true_type());
    else
        pass(std::false_type());
}

void TCoarseSamples::Add(const TCoarseSamples& o) {
    if (FFinest == 0)
        return;
    if (o.FWidth != FWidth || o.FHeight != FHeight || o.FRanges[0] != FRanges[0] ||
        o.FRanges[1] != FRanges[1]) {
        *this = TCoarseSamples();
        return;
    }
    FRowsAdded += o.FRowsAdded;
    for (int m = 0; m < 2; ++m)
        for (std::size_t i = 0; i < FLevels[m].size(); ++i)
            AddCounts(FLevels[m][i], o.FLevels[m][i]);
}

const TModelCounts* TCoarseSamples::Level(TSampledModel m, int k, int width, int height) const {
    const int model = static_cast<int>(m);
    const TLevelRange r = FRanges[model];
    if (r.Empty() || width != FWidth || height != FHeight || FRowsAdded != FHeight ||
        k < r.Finest || k > r.Coarsest)
        return nullptr;
    return &FLevels[model][static_cast<std::size_t>(r.Coarsest - k)];
}

TPrimaryCounts::TPrimaryCounts() : FGreenBlue(256 * 256, 0) {}

void TPrimaryCounts::AddRows(const TRasterView& im, int firstRow, int rowCount) {
    if (im.Coverage) {
        CountCoveredRows(im, firstRow, rowCount, FGreenBlue.data(), FRed);
        FSamples.AddRows(im, firstRow, rowCount);
        return;
    }
    // Two red tables, one per pixel of a pair, keep equal neighbours from waiting on
    // the same counter.
    std::uint32_t red[2][256] = {};
    std::uint32_t* gb = FGreenBlue.data();
    const int w = im.Width;
    for (int y = firstRow; y < firstRow + rowCount; ++y) {
        const std::uint8_t* p = im.Row(y); // blue, green, red
        int x = 0;
        for (; x + 2 <= w; x += 2, p += 6) {
            ++gb[p[1] << 8 | p[0]];
            ++red[0][p[2]];
            ++gb[p[4] << 8 | p[3]];
            ++red[1][p[5]];
        }
        if (x < w) {
            ++gb[p[1] << 8 | p[0]];
            ++red[0][p[2]];
        }
    }
    for (int i = 0; i < 256; ++i)
        FRed[i] += red[0][i] + red[1][i];
    FSamples.AddRows(im, firstRow, rowCount);
}

void TPrimaryCounts::Add(const TPrimaryCounts& o) {
    for (int i = 0; i < 256; ++i)
        FRed[i] += o.FRed[i];
    for (std::size_t i = 0; i < FGreenBlue.size(); ++i)
        FGreenBlue[i] += o.FGreenBlue[i];
    FSamples.Add(o.FSamples);
}

TPrimaryCounts::THistogram TPrimaryCounts::G() const {
    THistogram g{};
    for (int green = 0; green < 256; ++green)
        for (int blue = 0; blue < 256; ++blue)
            g[green] += FGreenBlue[static_cast<std::size_t>(green << 8 | blue)];
    return g;
}

TPrimaryCounts::THistogram TPrimaryCounts::B() const {
    THistogram b{};
    for (int green = 0; green < 256; ++green)
        for (int blue = 0; blue < 256; ++blue)
            b[blue] += FGreenBlue[static_cast<std::size_t>(green << 8 | blue)];
    return b;
}

TPrimaryCounts CountPrimaries(const TRasterView& im) {
    TPrimaryCounts counts;
    if (im.Width <= 0 || im.Height <= 0)
        return counts;
    if (!UseThreads(im)) {
        counts.AddRows(im, 0, im.Height);
        return counts;
    }
    const int half = im.Height / 2;
    std::optional<TPrimaryCounts> lower; // made on the second thread, as it counts there
    TJoinedThread second([&lower, &im, half] {
        lower.emplace();
        lower->AddRows(im, half, im.Height - half);
    });
    counts.AddRows(im, 0, half);
    second.Join();
    counts.Add(*lower);
    return counts;
}

std::int64_t FullCountLimit(TSampledModel m) {
    return ModelTraits(m).FullCountLimit;
}

int CoarseLevel(int width, int height) {
    const double tenth = std::min(width, height) / 10.0;
    int n = 1;
    while (n < 11 && static_cast<double>(1 << n) <= tenth)
        ++n;
    return n;
}

void SamplePass(TModelCounts& counts, TSampledModel m, const TRasterView& im, int step, int kind) {
    if (m == TSampledModel::HSV)
        SamplePassWith(counts, im, step, kind, HSVBins);
    else
        SamplePassWith(counts, im, step, kind, LabBins);
}

bool HSVConverged(const TModelCounts& current, const TModelCounts& snapshot) {
    return Converged(current, snapshot, ModelTraits(TSampledModel::HSV));
}

bool LabConverged(const TModelCounts& current, const TModelCounts& snapshot) {
    return Converged(current, snapshot, ModelTraits(TSampledModel::Lab));
}

TSampleStats AccumModel(TModelCounts& counts, TSampledModel m, const TRasterView& im) {
    return AccumModel(counts, m, im, TCoarseSamples());
}

namespace {

// The sample levels of a model from the coarse level n down, as AccumModel adds them, until
// the counts converge. addLevel(k) adds the pixels of level k to counts, or returns false
// when it has not got them: the walk then stops with missing set to k.
template <typename AddLevel>
TSampleStats WalkLevels(TModelCounts& counts, TSampledModel m, int n, AddLevel addLevel,
                        int& missing) {
    TSampleStats stats;
    stats.CoarseLevel = n;
    missing = 0;
    if (!addLevel(n)) {
        missing = n;
        return stats;
    }
    TModelCounts snapshot = counts;
    for (int k = n - 1; k >= 1; --k) {
        if (!addLevel(k)) {
            missing = k;
            return stats;
        }
        ++stats.Comparisons;
        const bool converged = m == TSampledModel::HSV ? HSVConverged(counts, snapshot)
                                                       : LabConverged(counts, snapshot);
        if (converged) {
            stats.ConvergedLevel = k;
            break;
        }
        snapshot = counts;
    }
    return stats;
}

} // namespace

TSampleStats AccumModel(TModelCounts& counts, TSampledModel m, const TRasterView& im,
                        const TCoarseSamples& coarse) {
    if (im.Width <= 0 || im.Height <= 0)
        return {};
    if (CountedInFull(m, im.Width, im.Height)) {
        SamplePass(counts, m, im, 1, 0);
        TSampleStats stats;
        stats.Full = true;
        return stats;
    }
    const int n = CoarseLevel(im.Width, im.Height);
    // The coarse level takes all four passes of its step, the finer ones the three that
    // fill in between the pixels already counted.
    const auto addLevel = [&](int k) {
        if (const TModelCounts* counted = coarse.Level(m, k, im.Width, im.Height)) {
            AddCounts(counts, *counted);
            return true;
        }
        for (int kind = k == n ? 0 : 1; kind < 4; ++kind)
            SamplePass(counts, m, im, 1 << k, kind);
        return true;
    };
    int missing = 0;
    return WalkLevels(counts, m, n, addLevel, missing);
}

TRowTally::TRowTally(int width, int height, bool primaries, const TLevelRange (&levels)[2])
    : FWidth(width), FHeight(height), FLevels(width, height, levels) {
    if (primaries)
        FPrimaries.emplace();
}

void TRowTally::AddRows(const TRasterView& band, int firstRow) {
    if (band.Width != FWidth || band.Height <= 0)
        return;
    FRows += band.Height;
    if (FPrimaries)
        FPrimaries->AddRows(band, 0, band.Height);
    FLevels.AddBand(band, firstRow);
}

void TRowTally::Add(const TRowTally& other) {
    FRows += other.FRows;
    if (FPrimaries && other.FPrimaries)
        FPrimaries->Add(*other.FPrimaries);
    FLevels.Add(other.FLevels);
}

TStreamedCounts::TStreamedCounts(int width, int height) : FWidth(width), FHeight(height) {
    const int n = width > 0 && height > 0 ? CoarseLevel(width, height) : 0;
    for (int m = 0; m < 2; ++m) {
        const bool full = n > 0 && CountedInFull(static_cast<TSampledModel>(m), width, height);
        FTop[m] = full ? 1 : n;
        FDone[m] = n == 0;
    }
}

bool TStreamedCounts::NeedsPass() const {
    return !FPrimaries || !FDone[0] || !FDone[1];
}

TLevelRange TStreamedCounts::NextLevels(int model) const {
    if (FDone[model])
        return {};
    if (FLevels.empty()) // the top level down to the first pass's finest, all at once
        return {FirstPassLevel(FWidth, FHeight, FTop[model]), FTop[model]};
    return {FMissing[model], FMissing[model]};
}

int TStreamedCounts::FirstPassLevel(int width, int height, int n) {
    const auto gridPixels = [&](int k) {
        const std::int64_t spacing = std::int64_t{1} << (k - 1);
        return (width + spacing - 1) / spacing * ((height + spacing - 1) / spacing);
    };
    int k = n;
    while (k > CheapestLevel && gridPixels(k) < SettlingSamples)
        --k;
    return k;
}

TRowTally TStreamedCounts::NewTally() const {
    const TLevelRange levels[2] = {NextLevels(0), NextLevels(1)};
    return TRowTally(FWidth, FHeight, !FPrimaries, levels);
}

bool TStreamedCounts::AddPass(TRowTally&& pass) {
    if (!NeedsPass() || pass.FWidth != FWidth || pass.FHeight != FHeight || pass.FRows != FHeight ||
        pass.FPrimaries.has_value() == FPrimaries.has_value())
        return false;
    for (int m = 0; m < 2; ++m) {
        const TLevelRange levels = NextLevels(m);
        for (int k = levels.Finest; k >= 1 && k <= levels.Coarsest; ++k)
            if (!pass.FLevels.Level(static_cast<TSampledModel>(m), k, FWidth, FHeight))
                return false;
    }
    if (!FPrimaries)
        FPrimaries = std::move(pass.FPrimaries);
    FLevels.push_back(std::move(pass.FLevels));
    for (int m = 0; m < 2; ++m)
        if (!FDone[m])
            Walk(m);
    return true;
}

void TStreamedCounts::Walk(int model) {
    const auto m = static_cast<TSampledModel>(model);
    TModelCounts& counts = FModels[model];
    counts = TModelCounts();
    const auto addLevel = [&](int k) {
        for (const TCoarseSamples& pass : FLevels) {
            if (const TModelCounts* counted = pass.Level(m, k, FWidth, FHeight)) {
                AddCounts(counts, *counted);
                return true;
            }
        }
        return false;
    };
    if (FTop[model] == 1 && CountedInFull(m, FWidth, FHeight)) {
        addLevel(1); // the one level, which took every pixel
        FStats[model] = TSampleStats();
        FStats[model].Full = true;
        FDone[model] = true;
        return;
    }
    int missing = 0;
    FStats[model] = WalkLevels(counts, m, FTop[model], addLevel, missing);
    FMissing[model] = missing;
    FDone[model] = missing == 0;
}

void ClearBins(TAllChanel& set) {
    for (TChannel c : AllChannels)
        set[c].Hist.fill(0);
}

void THist::Calc(TImageType itype, const TRasterView& im) {
    CalcCounted(itype, im, CountPrimaries(im));
}

void THist::Adopt(TImageType itype, const TAllChanel& counts) {
    Data[itype] = counts;
    Calculated = true;
}

void THist::CalcCounted(TImageType itype, const TRasterView& im, const TPrimaryCounts& primaries) {
    // The two sampled models touch different channels, so they may run side by side.
    TModelCounts hsv, lab;
    if (UseThreads(im)) {
        TJoinedThread labThread(
            [&] { AccumModel(lab, TSampledModel::Lab, im, primaries.Samples()); });
        AccumModel(hsv, TSampledModel::HSV, im, primaries.Samples());
        labThread.Join();
    } else {
        AccumModel(hsv, TSampledModel::HSV, im, primaries.Samples());
        AccumModel(lab, TSampledModel::Lab, im, primaries.Samples());
    }
    FillChannels(Data[itype], primaries, hsv, lab);
    Calculated = true;
}

void THist::CalcStreamed(TImageType itype, const TStreamedCounts& counts) {
    FillChannels(Data[itype], counts.Primaries(), counts.Model(TSampledModel::HSV),
                 counts.Model(TSampledModel::Lab));
    Calculated = true;
}

} // namespace tonalyx
