#include "qt_raster.h"

#include <QFile>

#include <cstring>
#include <memory>

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

QImage PictureImage(const TPictureRef& picture) {
    if (!picture || picture->Pixels().IsNull())
        return {};
    const TRaster& pixels = picture->Pixels();
    auto* holder = new TPictureRef(picture);
    QImage image(
        pixels.Bits(), pixels.Width(), pixels.Height(), static_cast<qsizetype>(pixels.Stride()),
        QImage::Format_BGR888, [](void* held) { delete static_cast<TPictureRef*>(held); }, holder);
    if (image.isNull()) // Qt refused the size and so did not take the holder
        delete holder;
    return image;
}

TPictureRef PictureOfImage(const QImage& image) {
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull())
        return nullptr;
    TRaster pixels = TRaster::Allocate(bgr.width(), bgr.height());
    if (pixels.IsNull())
        return nullptr;
    const auto rowBytes = static_cast<std::size_t>(bgr.width()) * 3;
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(pixels.Row(y), bgr.constScanLine(y), rowBytes);
    auto hist = std::make_unique<THist>(); // too large for a worker's stack
    hist->Calc(Origin, pixels.View());
    return std::make_shared<const TPicture>(TPictureSource::Clipboard(), std::move(pixels),
                                            hist->Data[Origin]);
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

QString QtPathOf(const std::filesystem::path& path) {
#ifdef _WIN32
    return QString::fromStdWString(path.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

} // namespace tonalyx
