// The image control of one histogram.
#include "hist_image.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace tonalyx {

bool PaintableSize(QSize size) {
    const std::int64_t bytes = std::int64_t{std::max(size.width(), 0)} *
                               std::max(size.height(), 0) * static_cast<std::int64_t>(sizeof(QRgb));
    return bytes <= std::numeric_limits<int>::max();
}

THistImage::THistImage(const QColor& background)
    : FBackground(background), FPen(background.rgb()) {}

void THistImage::SetControlSize(QSize size) {
    FControl = size.expandedTo(QSize(0, 0));
}

void THistImage::ResizePicture() {
    const int h = std::max(FControl.height() - 1, 0), w = std::max(FControl.width() - 1, 0);
    if (FPicture.height() == h && FPicture.width() == w)
        return;
    FPicture = PaintableSize(QSize(w, h)) ? QImage(w, h, QImage::Format_RGB32) : QImage();
    FMissing = FPicture.isNull() && w > 0 && h > 0;
    FPicture.fill(FBackground);
    Changed(FPicture.rect());
}

void THistImage::Clear() {
    FPicture.fill(FBackground);
    Changed(FPicture.rect());
}

void THistImage::VerticalLine(int x, int yFrom, int yTo) {
    if (x < 0 || x >= FPicture.width())
        return;
    const TRowSpan rows = VerticalLineRows(yFrom, yTo, FPicture.height());
    for (int y = rows.First; y <= rows.Last; ++y)
        reinterpret_cast<QRgb*>(FPicture.scanLine(y))[x] = FPen;
    if (rows.Last >= rows.First)
        Changed(QRect(x, rows.First, 1, rows.Last - rows.First + 1));
}

void THistImage::Changed(const QRect& part) const {
    if (FChanged)
        FChanged(part);
}

} // namespace tonalyx
