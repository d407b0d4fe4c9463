// The histogram export: the picture of the histogram panel as shown, and that picture as
// PNG. Main thread only.
#pragma once

#include "png_encoder.h"

#include <QBuffer>
#include <QImage>
#include <QString>

#include <functional>
#include <memory>

namespace tonalyx {

// The picture as PNG bytes, or why it could not be made.
TPngResult EncodePngImage(const QImage& image);

class THistExport {
  public:
    // picture draws the panel as it is shown now (HistPanelImage of the window's panel).
    explicit THistExport(std::function<QImage()> picture) : FPicture(std::move(picture)) {}

    // The panel's picture: exactly width × height of the panel at device pixel ratio 1,
    // whether or not the window is covered or partly off the screen. 32 bits per pixel,
    // no alpha.
    QImage MakeHistBitmap() const { return FPicture(); }
    // The picture as a PNG in a memory stream positioned at its end (a reader rewinds it);
    // nullptr with error set when encoding failed.
    std::unique_ptr<QBuffer> HistToPngStream(QString* error = nullptr) const;

  private:
    std::function<QImage()> FPicture;
};

} // namespace tonalyx
