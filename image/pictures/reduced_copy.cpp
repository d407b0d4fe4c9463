#include "reduced_copy.h"

#include <algorithm>

namespace tonalyx {

QSize ReducedCopySize(QSize image, int previewSide) {
    if (previewSide <= 0 || std::max(image.width(), image.height()) <= previewSide)
        return image;
    return image.scaled(previewSide, previewSide, Qt::KeepAspectRatio);
}

QImage ReducedCopy(const QImage& image, int previewSide) {
    const QSize size = ReducedCopySize(image.size(), previewSide);
    if (size == image.size())
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace tonalyx
