// Making a file or a clipboard picture the current image: the one funnel through which
// the open dialog, drops, the command line, the recent list, previous/next and paste pass.
// Runs on the user-interface thread; it owns no widgets and talks to the window through
// TOpenerView, so it is tested without one. Decoding, counting and reducing run on a worker
// (see TBackgroundTasks): this thread starts an open and takes its finished result in, so
// the window answers meanwhile; another open, a step or a cancel ends an open under way.
#pragma once

#include "background_tasks.h"
#include "current_hist.h"
#include "display_copy.h"
#include "memory_room.h"
#include "neighbour_preparer.h"
#include "ufiles.h"

#include <QElapsedTimer>
#include <QImage>
#include <QSet>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace tonalyx {

class TCache;

// "Cannot open NAME: reason" for a failure to open the file at path.
QString CannotOpenText(const QString& path, const QString& reason);
// CannotOpenText for a file whose extension names none of the formats: "Cannot open NAME:
// not a JPEG or BMP file".
QString NotAnImageText(const QString& path);

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
    virtual void RedrawHistograms() = 0;                       // THist::Show of the display copy
    virtual void SetAppTitle(const TPictureSource& shown) = 0; // none before the first picture
    // As shown: turned upright; a camera raw file's says which picture of it is shown.
    virtual void ShowImageSize(QSize size, TRawRendition rendition) = 0;
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
    // After every picture shown: whether no pixel of it is counted, as when every pixel is
    // transparent; its histograms are then empty.
    virtual void ShowNothingCounted(bool nothing) { (void)nothing; }
    // How far a long open has come; an empty text once it has ended.
    virtual void ShowProgress(const QString& text) { (void)text; }
    // The sensor's reading of the camera raw file shown has arrived after its picture: the
    // picture's Sensor() and Mosaic() are now set.
    virtual void SensorArrived() {}
};

// Decodes, counts and reduces the file at path on a worker (see OpenImageFile), asking admit
// before the picture is allocated.
using TOpenFunction = std::function<TOutcome<std::shared_ptr<TPreparedImage>>(
    const QString& path, int previewSide, std::stop_token cancel, TOpenProgress* progress,
    const TAdmission& admit, bool developed)>;

// The status bar's text for an open under way for this long, or an empty text while it is
// too short to be worth one. name is the file's name, empty for a pasted picture.
QString OpenProgressText(const QString& name, const TOpenProgress* progress, std::int64_t ms);

// Reads a camera raw file's sensor on a worker (see ReadSensorOfFile), asking cancel.
using TSensorFunction =
    std::function<TSensorKept(const QString& path, const std::function<bool()>& cancel)>;

class TImageOpener {
  public:
    // With a preparer, the previous and next image of the folder are prepared while the
    // current one is shown (it is released with the opener). open decodes (tests replace it).
    // A file whose picture would not fit in the memory left (memoryLeft says how much that
    // is; tests replace it) or in the cache's bound is refused before it is decoded; room is
    // made in the cache for it first, its dropped pictures freed.
    TImageOpener(TCurrentHist& hist, TFiles& files, TCache& cache, TOpenerView& view,
                 std::unique_ptr<TNeighbourPreparer> preparer = nullptr,
                 TOpenFunction open = OpenImageFile, TMemoryLeft memoryLeft = MemoryLeftBytes);
    // Cancels an open under way: its decoder stops at its next batch of rows, and nothing
    // of it is shown.
    ~TImageOpener();

    // Makes the image file at path the current image. A revisited path comes from the
    // cache without reading the file; failures beep and keep the previous image. The file
    // is decoded on a worker, ending any open under way first.
    void LoadImageFile(const QString& path);
    // Makes a clipboard picture the current image; a null image is a failed paste, told
    // with failure where the clipboard said why (its owner did not answer, say).
    void PasteImage(const QImage& clipboardImage, const QString& failure = {});
    // Steps to the previous or next image of the folder, or beeps. During an open it steps
    // from the file being opened; when that has no such neighbour, the open goes on.
    void ShowNeighbor(TNeighbor neighbor);
    // A key pressed anywhere in the window: a navigation key steps (or beeps when no image
    // was shown yet, whatever the commands' states), Escape cancels an open; false for any
    // other key, and for Escape when nothing was opening.
    bool KeyDown(int key);
    // Ends the open under way, leaving everything as its failure would, without the beep.
    // False when nothing was opening.
    bool CancelOpen();

    // Whether camera raw files are shown developed from their sensor's data rather than as
    // the camera's previews; off at first. Switching it shows the current raw file's other
    // picture (opened as any file: on the worker, cancelled by Escape, the picture shown kept
    // when it fails), and every raw file opened or stepped to after it.
    void SetDeveloped(bool developed);
    bool Developed() const { return FDeveloped; }

    bool IsOpening() const { return FOpening.has_value(); }
    // Called each time an open ends: shown, failed or cancelled (the window, tests).
    void SetOnSettled(std::function<void()> onSettled) { FOnSettled = std::move(onSettled); }
    // The picture shown; null before the first one.
    const TPictureRef& CurrentPicture() const { return FPicture; }
    // Where it came from; none before the first picture.
    TPictureSource CurrentSource() const {
        return FPicture ? FPicture->Source() : TPictureSource();
    }
    // Its pixels as an image sharing them.
    const QImage& CurrentImage() const { return FCurrent; }
    const TDisplayForm& CurrentForm() const { return FForm; }
    TNeighbourPreparer* Preparer() const { return FPreparer.get(); }
    // How a raw file's sensor is read (tests replace it).
    void SetSensorReader(TSensorFunction read) { FReadSensor = std::move(read); }

  private:
    // An open under way: a decode on the worker, or a neighbour's preparation awaited.
    struct TOpening {
        std::uint64_t Id = 0;
        QString Path; // empty for a pasted picture
        TTaskId Task = 0;
        std::shared_ptr<TOpenProgress> Progress;
    };

    // Shows the wait cursor, takes the image commands away and starts the progress clock.
    // Every opening ends in EndOpening and then, once what it leaves is in place, Settled.
    void BeginOpening(const QString& path);
    // Restores the cursor and the status bar; the opening is over.
    void EndOpening();
    // Ends an open under way as its failure would, without the beep and without preparing
    // the neighbours; false when nothing was opening.
    bool Abandon();
    void StartDecode(const QString& path);
    // Worker thread, once a file's header gives its size: has this thread make room for it in
    // the cache and waits until what that dropped is freed, then asks whether it fits.
    std::optional<TFailure> Admit(int width, int height, std::int64_t decoderBytes, int previewSide,
                                  std::stop_token cancel);
    // Drops cached pictures until one of `bytes` fits beside them and the prepared
    // neighbours; made is set once the dropped pictures are freed.
    struct TRoomMade;
    void MakeRoom(std::int64_t bytes, const std::shared_ptr<TRoomMade>& made);
    // The worker's result for the file being opened; main thread.
    void Opened(std::uint64_t id, TOutcome<std::shared_ptr<TPreparedImage>> result);
    void Pasted(std::uint64_t id, TOutcome<std::shared_ptr<TPreparedImage>> result);
    // A neighbour's preparation awaited by an open has ended.
    void NeighbourArrived(std::uint64_t id);
    void UpdateProgress();
    void Settled();
    // Hands pictures that are no longer shown to a worker, which frees them.
    void Dispose(TPictureRef picture, QImage image, QImage preview);

    // The rest of a decode once the picture is counted: cache, commands, title, recent list.
    void Decoded(const QString& path);
    void ShowPrepared(const QString& path, TPreparedImage& prepared);
    // Makes picture the current one, shown as form says, with its copy for the view: made
    // here unless preview fits this view; the pictures it replaces are freed on a worker.
    void ShowCurrent(TPictureRef picture, QImage preview, const TDisplayForm& form);
    // The picture at path is shown: says whether its file ended early.
    void NoteIncomplete(const QString& path, bool incomplete);
    // Prepares the current image's neighbours that the cache does not hold; drops the rest.
    void PrepareNeighbours();
    // The status bar's size and colour space of the current image.
    void ShowSizeAndSpace();
    // The cache's key of the file at path's picture as it is opened now (see SetDeveloped).
    QString CacheKey(const QString& path) const;
    // A camera raw file's sensor is read on a runner of its own, started with the picture's
    // decode, so that the picture is shown as soon as it is decoded and the sensor's
    // histogram joins it when it is read; a picture that arrives second takes it at once.
    void ReadSensor(const QString& path);
    // After a picture is shown: gives it the sensor read for it, or starts reading it when
    // it is a raw file's without one; drops a reading for any other file.
    void AttachSensor();
    void SensorRead(std::uint64_t id, TSensorKept kept);

    TCurrentHist& FHist;
    TFiles& FFiles;
    TCache& FCache;
    TOpenerView& FView;
    std::unique_ptr<TNeighbourPreparer> FPreparer;
    const TOpenFunction FOpen;
    const TMemoryLeft FMemoryLeft;
    const std::int64_t FCacheBound; // read on the worker: the cache's bound never changes
    TPictureRef FPicture;           // what the engine counted
    QImage FCurrent;                // FPicture's pixels as an image
    QImage FPreview; // the copy of FPicture the view shows (a file's; kept in the cache)
    // How FCurrent is shown, upright and in sRGB: FPreview is made in it.
    TDisplayForm FForm;
    QSet<QString> FIncomplete; // the cache keys of pictures that ended early, for cache hits
    bool FDeveloped = false;
    std::optional<TOpening> FOpening;
    // The sensor being read, or read for a picture not yet taken in.
    struct TSensorReading {
        std::uint64_t Id = 0;
        QString Path;
        TTaskId Task = 0; // 0 once read
        TSensorKept Kept;
    };
    std::optional<TSensorReading> FSensor;
    TSensorFunction FReadSensor = ReadSensorOfFile;
    std::uint64_t FNextId = 1;
    std::uint64_t FNeighboursAsked = 0; // PrepareNeighbours' calls, the latest one counts
    std::function<void()> FOnSettled;
    QTimer FProgressTimer;
    QElapsedTimer FOpenClock;

    // Where the worker asks this thread to make room; its calls die with it.
    QObject FRoomContext;
    // Last: destroyed first, so no work runs once the members above go. One open at a
    // time: a cancelled decode returns before the next one starts, so two large pictures
    // never compete for the memory. Replaced pictures are freed by a thread of their own.
    TBackgroundTasks FDisposal{{.MaxThreads = 1, .LowPriority = true}};
    TBackgroundTasks FTasks{{.MaxThreads = 1}};
    TBackgroundTasks FSensorTasks{{.MaxThreads = 1}};
};

} // namespace tonalyx
