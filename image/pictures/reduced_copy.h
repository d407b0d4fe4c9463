// The reduced copy of a large picture that the image view shows in its place.
#pragma once

#include <QImage>
#include <QSize>

namespace tonalyx {

// image reduced smoothly to a long side of previewSide, or image itself when it is no
// larger (or previewSide is not positive). Runs on any thread.
QImage ReducedCopy(const QImage& image, int previewSide);
// The size ReducedCopy gives a picture of the given size.
QSize ReducedCopySize(QSize image, int previewSide);

} // namespace tonalyx
