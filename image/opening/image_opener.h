// Making a file or a clipboard picture the current image: the one funnel through which
// the open dialog, drops, the command line, the recent list, previous/next and paste pass.
// Runs on the user-interface thread; it owns no widgets and talks to the window through
// TOpenerView, so it is tested without one.
#pragma once

#include "current_hist.h"
#include "display_copy.h"
#include "neighbour_preparer.h"
#include "ufiles.h"

#include <QImage>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace tonalyx {

class TCache;

// "Cannot open NAME: reason" for a failure to open the file at path.
QString CannotOpenText(const QString& path, const QString& reason);

// The step a navigation key asks for (a Qt::Key): Page Up, Left and Up the previous image,
// Page Down, Right and Down the next; nothing for any other key. Modifiers do not matter.
std::optional<TNeighbor> NeighborOfKey(int key);

// What opening an image asks of the main window.
class TOpenerView {
  public:
    virtual ~TOpenerView() = default;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void SetImgCtrl(bool NewState, bool NavigationIsOff) = 0;
    virtual void ShowImage(const QImage& image) = 0; // imMain's picture
    // The same with the reduced copy that imMain shows already made for PreviewSide().
    virtual void ShowPreparedImage(const QImage& image, const QImage& preview) {
        (void)preview;
        ShowImage(image);
    }
    // The long side imMain reduces large pictures to; 0 when it shows them as they are.
    virtual int PreviewSide() const { return 0; }
    virtual void RedrawHistograms() = 0; // THist::Show of the display copy
    virtual void SetAppTitle() = 0;
    virtual void ShowImageSize(QSize size) = 0; // as shown: turned upright
    // The colour space the picture's values are in when it is not sRGB (its profile's name);
    // empty for sRGB. Called after each ShowImageSize.
    virtual void ShowColourSpace(const QString& name) { (void)name; }
    virtual void HideWelcome() = 0;
    virtual void RememberRecentImage(const QString& path) = 0;
    // Beeps and says why for a few seconds (the desktop's bell is often muted).
    virtual void Fail(const QString& reason) = 0;
    // After every picture shown (a load, a cache hit, a paste): whether its file ended early,
    // so that it is decoded only as far as its data went.
    virtual void ShowIncomplete(bool incomplete) { (void)incomplete; }
};

class TImageOpener {
  public:
    // With a preparer, the previous and next image of the folder are prepared while the
    // current one is shown (it is released with the opener).
    TImageOpener(TCurrentHist& hist, TFiles& files, TCache& cache, TOpenerView& view,
                 std::unique_ptr<TNeighbourPreparer> preparer = nullptr);
    ~TImageOpener();

    // Makes the image file at path the current image. A revisited path comes from the
    // cache without reading the file; failures beep and keep the previous image.
    void LoadImageFile(const QString& path);
    // Makes a clipboard picture the current image; a null image is a failed paste.
    void PasteImage(const QImage& clipboardImage);
    // Steps to the previous or next image of the folder, or beeps.
    void ShowNeighbor(TNeighbor neighbor);
    // A key pressed anywhere in the window: a navigation key steps (or beeps when no image
    // was shown yet, whatever the commands' states); false for any other key.
    bool KeyDown(int key);

    const QImage& CurrentImage() const { return FCurrent; }
    TNeighbourPreparer* Preparer() const { return FPreparer.get(); }

  private:
    // Counts the current image and redraws; the primaries may already be counted.
    void CountAndShow(const TPrimaryCounts* primaries);
    // The rest of a decode once the picture is counted: cache, commands, title, recent list.
    void Decoded(const QString& path);
    void ShowPrepared(const QString& path, TPreparedImage& prepared);
    // Shows FCurrent with its reduced copy, made here unless preview fits this view.
    void ShowCurrent(QImage preview);
    // The picture at path is shown: says whether its file ended early.
    void NoteIncomplete(const QString& path, bool incomplete);
    // Prepares the current image's neighbours that the cache does not hold; drops the rest.
    void PrepareNeighbours();
    // The status bar's size and colour space of the current image.
    void ShowSizeAndSpace();

    TCurrentHist& FHist;
    TFiles& FFiles;
    TCache& FCache;
    TOpenerView& FView;
    std::unique_ptr<TNeighbourPreparer> FPreparer;
    QImage FCurrent; // 24-bit, bytes blue, green, red: what the engine counted
    QImage FPreview; // the reduced copy of FCurrent shown (a file's; kept in the cache)
    // How FCurrent is shown, upright and in sRGB: FPreview is made in it.
    TDisplayForm FForm;
    QSet<QString> FIncomplete; // the files of this run that ended early, for cache hits
};

} // namespace tonalyx
