// The images beside the current one in its folder, decoded and counted on a worker thread
// while the user looks at the current one, so that a step to either costs no decoding.
// The work touches no widget and none of the program's long-lived objects: it counts
// with a THist of its own and hands its results over under a lock.
#pragma once

#include "background_tasks.h"
#include "decoder.h"
#include "display_copy.h"
#include "histogram.h"
#include "memory_room.h"
#include "picture.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

namespace tonalyx {

// A picture prepared for the window: the picture itself and the copy the image view shows of
// it (the picture's own pixels when small and plain), made in the form it is shown in.
struct TPreparedImage {
    TPictureRef Picture;
    QImage Preview;
    TDisplayForm Form;
};

// How far a decode has come: rows of the picture decoded, of its height (both 0 until the
// decoder reports rows). Written by the decoder, read by the main thread.
struct TOpenProgress {
    std::atomic<int> Rows{0};
    std::atomic<int> Height{0};
};

// Decodes and counts the file at path and reduces it to previewSide, the reduced copy made
// from the rows as they are decoded; why not, when it cannot be read, when admit refuses it
// (asked once its header is read, before its pixels are allocated), or when cancel is
// stopped on the way (the decoder stops at its next batch of rows). progress, when given,
// follows the decoding. developed makes a camera raw file's picture its development, not
// the camera's preview (other files are decoded as ever); its sensor is not read here (see
// ReadSensorOfFile). Runs on a worker thread.
TOutcome<std::shared_ptr<TPreparedImage>> OpenImageFile(const QString& path, int previewSide,
                                                        std::stop_token cancel,
                                                        TOpenProgress* progress = nullptr,
                                                        const TAdmission& admit = {},
                                                        bool developed = false);
// The same for a picture from the clipboard: made 24-bit, counted and reduced.
TOutcome<std::shared_ptr<TPreparedImage>> PreparePicture(const QImage& picture, int previewSide,
                                                         std::stop_token cancel);

// What the sensor of a camera raw file recorded, read from the file (the picture shown is its
// preview or development): its histogram and its photosites; none when it cannot be read,
// which leaves the picture without them and says why in the log. Asks cancel as it goes;
// runs on a worker thread.
struct TSensorKept {
    std::shared_ptr<const TSensorHistogram> Histogram;
    std::shared_ptr<const TSensorMosaic> Mosaic;
};
TSensorKept ReadSensorOfFile(const QString& path, const std::function<bool()>& cancel);

// Why the file at path could not be opened, with the technical detail, for whoever asks the
// log (tonalyx.opening, at info).
void LogCannotOpen(const QString& path, const TFailure& failure);

// OpenImageFile for the preparer, with a camera raw file's sensor read beside it: null when
// the file cannot be read or admit refuses it (the direct open then says why) or when cancel
// is stopped on the way. Runs on a worker thread.
using TPrepareFunction = std::function<std::shared_ptr<TPreparedImage>(
    const QString& path, int previewSide, std::stop_token cancel, const TAdmission& admit,
    bool developed)>;
std::shared_ptr<TPreparedImage> PrepareImageFile(const QString& path, int previewSide,
                                                 std::stop_token cancel,
                                                 const TAdmission& admit = {},
                                                 bool developed = false);

// At most MaxHeld paths are held, each waiting, being prepared or prepared; one task at a
// time prepares them, in the order wanted, on a low-priority worker. So at most two decoded
// pictures exist here at any time: a preparation dropped while it runs finishes before the
// next one starts. What they hold is counted against the room they are given before a
// picture is decoded: a neighbour that would not fit in it, or in the memory left, is not
// prepared (its direct open decodes it, or says why not). Every public method runs on the thread
// that made the object (the main thread); the preparations hand their results over under a lock, so
// that Take can wait for one under way.
class TNeighbourPreparer {
  public:
    static constexpr int MaxHeld = 2;

    static constexpr std::int64_t Unbounded = INT64_MAX;

    explicit TNeighbourPreparer(TPrepareFunction prepare = PrepareImageFile,
                                TMemoryLeft memoryLeft = MemoryLeftBytes);
    // Drops everything; waits only for a decode in progress to reach its end (cancelled
    // preparations skip their counting and reduction).
    ~TNeighbourPreparer();
    TNeighbourPreparer(const TNeighbourPreparer&) = delete;
    TNeighbourPreparer& operator=(const TNeighbourPreparer&) = delete;

    // Holds exactly these paths (the first MaxHeld), in this order of preparation; a path
    // held already keeps its preparation, the others are dropped. New preparations start
    // once this thread's event loop has run the events queued before. The prepared pictures
    // together hold at most room bytes (counted as OpenBytes counts them).
    void Want(const QStringList& paths, int previewSide, std::int64_t room = Unbounded);
    // Camera raw files are prepared developed from now on, or as their previews. The raw
    // files held are dropped, prepared or not, so that Take never hands out the other
    // picture of one; the other files keep their preparations.
    void SetDeveloped(bool developed);
    // Takes the prepared image of path out. Waits when its preparation is under way; null
    // when path is not held, has not started, could not be read, or its file has changed.
    std::shared_ptr<TPreparedImage> Take(const QString& path);
    // When the preparation of path is under way or started: true, and done is called on
    // this thread once it has ended or was dropped. Otherwise false, and Take does not wait
    // for it. One at a time: a later call replaces the earlier one's done, and an empty path
    // forgets it.
    bool WhenPrepared(const QString& path, std::function<void()> done);

    // Called on this object's thread after a preparation that is still held has ended.
    void SetOnPrepared(std::function<void(const QString& path)> onPrepared);
    // Paths held, and paths held and prepared (for tests and the benchmark).
    QStringList Held() const;
    bool IsPrepared(const QString& path) const;
    // Whether every path held is prepared or given up (for the benchmarks).
    bool Settled() const;
    // What the held preparations hold, or have been let take, in bytes.
    std::int64_t HeldBytes() const;

  private:
    enum class TStage { Waiting, Running, Done };
    struct TSlot {
        QString Path;
        std::uint64_t Id = 0;
        TStage Stage = TStage::Waiting;
        TTaskId Task = 0;                       // its preparation once started; main thread
        std::shared_ptr<TPreparedImage> Result; // once Done; null: cannot be read
        std::int64_t Bytes = 0;                 // what it was let take, once its size is known
    };

    // Main thread: starts the first waiting slot's preparation unless one is under way.
    void StartNext();
    // Worker thread: prepares the slot unless it was dropped; true when the slot got its result.
    bool Prepare(std::uint64_t id, const QString& path, int previewSide, bool developed,
                 std::stop_token cancel);
    // Main thread: a preparation that was not cancelled has ended.
    void Prepared(std::uint64_t id);
    // Main thread: the awaited path has been prepared or dropped.
    void AwaitedEnded(const QString& path);
    std::vector<TSlot>::iterator Find(const QString& path);
    std::vector<TSlot>::iterator FindId(std::uint64_t id);
    // Worker thread: whether the slot's picture fits beside what the others hold.
    std::optional<TFailure> Admit(std::uint64_t id, int width, int height,
                                  std::int64_t decoderBytes, int previewSide);

    const TPrepareFunction FPrepare;
    const TMemoryLeft FMemoryLeft;
    std::function<void(const QString&)> FOnPrepared; // main thread only
    QString FAwaited;                                // main thread: WhenPrepared's path
    std::function<void()> FAwaitedDone;              // and what it calls
    TTaskId FRunning = 0; // main thread: the task of a held slot, until it reports or is dropped
    bool FGo = false;     // main thread: waiting slots may start (set by a queued call after Want)
    QObject FContext;     // queued calls to the main thread die with it

    mutable std::mutex FMutex;      // guards the slots' stages and results
    std::condition_variable FEnded; // the main thread: a preparation has ended
    std::vector<TSlot> FSlots;
    std::uint64_t FNextId = 1;
    int FPreviewSide = 0;
    std::int64_t FRoom = Unbounded;
    bool FDeveloped = false; // main thread; given to each preparation as it starts

    // Last: destroyed first, so no preparation runs once the members above go.
    TBackgroundTasks FTasks{{.MaxThreads = 1, .LowPriority = true}};
};

} // namespace tonalyx
