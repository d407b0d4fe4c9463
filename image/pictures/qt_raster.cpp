#include "qt_raster.h"

#include <QFile>

namespace tonalyx {

QImage ToQImage(TRaster&& raster) {
    if (raster.IsNull())
        return {};
    const int width = raster.Width();
    const int height = raster.Height();
    const auto stride = static_cast<qsizetype>(raster.Stride());
    std::uint8_t* bits = raster.Release();
    QImage image(bits, width, height, stride, QImage::Format_BGR888, &TRaster::Free, bits);
    if (image.isNull()) // Qt refused the size and so did not take the buffer
        TRaster::Free(bits);
    return image;
}

TRasterView RasterOf(const QImage& image) {
    return {image.width(), image.height(), image.constBits(), image.bytesPerLine()};
}

std::filesystem::path PathOf(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    // The bytes Qt itself would open the file by.
    const QByteArray name = QFile::encodeName(path);
    return std::filesystem::path(
        std::string(name.constData(), static_cast<std::size_t>(name.size())));
#endif
}

} // namespace tonalyx
