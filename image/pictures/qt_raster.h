// Between the Qt-free decoders and the window: pictures as QImage, paths as QString.
#pragma once

#include "histogram.h"
#include "picture.h"
#include "raster.h"

#include <QImage>
#include <QString>

#include <filesystem>

namespace tonalyx {

// The raster as a Format_BGR888 QImage that takes over its buffer without copying it and
// frees it when its last copy goes; a null raster gives a null image.
QImage ToQImage(TRaster&& raster);

// The picture's pixels as a Format_BGR888 QImage that shares them, keeping the picture alive
// while any copy of the image lives; a write to the image detaches it. A null picture gives a
// null image.
QImage PictureImage(const TPictureRef& picture);

// A pasted picture made one the program holds: converted to 24-bit and counted. Null when it
// cannot be converted (out of memory, or a null image).
TPictureRef PictureOfImage(const QImage& image);

// The engine's view of a Format_BGR888 picture.
TRasterView RasterOf(const QImage& image);

// The path the decoders open for a file name as Qt spells it, and back.
std::filesystem::path PathOf(const QString& path);
QString QtPathOf(const std::filesystem::path& path);

} // namespace tonalyx
