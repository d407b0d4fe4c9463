// A rectangle of a picture's stored raster, counted as a picture of its own.
#pragma once

#include "histogram.h"

#include <optional>
#include <string>
#include <string_view>

namespace tonalyx {

// Coordinates are those of the stored raster (before any turn the file asks for).
struct TRegion {
    int X = 0, Y = 0, Width = 0, Height = 0;
    friend bool operator==(const TRegion&, const TRegion&) = default;
};

// "X,Y,W,H": four decimal integers, X and Y at least 0, W and H at least 1; nothing else
// (no spaces, signs or overflow).
std::optional<TRegion> ParseRegion(std::string_view text);
// The same form back, "X,Y,W,H".
std::string RegionText(const TRegion& region);

// Whether the region lies wholly within a width x height picture.
bool RegionFits(const TRegion& region, int width, int height);
// The rows and columns of im inside region, which must fit (RegionFits).
TRasterView CropView(const TRasterView& im, const TRegion& region);

} // namespace tonalyx
