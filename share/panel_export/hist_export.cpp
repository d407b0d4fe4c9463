#include "hist_export.h"

namespace tonalyx {

TPngResult EncodePngImage(const QImage& image) {
    // Qt gives no picture of fewer than 16 bits per pixel here, so the palette form of the
    // export never arises: every snapshot is truecolour.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    return EncodePng(TRgbRows{rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine()});
}

std::unique_ptr<QBuffer> THistExport::HistToPngStream(QString* error) const {
    const TPngResult png = EncodePngImage(MakeHistBitmap());
    if (!png.Ok()) {
        if (error)
            *error = QString::fromStdString(png.Reason());
        return nullptr;
    }
    auto stream = std::make_unique<QBuffer>();
    stream->open(QIODevice::ReadWrite);
    stream->write(reinterpret_cast<const char*>(png->data()), static_cast<qint64>(png->size()));
    return stream;
}

} // namespace tonalyx
