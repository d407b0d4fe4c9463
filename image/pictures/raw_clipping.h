// What clipped in a camera's raw data, as an overlay for the image view: the photosites at or
// above the sensor's white level, painted per filter colour (red, green, blue, added where
// two or three colours clip: yellow, cyan, magenta, white), so that the camera preview's
// apparent clipping and the sensor's own can be told apart. The photosites are mapped onto
// the stored picture proportionally (a preview may be a little smaller than the sensor),
// reduced and turned like the view's copy.
#pragma once

#include "display_copy.h"
#include "sensor_mosaic.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <stop_token>
#include <vector>

namespace tonalyx {

enum TRawClipBit : std::uint8_t { RawClipRed = 1, RawClipGreen = 2, RawClipBlue = 4 };

// The raw clip bits of each pixel of a reduced copy of size `reduced`, row by row: the OR
// over the photosites it stands for (photosite column x belongs to reduced column
// x × reduced width / mosaic width, and so for rows; where the copy is the larger, a reduced
// pixel takes the photosite its left or top edge lies on), widened for a mosaic to the whole
// blocks of the filter they lie in (2×2, or 3×3 of a 6×6 tile, each holding every colour).
// Both greens of a 2×2 pattern are green. Empty when stop is requested or a size is empty.
// Any thread; reads each photosite about once when the copy is reduced.
std::vector<std::uint8_t> RawClipBlocks(const TSensorMosaic& mosaic, QSize reduced,
                                        std::stop_token stop = {});

// The overlay colour of raw clip bits: the clipped colours added; transparent for none.
QRgb RawClipColour(std::uint8_t bits);

// The overlay of a raw picture whose stored pixels are of size `stored`, as the view shows it
// with DisplayCopy(stored picture, previewSide, form): of that copy's size and upright like
// it. Null when stopped or for an empty mosaic. Any thread; the mosaic must outlive the call.
QImage RawClippingOverlay(const TSensorMosaic& mosaic, QSize stored, int previewSide,
                          const TDisplayForm& form, std::stop_token stop = {});

} // namespace tonalyx
