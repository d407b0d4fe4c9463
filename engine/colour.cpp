#include "colour.h"

#include <algorithm>
#include <array>
#include <bit>

namespace tonalyx {

namespace {

std::uint16_t ClampBin(std::int64_t v, std::int64_t hi) {
    return static_cast<std::uint16_t>(std::clamp<std::int64_t>(v, 0, hi));
}

// Tables of functions of one or two bytes, filled once from the formulas above,
// so they hold exactly what the formulas give.
struct TTables {
    std::array<Extended, 256> Linear{};
    std::array<double, 256> LinearDouble{};
    std::array<std::uint16_t, 256> Val{};
    std::array<std::uint16_t, 256 * 256> Sat{}; // [max * 256 + min]

    TTables() {
        for (int v = 0; v < 256; ++v) {
            Linear[v] = LinearComponent(v);
            LinearDouble[v] = static_cast<double>(Linear[v]);
            Val[v] = ValIndex({v, 0});
            for (int m = 0; m <= v; ++m)
                Sat[v * 256 + m] = SatIndex({v, m});
        }
    }
};

const TTables& Tables() {
    static const TTables t;
    return t;
}

// The cube root of t for 2^-9 <= t < 2 (LabBins needs 0.008856 < t < 1.0002), in
// arithmetic alone: t = f * 2^e with f in [1, 2) and e = 3q + r, so that the root is
// f^(1/3) * 2^(r/3) * 2^q. A polynomial gives f^(1/3) to 1.5e-6, and one Halley step on t
// takes that to a few units in the last place. Three times faster than std::cbrt, and the
// same on every system, as it uses no maths library.
double CubeRoot(double t) {
    const auto bits = std::bit_cast<std::uint64_t>(t);
    const int e = static_cast<int>(bits >> 52) - 1023;
    const double f =
        std::bit_cast<double>((bits & 0x000F'FFFF'FFFF'FFFFull) | 0x3FF0'0000'0000'0000ull);
    const int q = (e + 9) / 3 - 3; // rounded down for e >= -9
    const int r = e - 3 * q;
    static constexpr double TwoToTheThirds[3] = {1.0, 1.2599210498948731648, 1.5874010519681994748};
    const double d = f - 1.5;
    double y = 1.1447129175081725 +
               d * (0.25438506200785044 +
                    d * (-0.05643529939168134 +
                         d * (0.020831391433597808 +
                              d * (-0.010275171613672479 + d * 0.005249168989898569))));
    y *= TwoToTheThirds[r] * std::bit_cast<double>(static_cast<std::uint64_t>(1023 + q) << 52);
    const double y3 = y * y * y;
    return y * (y3 + 2 * t) / (2 * y3 + t);
}

// Round(num / den) for num >= 0, den > 0, an exact half to the even neighbour.
int DivRoundHalfEven(int num, int den) {
    const int q = num / den;
    const int twiceRem = 2 * (num % den);
    if (twiceRem > den || (twiceRem == den && (q & 1)))
        return q + 1;
    return q;
}

} // namespace

TMaxMin RGBMaxMin(int r, int g, int b) {
    return {std::max({r, g, b}), std::min({r, g, b})};
}

std::uint16_t HueIndex(int r, int g, int b, TMaxMin mm) {
    if (mm.Max == mm.Min)
        return 0;
    const Extended d = mm.Max - mm.Min;
    Extended h;
    // A maximum shared by red and another component takes the red formula,
    // one shared by green and blue the green formula.
    if (mm.Max == r)
        h = g >= b ? 60 * (g - b) / d : 60 * (g - b) / d + 360;
    else if (mm.Max == g)
        h = 60 * (b - r) / d + 120;
    else
        h = 60 * (r - g) / d + 240;
    return static_cast<std::uint16_t>(RoundHalfEven(h * 4));
}

std::uint16_t SatIndex(TMaxMin mm) {
    if (mm.Max == 0)
        return 0;
    return static_cast<std::uint16_t>(
        RoundHalfEven((1 - static_cast<Extended>(mm.Min) / mm.Max) * 600));
}

std::uint16_t ValIndex(TMaxMin mm) {
    return static_cast<std::uint16_t>(RoundHalfEven(mm.Max * 2.3529411764705882354L));
}

Extended LinearComponent(int v) {
    const Extended c = static_cast<Extended>(v) / 255;
    const Extended lin =
        c <= 0.04045L ? c / 12.92L : std::exp(2.4L * std::log((c + 0.055L) / 1.055L));
    return lin * 100;
}

TXYZ RGBToXYZ(int r, int g, int b) {
    const auto& lin = Tables().Linear;
    const Extended lr = lin[r], lg = lin[g], lb = lin[b];
    return {0.4124L * lr + 0.3576L * lg + 0.1805L * lb, 0.2126L * lr + 0.7152L * lg + 0.0722L * lb,
            0.0193L * lr + 0.1192L * lg + 0.9505L * lb};
}

Extended LabF(Extended t) {
    if (t <= 0.008856L)
        return 7.787L * t + 16.0L / 116.0L;
    return std::exp(std::log(t) / 3);
}

TLabF XYZToLabF(const TXYZ& xyz) {
    return {LabF(xyz.X / 95.047L), LabF(xyz.Y / 100.0L), LabF(xyz.Z / 108.883L)};
}

std::uint16_t LIndex(const TLabF& f) {
    return ClampBin(RoundHalfEven((116 * f.fy - 16) * 6), 600);
}
std::uint16_t AIndex(const TLabF& f) {
    return ClampBin(RoundHalfEven((f.fx - f.fy) * 1000) + 256, 510);
}
std::uint16_t BIndex(const TLabF& f) {
    return ClampBin(RoundHalfEven((f.fy - f.fz) * 400) + 256, 510);
}

TModelBins HSVBins(int r, int g, int b) {
    const auto& t = Tables();
    const TMaxMin mm = RGBMaxMin(r, g, b);
    const int d = mm.Max - mm.Min;
    int hue = 0;
    if (d != 0) {
        // Hue x 4 = 240 x difference / d plus the sector's start; exact in integers.
        int num;
        if (mm.Max == r)
            num = g >= b ? 240 * (g - b) : 240 * (g - b) + 1440 * d;
        else if (mm.Max == g)
            num = 240 * (b - r) + 480 * d;
        else
            num = 240 * (r - g) + 960 * d;
        hue = DivRoundHalfEven(num, d);
    }
    return {static_cast<std::uint16_t>(hue), t.Sat[mm.Max * 256 + mm.Min], t.Val[mm.Max]};
}

// Double precision with the cube root above is ten times faster than the extended
// formulas and gives the same three bins for every one of the 2^24 colours (the colour
// tests check that exhaustively, so a different compiler or floating-point setting cannot
// break it unseen).
TModelBins LabBins(int r, int g, int b) {
    const auto& lin = Tables().LinearDouble;
    const double lr = lin[r], lg = lin[g], lb = lin[b];
    const double x = 0.4124 * lr + 0.3576 * lg + 0.1805 * lb;
    const double y = 0.2126 * lr + 0.7152 * lg + 0.0722 * lb;
    const double z = 0.0193 * lr + 0.1192 * lg + 0.9505 * lb;
    const auto f = [](double t) { return t <= 0.008856 ? 7.787 * t + 16.0 / 116.0 : CubeRoot(t); };
    const double fx = f(x / 95.047), fy = f(y / 100.0), fz = f(z / 108.883);
    return {ClampBin(RoundHalfEven((116 * fy - 16) * 6), 600),
            ClampBin(RoundHalfEven((fx - fy) * 1000) + 256, 510),
            ClampBin(RoundHalfEven((fy - fz) * 400) + 256, 510)};
}

} // namespace tonalyx
