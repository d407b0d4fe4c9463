// Decoding an image file chosen by its extension, with its primaries counted on the way.
#pragma once

#include "engine/accumulate.h"
#include "image/decoder.h"

namespace tonalyx {

struct TLoadedImage {
    TDecodeResult Decoded;
    // Full red, green and blue counts of Decoded.Image when it is Ok(); for a JPEG also the
    // coarse sample levels of HSV and L*a*b*, counted while the rows arrived.
    TPrimaryCounts Primaries;
};

// Decodes path as JPEG or BMP by its extension alone (the content is never sniffed);
// an unaccepted extension fails with a reason. JPEG rows are counted while later
// rows are still being decoded, on a second thread.
TLoadedImage DecodeAndCount(const QString& path);

// The engine's view of a decoded picture (Format_BGR888).
TRasterView RasterOf(const QImage& image);

} // namespace tonalyx
