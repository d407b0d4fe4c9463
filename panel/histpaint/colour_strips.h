// The colour strips under the hue, a* and b* histograms, generated at start-up.
// Every row of a strip is the same; the panel shows them stretched into 3-px strips.
#pragma once

#include <QColor>
#include <QImage>

namespace tonalyx {

inline constexpr int HueStripWidth = 234, HueStripHeight = 10;
inline constexpr int LabStripWidth = 256, LabStripHeight = 19;
// The lightness of the a* and b* strips.
inline constexpr double LabStripLightness = 53.75;

// The hue circle at full saturation and brightness along the hue axis, 1.25° at the
// left column to 357.95° at the right one.
QImage HueStrip();
// Column x: L* = LabStripLightness, a* = x − 128, b* = 0, clipped to the sRGB gamut.
QImage LabAStrip();
// Column x: L* = LabStripLightness, a* = 0, b* = x − 128, clipped to the sRGB gamut.
QImage LabBStrip();

// The colour of one column, for the strips and their tests.
QColor HueStripColour(int x);
// L*a*b* relative to a D50 white, adapted to the sRGB white, each linear component
// clipped to 0..1 before the transfer curve.
QColor LabToSRGB(double L, double a, double b);

} // namespace tonalyx
