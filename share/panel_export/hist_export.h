// The histogram export: a pixel-exact snapshot of the histogram panel as shown, and that
// snapshot as PNG. Main thread only: it renders a widget.
#pragma once

#include "png_encoder.h"

#include <QBuffer>
#include <QImage>
#include <QString>

#include <memory>

class QWidget;

namespace tonalyx {

// The snapshot as PNG bytes, or why it could not be made.
TPngResult EncodePngImage(const QImage& image);

class THistExport {
  public:
    explicit THistExport(QWidget& panel) : FPanel(panel) {}

    // The panel with its children, rendered off-screen after laying out whatever is
    // pending: exactly width × height of the panel at device pixel ratio 1, whether or not
    // the window is covered or partly off the screen. 32 bits per pixel, no alpha.
    QImage MakeHistBitmap() const;
    // The snapshot as a PNG in a memory stream positioned at its end (a reader rewinds it);
    // nullptr with error set when encoding failed.
    std::unique_ptr<QBuffer> HistToPngStream(QString* error = nullptr) const;

  private:
    QWidget& FPanel;
};

} // namespace tonalyx
