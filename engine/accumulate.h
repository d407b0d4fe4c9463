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

// Full counts of the three primaries. Rows may be added in any order and in parts,
// e.g. while a decoder is still producing later rows.
class TPrimaryCounts {
  public:
    TPrimaryCounts();
    void AddRows(const TRasterView& im, int firstRow, int rowCount);
    void Add(const TPrimaryCounts& other);

    using THistogram = std::array<std::uint32_t, 256>;
    THistogram R() const { return FRed; }
    THistogram G() const;
    THistogram B() const;

  private:
    // Green and blue are counted as pairs: one counter step for two bytes, which is what
    // limits the speed. 256 KiB, folded into the two histograms on request.
    std::vector<std::uint32_t> FGreenBlue; // [green * 256 + blue]
    THistogram FRed{};
};
// Counts every pixel, splitting the rows over the available cores.
TPrimaryCounts CountPrimaries(const TRasterView& im);

enum class TSampledModel { HSV, Lab };

// The three channels of one sampled model.
struct TModelCounts {
    THistValues First{}, Second{}, Third{}; // H, S, V or L, A, B_
};

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

// Sets bins 0..3000 of every channel to 0; the parameters stay.
void ClearBins(TAllChanel& set);

} // namespace tonalyx
