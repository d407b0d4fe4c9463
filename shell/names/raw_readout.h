// The raw values under the pointer, for the status bar's readout over a camera raw picture.
// No widgets.
#pragma once

#include "sensor_mosaic.h"

#include <QPoint>
#include <QSize>
#include <QString>

namespace tonalyx {

// The filter tile under stored pixel `stored` of a picture of `storedSize` (see
// SensorBlockAt): a 2×2 tile's values, "Raw R 3821 G 4095 G2 4011 B 1290"; a 6×6 tile's mean
// and largest value per colour, "Raw mean/max R 3810/4095 G 2011/2300 B 1200/1310"; a linear
// raw's pixel, "Raw R 3821 G 4095 B 1290". Empty for an empty mosaic.
QString RawReadoutText(const TSensorMosaic& mosaic, QPoint stored, QSize storedSize);

} // namespace tonalyx
