// Making a file or a clipboard picture the current image: the one funnel through which
// the open dialog, drops, the command line, the recent list, previous/next and paste pass.
// Runs on the user-interface thread; it owns no widgets and talks to the window through
// TOpenerView, so it is tested without one.
#pragma once

#include "engine/histogram.h"
#include "image/ufiles.h"

#include <QImage>
#include <QString>

namespace tonalyx {

class TCache;

// "Cannot open NAME: reason" for a failure to open the file at path.
QString CannotOpenText(const QString& path, const QString& reason);

// What opening an image asks of the main window.
class TOpenerView {
  public:
    virtual ~TOpenerView() = default;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void SetImgCtrl(bool NewState, bool NavigationIsOff) = 0;
    virtual void ShowImage(const QImage& image) = 0; // imMain's picture
    virtual void RedrawHistograms() = 0;             // THist::Show of the display copy
    virtual void SetAppTitle() = 0;
    virtual void ShowImageSize(QSize size) = 0;
    virtual void HideWelcome() = 0;
    virtual void RememberRecentImage(const QString& path) = 0;
    // Beeps and says why for a few seconds (the desktop's bell is often muted).
    virtual void Fail(const QString& reason) = 0;
};

class TImageOpener {
  public:
    TImageOpener(THist& hist, TFiles& files, TCache& cache, TOpenerView& view);

    // Makes the image file at path the current image. A revisited path comes from the
    // cache without reading the file; failures beep and keep the previous image.
    void LoadImageFile(const QString& path);
    // Makes a clipboard picture the current image; a null image is a failed paste.
    void PasteImage(const QImage& clipboardImage);
    // Steps to the previous or next image of the folder, or beeps.
    void ShowNeighbor(TNeighbor neighbor);

    const QImage& CurrentImage() const { return FCurrent; }

  private:
    // Counts the current image and redraws; the primaries may already be counted.
    void CountAndShow(const TPrimaryCounts* primaries);

    THist& FHist;
    TFiles& FFiles;
    TCache& FCache;
    TOpenerView& FView;
    QImage FCurrent; // 24-bit, bytes blue, green, red: what the engine counted
};

} // namespace tonalyx
