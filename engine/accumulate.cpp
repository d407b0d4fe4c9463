#include "accumulate.h"

#include "colour.h"

#include <algorithm>
#include <bit>
#include <future>
#include <thread>
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
    for (int y = firstRow; y < im.Height; y += step) {
        const std::uint8_t* row = im.Row(y);
        for (int x = firstCol; x < im.Width; x += step) {
            const std::uint8_t* px = row + 3 * static_cast<std::ptrdiff_t>(x);
            Count(counts, convert(px[2], px[1], px[0]));
        }
    }
}

} // namespace

TCoarseSamples::TCoarseSamples(int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    FWidth = width;
    FHeight = height;
    FCoarse = CoarseLevel(width, height);
    FFinest = std::min(FinestLevel, FCoarse);
    for (TSampledModel m : {TSampledModel::HSV, TSampledModel::Lab})
        if (!CountedInFull(m, width, height))
            FLevels[static_cast<int>(m)].resize(static_cast<std::size_t>(FCoarse - FFinest + 1));
    if (FLevels[0].empty() && FLevels[1].empty())
        *this = TCoarseSamples();
}

void TCoarseSamples::AddRows(const TRasterView& im, int firstRow, int rowCount) {
    if (FCoarse == 0)
        return;
    if (im.Width != FWidth || im.Height != FHeight) {
        *this = TCoarseSamples();
        return;
    }
    FRowsAdded += rowCount;
    TModelCounts* const hsv = FLevels[0].empty() ? nullptr : FLevels[0].data();
    TModelCounts* const lab = FLevels[1].empty() ? nullptr : FLevels[1].data();
    const int spacing = 1 << (FFinest - 1); // of the finest level's grid, which holds the others
    const int end = firstRow + rowCount;
    for (int y = (firstRow + spacing - 1) / spacing * spacing; y < end; y += spacing) {
        const std::uint8_t* row = im.Row(y);
        for (int x = 0; x < FWidth; x += spacing) {
            // One more than the times 2 divides both coordinates, at most the coarse level.
            const int twos = std::countr_zero(static_cast<unsigned>(y | x)); // 32 for 0 and 0
            const auto level = static_cast<std::size_t>(FCoarse - std::min(twos + 1, FCoarse));
            const std::uint8_t* px = row + 3 * static_cast<std::ptrdiff_t>(x);
            if (hsv)
                Count(hsv[level], HSVBins(px[2], px[1], px[0]));
            if (lab)
                Count(lab[level], LabBins(px[2], px[1], px[0]));
        }
    }
}

void TCoarseSamples::Add(const TCoarseSamples& o) {
    if (FCoarse == 0)
        return;
    if (o.FWidth != FWidth || o.FHeight != FHeight) {
        *this = TCoarseSamples();
        return;
    }
    FRowsAdded += o.FRowsAdded;
    for (int m = 0; m < 2; ++m)
        for (std::size_t i = 0; i < FLevels[m].size(); ++i)
            AddCounts(FLevels[m][i], o.FLevels[m][i]);
}

const TModelCounts* TCoarseSamples::Level(TSampledModel m, int k, int width, int height) const {
    const auto& levels = FLevels[static_cast<int>(m)];
    if (levels.empty() || width != FWidth || height != FHeight || FRowsAdded != FHeight ||
        k < FFinest || k > FCoarse)
        return nullptr;
    return &levels[static_cast<std::size_t>(FCoarse - k)];
}

TPrimaryCounts::TPrimaryCounts() : FGreenBlue(256 * 256, 0) {}

void TPrimaryCounts::AddRows(const TRasterView& im, int firstRow, int rowCount) {
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
    auto lower = std::async(std::launch::async, [&im, half] {
        TPrimaryCounts c;
        c.AddRows(im, half, im.Height - half);
        return c;
    });
    counts.AddRows(im, 0, half);
    counts.Add(lower.get());
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

TSampleStats AccumModel(TModelCounts& counts, TSampledModel m, const TRasterView& im,
                        const TCoarseSamples& coarse) {
    TSampleStats stats;
    if (im.Width <= 0 || im.Height <= 0)
        return stats;
    if (CountedInFull(m, im.Width, im.Height)) {
        SamplePass(counts, m, im, 1, 0);
        stats.Full = true;
        return stats;
    }
    const int n = CoarseLevel(im.Width, im.Height);
    stats.CoarseLevel = n;
    // The coarse level takes all four passes of its step, the finer ones the three that
    // fill in between the pixels already counted.
    const auto addLevel = [&](int k) {
        if (const TModelCounts* counted = coarse.Level(m, k, im.Width, im.Height)) {
            AddCounts(counts, *counted);
            return;
        }
        for (int kind = k == n ? 0 : 1; kind < 4; ++kind)
            SamplePass(counts, m, im, 1 << k, kind);
    };
    addLevel(n);
    TModelCounts snapshot = counts;
    for (int k = n - 1; k >= 1; --k) {
        addLevel(k);
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
    TAllChanel& set = Data[itype];
    ClearBins(set);
    const auto copy = [](const TPrimaryCounts::THistogram& from, THistValues& to) {
        std::copy(from.begin(), from.end(), to.begin());
    };
    copy(primaries.R(), set.R.Hist);
    copy(primaries.G(), set.G.Hist);
    copy(primaries.B(), set.B.Hist);
    for (int i = 0; i < 256; ++i)
        set.RGB.Hist[i] = set.R.Hist[i] + set.G.Hist[i] + set.B.Hist[i];

    // The two sampled models touch different channels, so they may run side by side.
    TModelCounts hsv, lab;
    if (UseThreads(im)) {
        auto labDone = std::async(std::launch::async, [&] {
            AccumModel(lab, TSampledModel::Lab, im, primaries.Samples());
        });
        AccumModel(hsv, TSampledModel::HSV, im, primaries.Samples());
        labDone.get();
    } else {
        AccumModel(hsv, TSampledModel::HSV, im, primaries.Samples());
        AccumModel(lab, TSampledModel::Lab, im, primaries.Samples());
    }
    set.H.Hist = hsv.First;
    set.S.Hist = hsv.Second;
    set.V.Hist = hsv.Third;
    set.L.Hist = lab.First;
    set.A.Hist = lab.Second;
    set.B_.Hist = lab.Third;
    Calculated = true;
}

} // namespace tonalyx
