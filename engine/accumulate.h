// Counting the pixels of a raster into the ten channels.
//
// R, G and B (and their sum) are counted over every pixel. HSV and L*a*b*, whose
// conversions cost far more, are counted in full only for small rasters; larger ones
// are sampled on a regular grid that is refined level by level until the shape of the
// histogram stops changing.
#pragma once

#include "histogram.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tonalyx {

enum class TSampledModel { HSV, Lab };

// The three channels of one sampled model.
struct TModelCounts {
    THistValues First{}, Second{}, Third{}; // H, S, V or L, A, B_
};

// The coarse levels of the two sampled models' grids, counted row by row while a raster
// arrives (from a decoder), so that the counting after its last row need not read those
// pixels again.
//
// The passes of level k (see AccumModel) add the pixels whose coordinates are both
// multiples of 2^(k-1) but not both multiples of 2^k; those of the coarse level n add every
// pixel whose coordinates are both multiples of 2^(n-1). Each pixel thus belongs to a single
// level, and the levels from n down to k sum to AccumModel's counts at level k, whatever
// order the rows came in.
class TCoarseSamples {
  public:
    TCoarseSamples() = default; // counts nothing
    // The levels from the coarse one down to FinestLevel (or the coarse one alone, when
    // it is finer) of a width x height raster, for each model that such a raster samples
    // rather than counts in full.
    TCoarseSamples(int width, int height);

    // Each row of the raster must be added once, in any order. A raster of another size
    // leaves nothing counted.
    void AddRows(const TRasterView& im, int firstRow, int rowCount);
    // Sums the levels of two parts of the same raster; of anything else, keeps nothing.
    void Add(const TCoarseSamples& other);

    // The counts of model m at level k, when that level was counted and every row of a
    // width x height raster has been added; null otherwise.
    const TModelCounts* Level(TSampledModel m, int k, int width, int height) const;

    // Finer levels (a grid spacing below 16 pixels) are left to AccumModel: their pixels
    // would cost more than the ones it usually needs.
    static constexpr int FinestLevel = 5;

  private:
    int FWidth = 0, FHeight = 0;
    int FCoarse = 0, FFinest = 0; // the levels counted, when FCoarse > 0
    std::int64_t FRowsAdded = 0;
    std::vector<TModelCounts> FLevels[2]; // [model][FCoarse - k]; empty: counted in full
};

// Full counts of the three primaries. Rows may be added in any order and in parts,
// e.g. while a decoder is still producing later rows.
class TPrimaryCounts {
  public:
    TPrimaryCounts();
    void AddRows(const TRasterView& im, int firstRow, int rowCount);
    void Add(const TPrimaryCounts& other);

    // From now on AddRows also counts the coarse sample levels of a width x height raster,
    // for CalcCounted to take; every row must then be added once.
    void AlsoSample(int width, int height) { FSamples = TCoarseSamples(width, height); }
    const TCoarseSamples& Samples() const { return FSamples; }

    using THistogram = std::array<std::uint32_t, 256>;
    THistogram R() const { return FRed; }
    THistogram G() const;
    THistogram B() const;

  private:
    // Green and blue are counted as pairs: one counter step for two bytes, which is what
    // limits the speed. 256 KiB, folded into the two histograms on request.
    std::vector<std::uint32_t> FGreenBlue; // [green * 256 + blue]
    THistogram FRed{};
    TCoarseSamples FSamples;
};
// Counts every pixel, splitting the rows over the available cores.
TPrimaryCounts CountPrimaries(const TRasterView& im);

// Below this many pixels a model is counted in full.
std::int64_t FullCountLimit(TSampledModel m);
// The coarse level n: the smallest n >= 1 with 2^n > min(w, h) / 10, at most 11.
int CoarseLevel(int width, int height);
// One pass over the grid of the given step, starting at the row and column that
// kind 0..3 selects (0/0, h/0, 0/h, h/h with h = step / 2).
void SamplePass(TModelCounts& counts, TSampledModel m, const TRasterView& im, int step, int kind);
// Whether the counts have stopped changing against the snapshot of the level before.
bool HSVConverged(const TModelCounts& current, const TModelCounts& snapshot);
bool LabConverged(const TModelCounts& current, const TModelCounts& snapshot);

// What one model's counting did, for tests and benchmarks.
struct TSampleStats {
    bool Full = false;      // every pixel counted in a single pass
    int CoarseLevel = 0;    // n, when sampled
    int ConvergedLevel = 0; // k at which the counts converged; 0 if no level did
    int Comparisons = 0;    // convergence tests made
};
TSampleStats AccumModel(TModelCounts& counts, TSampledModel m, const TRasterView& im);
// The same, adding the levels `coarse` holds for this raster as they are instead of
// reading their pixels again. The counts and statistics are the same.
TSampleStats AccumModel(TModelCounts& counts, TSampledModel m, const TRasterView& im,
                        const TCoarseSamples& coarse);

// Sets bins 0..3000 of every channel to 0; the parameters stay.
void ClearBins(TAllChanel& set);

} // namespace tonalyx
