// Counting the pixels of a raster into the ten channels.
//
// R, G and B (and their sum) are counted over every pixel. HSV and L*a*b*, whose
// conversions cost far more, are counted in full only for small rasters; larger ones
// are sampled on a regular grid that is refined level by level until the shape of the
// histogram stops changing.
//
// A pixel that its raster's coverage leaves out (TCoverage, histogram.h) is counted in none
// of the ten channels, at every sample level: the counts are those of the picture without it.
#pragma once

#include "histogram.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonalyx {

enum class TSampledModel { HSV, Lab };

// The three channels of one sampled model.
struct TModelCounts {
    THistValues First{}, Second{}, Third{}; // H, S, V or L, A, B_
};

// The sample levels of one model that a count over a raster's rows takes: Finest up to
// Coarsest, none when Coarsest is 0.
struct TLevelRange {
    int Finest = 0, Coarsest = 0;
    bool Empty() const { return Coarsest == 0; }
    friend bool operator==(const TLevelRange&, const TLevelRange&) = default;
};

// Sample levels of the two sampled models' grids, counted row by row while a raster
// arrives (from a decoder), so that the counting after its last row need not read those
// pixels again.
//
// The passes of level k (see AccumModel) add the pixels whose coordinates are both
// multiples of 2^(k-1) but not both multiples of 2^k; those of the coarse level n add every
// pixel whose coordinates are both multiples of 2^(n-1). Each pixel thus belongs to a single
// level, and the levels from n down to k sum to AccumModel's counts at level k, whatever
// order the rows came in. A model that a raster of its size counts in full has the single
// level 1, which takes every pixel.
class TCoarseSamples {
  public:
    TCoarseSamples() = default; // counts nothing
    // The levels from the coarse one down to FinestLevel (or the coarse one alone, when
    // it is finer) of a width x height raster, for each model that such a raster samples
    // rather than counts in full.
    TCoarseSamples(int width, int height);
    // The given levels of each model ([HSV, L*a*b*]); each range must lie within the
    // model's levels for a raster of this size.
    TCoarseSamples(int width, int height, const TLevelRange (&levels)[2]);

    // Each row of the raster must be added once, in any order. A raster of another size
    // leaves nothing counted.
    void AddRows(const TRasterView& im, int firstRow, int rowCount);
    // The same for a band of rows alone: band's row 0 is the raster's row firstRow.
    void AddBand(const TRasterView& band, int firstRow);
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
    int FTop[2] = {};       // per model: the level that takes the coarser pixels too
    TLevelRange FRanges[2]; // per model: the levels counted
    int FFinest = 0;        // the finest level of either model; 0 when nothing is counted
    std::int64_t FRowsAdded = 0;
    std::vector<TModelCounts> FLevels[2]; // [model][Coarsest - k]
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

// One thread's share of a pass over a picture's rows (see TStreamedCounts): what it counts
// of the rows it is given. Made by TStreamedCounts::NewTally.
class TRowTally {
  public:
    // Rows [firstRow, firstRow + band.Height) of the picture, band's row 0 being row
    // firstRow. Every row of the picture goes to one tally of the pass, once.
    void AddRows(const TRasterView& band, int firstRow);
    // Takes in another tally of the same pass.
    void Add(const TRowTally& other);

  private:
    friend class TStreamedCounts;
    TRowTally(int width, int height, bool primaries, const TLevelRange (&levels)[2]);

    int FWidth = 0, FHeight = 0;
    std::int64_t FRows = 0;                   // rows added, in every tally taken in
    std::optional<TPrimaryCounts> FPrimaries; // on the first pass only
    TCoarseSamples FLevels;
};

// The counts of a picture made from its rows alone, in passes over them, for a caller that
// never holds the whole picture (a decoder hands it over in bands of rows, and decodes it
// again for another pass). The first pass counts the primaries and the sample levels from
// the coarse one down to the first whose grid holds SettlingSamples pixels, or down to
// CheapestLevel (FirstPassLevel); a further pass counts one finer level, only when the
// convergence rule asks for it. The ten channels come out as THist::Calc's of the whole
// picture, bin for bin.
class TStreamedCounts {
  public:
    TStreamedCounts(int width, int height);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    // Whether another pass over every row is needed; NewTally gives what it counts,
    // AddPass takes the sum of its tallies.
    bool NeedsPass() const;
    TRowTally NewTally() const;
    // False, taking nothing, when the tally is not of this picture's next pass or did not
    // see as many rows as the picture has.
    bool AddPass(TRowTally&& pass);

    // Once no pass is needed: the primaries, and the sampled models' counts and statistics
    // as AccumModel gives them.
    const TPrimaryCounts& Primaries() const { return *FPrimaries; }
    const TModelCounts& Model(TSampledModel m) const { return FModels[static_cast<int>(m)]; }
    const TSampleStats& Stats(TSampledModel m) const { return FStats[static_cast<int>(m)]; }
    int Passes() const { return static_cast<int>(FLevels.size()); }

    // Photographs settle their shape with a few hundred thousand samples (sixteen of 1 to
    // 18 megapixels took from 36,000 to 280,000): a first pass that counts this many makes
    // a second one rare.
    static constexpr std::int64_t SettlingSamples = 300'000;
    // Below level 3 a grid holds a quarter or more of the pixels, whose conversions take
    // longer than decoding them: no first pass counts them.
    static constexpr int CheapestLevel = 3;
    // The finest level the first pass counts of a model whose coarse level is n.
    static int FirstPassLevel(int width, int height, int n);

  private:
    TLevelRange NextLevels(int model) const;
    void Walk(int model);

    int FWidth = 0, FHeight = 0;
    int FTop[2] = {};     // per model: its coarsest level (1 when it is counted in full)
    bool FDone[2] = {};   // per model: its counts are final
    int FMissing[2] = {}; // per model, while not done: the level the next pass counts
    std::optional<TPrimaryCounts> FPrimaries;
    std::vector<TCoarseSamples> FLevels; // the levels of each pass so far
    TModelCounts FModels[2];
    TSampleStats FStats[2];
};

// Sets bins 0..3000 of every channel to 0; the parameters stay.
void ClearBins(TAllChanel& set);

} // namespace tonalyx
