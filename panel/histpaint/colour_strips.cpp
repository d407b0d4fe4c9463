// The colour strips under the hue, a* and b* histograms.
#include "colour_strips.h"

#include "rounding.h"

#include <algorithm>
#include <cmath>

namespace tonalyx {

namespace {

int Byte(double v) {
    return static_cast<int>(RoundHalfEven(std::clamp(v, 0.0, 255.0)));
}

// The hue at the first and last columns of the hue strip, in degrees. The strip begins a
// little past red and ends a little before it, so that its middle column is a shade past cyan.
constexpr double HueFirst = 1.25, HueLast = 357.95;

QImage FilledStrip(int width, int height, QColor (*colourOf)(int)) {
    QImage im(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const QRgb c = colourOf(x).rgb();
        for (int y = 0; y < height; ++y)
            reinterpret_cast<QRgb*>(im.scanLine(y))[x] = c;
    }
    return im;
}

// CIE f⁻¹: cube above 6/29, the linear segment below.
double LabFInverse(double t) {
    constexpr double d = 6.0 / 29.0;
    return t > d ? t * t * t : 3 * d * d * (t - 4.0 / 29.0);
}

// Linear light 0..1 to the sRGB transfer curve, clipped to the gamut.
double Encode(double c) {
    c = std::clamp(c, 0.0, 1.0);
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

QColor AStripColour(int x) {
    return LabToSRGB(LabStripLightness, x - 128, 0);
}
QColor BStripColour(int x) {
    return LabToSRGB(LabStripLightness, 0, x - 128);
}

} // namespace

QColor HueStripColour(int x) {
    const double h = HueFirst + (HueLast - HueFirst) * x / (HueStripWidth - 1);
    // Full saturation and value: one component at 255, one at 0, the third on the ramp.
    const double sector = h / 60;
    const int i = static_cast<int>(sector) % 6;
    const double f = sector - std::floor(sector);
    const int up = Byte(255 * f), down = Byte(255 * (1 - f));
    switch (i) {
    case 0:
        return QColor(255, up, 0);
    case 1:
        return QColor(down, 255, 0);
    case 2:
        return QColor(0, 255, up);
    case 3:
        return QColor(0, down, 255);
    case 4:
        return QColor(up, 0, 255);
    default:
        return QColor(255, 0, down);
    }
}

QColor LabToSRGB(double L, double a, double b) {
    const double fy = (L + 16) / 116;
    const double X = 0.96422 * LabFInverse(fy + a / 500);
    const double Y = LabFInverse(fy);
    const double Z = 0.82521 * LabFInverse(fy - b / 200);
    // D50 XYZ to linear sRGB (Bradford adaptation to D65 folded in).
    const double r = 3.1338561 * X - 1.6168667 * Y - 0.4906146 * Z;
    const double g = -0.9787684 * X + 1.9161415 * Y + 0.0334540 * Z;
    const double bl = 0.0719453 * X - 0.2289914 * Y + 1.4052427 * Z;
    return QColor(Byte(255 * Encode(r)), Byte(255 * Encode(g)), Byte(255 * Encode(bl)));
}

QImage HueStrip() {
    return FilledStrip(HueStripWidth, HueStripHeight, HueStripColour);
}
QImage LabAStrip() {
    return FilledStrip(LabStripWidth, LabStripHeight, AStripColour);
}
QImage LabBStrip() {
    return FilledStrip(LabStripWidth, LabStripHeight, BStripColour);
}

} // namespace tonalyx
