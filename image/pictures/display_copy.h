// How the image view shows a picture: upright, as its Exif orientation says, and converted
// to sRGB from the colour space its file names. Only the view's copy is turned and
// converted, never the picture the engine counts.
#pragma once

#include "colour_profile.h"
#include "picture.h"
#include "picture_meta.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

namespace tonalyx {

class TDisplayForm {
  public:
    TDisplayForm() = default; // the stored values, upright as stored (a pasted picture)
    // The form the picture at path (named only for the log) asks for. A colour profile that
    // cannot be used is reported as a warning in tonalyx.pictures and left aside: the stored
    // values are shown. Any thread; cheap to copy.
    TDisplayForm(const TPictureMeta& meta, const QString& path);

    int Orientation() const { return FOrientation; }
    // The colour space's name when it is not sRGB ("Adobe RGB (1998)"); empty for sRGB.
    QString ColourSpaceName() const { return FName; }
    // The size a stored picture of this size is shown at.
    QSize ShownSize(QSize stored) const;
    // image (the stored picture or a reduced copy of it) as the view shows it: a new image
    // unless there is nothing to turn or convert. Any thread.
    QImage Apply(const QImage& image) const;
    // image turned upright only, its values untouched (an overlay made from the stored
    // picture or a reduced copy of it). Any thread.
    QImage Upright(const QImage& image) const;
    // The stored pixel that the upright picture shows at `shown`, for a stored picture of
    // size `stored`; `shown` must lie inside ShownSize(stored).
    QPoint StoredPoint(QPoint shown, QSize stored) const;

  private:
    int FOrientation = 1;
    TColourSpace FSpace;
    QString FName;
};

// The stored pixel a view shows at pos (in the view's pixels) when it shows the picture
// upright as form says, stretched to fill target; nothing outside target.
std::optional<QPoint> StoredPixelAt(QPointF pos, const QRect& target, QSize stored,
                                    const TDisplayForm& form);

// What imMain shows of a 24-bit picture: its reduced copy (TRowReducer's, as an open makes
// it from the decoder's rows), turned and converted as form says, and that copy's size. Any
// thread; an open makes it on its worker, so the window's thread only does so when the copy
// was made for another screen.
QImage DisplayCopy(const QImage& image, int previewSide, const TDisplayForm& form);
// The same of a picture the program holds: of one with alpha, a 32-bit copy with that alpha
// (QImage::Format_ARGB32), which the view draws over its background.
QImage DisplayCopy(const TPictureRef& picture, int previewSide, const TDisplayForm& form);
QSize DisplayCopySize(QSize image, int previewSide, const TDisplayForm& form);

} // namespace tonalyx
