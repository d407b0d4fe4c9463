// The clipped pixels of a picture as an overlay for the image view: red where a stored pixel
// holds 255 in any primary (a highlight lost), blue where it holds 0 in any (a shadow lost),
// magenta where the pixels a shown pixel stands for hold both. The mask is made from the
// stored values at full resolution, then reduced and turned like the view's copy.
#pragma once

#include "display_copy.h"
#include "histogram.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <stop_token>
#include <vector>

namespace tonalyx {

enum TClipBit : std::uint8_t { ClipShadow = 1, ClipHighlight = 2 };

// The clip bits of each pixel of a reduced copy of size `reduced`, row by row: the OR over
// the stored pixels it stands for (stored column x belongs to reduced column
// x × reduced width / stored width, and so for rows). Empty when stop is requested or a
// size is empty. A pixel the coverage leaves out (transparent) clips nothing. Any thread;
// reads each stored pixel once.
std::vector<std::uint8_t> ClipBlocks(const TRasterView& stored, QSize reduced,
                                     std::stop_token stop = {});

// The overlay colour of a pixel's clip bits; transparent for none.
QRgb ClipColour(std::uint8_t bits);

// The overlay of the picture the view shows as DisplayCopy(stored, previewSide, form): of
// that copy's size and upright like it, transparent where nothing is clipped. Null when
// stopped or for a null picture. Any thread; the picture must outlive the call.
QImage ClippingOverlay(const TRasterView& stored, int previewSide, const TDisplayForm& form,
                       std::stop_token stop = {});

// The overlay of the clip bits of a reduced copy of size `reduced` (row by row), each pixel
// coloured by colour, turned upright by form. Null for no bits. Any thread.
QImage OverlayOfClipBits(const std::vector<std::uint8_t>& bits, QSize reduced,
                         QRgb (*colour)(std::uint8_t), const TDisplayForm& form);

} // namespace tonalyx
