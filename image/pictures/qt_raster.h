// Between the Qt-free decoders and the window: pictures as QImage, paths as QString.
#pragma once

#include "histogram.h"
#include "raster.h"

#include <QImage>
#include <QString>

#include <filesystem>

namespace tonalyx {

// The raster as a Format_BGR888 QImage that takes over its buffer without copying it and
// frees it when its last copy goes; a null raster gives a null image.
QImage ToQImage(TRaster&& raster);

// The engine's view of a Format_BGR888 picture.
TRasterView RasterOf(const QImage& image);

// The path the decoders open for a file name as Qt spells it.
std::filesystem::path PathOf(const QString& path);

} // namespace tonalyx
