// Conversion of one pixel (8-bit red, green, blue) into a bin of each of the
// HSV and L*a*b* channels. The R, G and B bins are the bytes themselves.
//
// Bins: H = hue in quarter degrees (0..1439, shown 0..1436), S = saturation x 600,
// V = largest component x 600/255, L = L* x 6, A = 2a* + 256, B = 2b* + 256.
#pragma once

#include "rounding.h"

#include <cstdint>

namespace tonalyx {

struct TMaxMin {
    int Max;
    int Min;
};
TMaxMin RGBMaxMin(int r, int g, int b);

// The straightforward formulas, in extended precision.
std::uint16_t HueIndex(int r, int g, int b, TMaxMin mm);
std::uint16_t SatIndex(TMaxMin mm);
std::uint16_t ValIndex(TMaxMin mm);

// sRGB component (0..255) to linear light x 100: the IEC 61966-2-1 curve.
Extended LinearComponent(int v);

struct TXYZ {
    Extended X, Y, Z; // Y = 100 for the display white
};
TXYZ RGBToXYZ(int r, int g, int b);

struct TLabF {
    Extended fx, fy, fz;
};
// f(t) of the CIE 1976 definition: linear below 0.008856, cube root above.
Extended LabF(Extended t);
TLabF XYZToLabF(const TXYZ& xyz); // D65 white: 95.047, 100, 108.883

std::uint16_t LIndex(const TLabF& f);
std::uint16_t AIndex(const TLabF& f);
std::uint16_t BIndex(const TLabF& f);

// The three bins of one model for one pixel. These are the paths the counting
// uses: table-driven where that is faster, always bin-identical to the formulas above.
struct TModelBins {
    std::uint16_t a, b, c; // H, S, V or L, A, B_
    friend bool operator==(const TModelBins&, const TModelBins&) = default;
};
TModelBins HSVBins(int r, int g, int b);
TModelBins LabBins(int r, int g, int b);

} // namespace tonalyx
