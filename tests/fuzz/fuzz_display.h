// What both decoder fuzzers do with a decoded picture's metadata: the orientation must be
// one of the eight, and the colour space is judged and applied to the first rows, as the
// image view's copy would be.
#pragma once

#include "colour_profile.h"
#include "raster.h"

#include <algorithm>
#include <vector>

namespace tonalyx::fuzz {

inline void ShowAsTheViewWould(const TRaster& image) {
    const TPictureMeta& meta = image.Meta();
    if (meta.Orientation < 1 || meta.Orientation > 8)
        __builtin_trap();
    const TOutcome<TColourSpace> space = TColourSpace::Of(meta);
    if (space.Ok() != space.Reason().empty()) // a failure always says why
        __builtin_trap();
    if (!space.Ok() || !space->Converts())
        return;
    // A few rows are enough to run the transform; the whole picture would slow the fuzzer.
    TRasterView rows = image.View();
    rows.Height = std::min(rows.Height, 8);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(rows.Width) * 3 * rows.Height);
    space->ToSrgb(rows, out.data(), std::ptrdiff_t{rows.Width} * 3);
}

} // namespace tonalyx::fuzz
