// A colour space given by code points rather than a profile (HEIF's and AVIF's nclx box: the
// primaries' chromaticities and a transfer curve by number), made an ICC profile the display
// converts from like any embedded one.
#pragma once

#include "picture_meta.h"

#include <array>

namespace tonalyx {

struct TCodedColour {
    int Primaries = 2; // the primaries' code point: 1 BT.709 (sRGB's), 2 unspecified, ...
    int Transfer = 2;  // the transfer's: 13 sRGB's, 2 unspecified, 1/6/14/15 BT.709's, ...
    // Red, green, blue and white: x, y each, as the code point gives them.
    std::array<double, 8> Chromaticities{};
};

// Nothing for sRGB (primaries 1 or 2 with transfer 13 or 2); an ICC profile built with lcms2
// into meta.IccProfile for other primaries or curves it can describe; meta.ProfileProblem
// for curves it cannot (PQ, HLG, ...), whose values are then shown as stored.
void DescribeCodedColour(const TCodedColour& colour, TPictureMeta& meta);

} // namespace tonalyx
