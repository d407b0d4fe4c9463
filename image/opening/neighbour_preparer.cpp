#include "neighbour_preparer.h"

#include "byte_source.h"
#include "display_copy.h"
#include "image_loader.h"
#include "input_file.h"
#include "joined_thread.h"
#include "open_reasons.h"
#include "opening_log.h"
#include "qt_raster.h"
#include "reduced_copy.h"
#include "sensor_count.h"
#include "ucache.h"
#include "ufiles.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

namespace tonalyx {

namespace {

TFailure Cancelled() {
    return {"The opening was cancelled", {}};
}

} // namespace

TOutcome<std::shared_ptr<TPreparedImage>> OpenImageFile(const QString& path, int previewSide,
                                                        std::stop_token cancel,
                                                        TOpenProgress* progress,
                                                        const TAdmission& admit, bool developed) {
    auto prepared = std::make_shared<TPreparedImage>();
    const std::filesystem::path file = PathOf(path);
    const TFileStamp stamp = StampOf(file);
    // The reduced copy is made from the rows as they come, beside the decoder and the
    // counting, so that it is ready about when the decoding ends.
    std::optional<TRowReducer> reducer(std::in_place, previewSide);
    QImage preview;
    TLoadHooks hooks;
    hooks.Cancel = cancel;
    hooks.Admit = admit;
    hooks.Developed = developed;
    hooks.Rows = [&reducer, progress](const TRaster& image, int first, int count) {
        reducer->Add(image, first, count);
        if (progress) {
            progress->Height.store(image.Height(), std::memory_order_relaxed);
            progress->Rows.store(first + count, std::memory_order_relaxed);
        }
    };
    hooks.RowsEnd = [&reducer, &preview](bool decoded) {
        if (decoded)
            preview = reducer->Finish();
        reducer.reset(); // its thread ends before the rows can go
    };
    TOutcome<TLoadedImage> loaded = DecodeAndCount(file, hooks);
    if (cancel.stop_requested())
        return Cancelled();
    if (!loaded.Ok())
        return loaded.Error();
    prepared->Form = TDisplayForm(loaded->Image.Meta(), path);
    // The same counting as a direct open's, with an engine of this thread's own.
    auto hist = std::make_unique<THist>();
    hist->CalcCounted(Origin, loaded->Image.View(), loaded->Primaries);
    prepared->Picture = std::make_shared<const TPicture>(
        TPictureSource::File(file, stamp), std::move(loaded->Image), hist->Data[Origin]);
    hist.reset();
    if (cancel.stop_requested())
        return Cancelled();
    // Turned upright and converted to sRGB here, on the worker: the window only shows it.
    prepared->Preview = preview.isNull() // a BMP, or a picture small enough to be its own
                            ? DisplayCopy(prepared->Picture, previewSide, prepared->Form)
                            : prepared->Form.Apply(preview);
    return prepared;
}

TOutcome<std::shared_ptr<TPreparedImage>> PreparePicture(const QImage& picture, int previewSide,
                                                         std::stop_token cancel) {
    auto prepared = std::make_shared<TPreparedImage>();
    prepared->Picture = PictureOfImage(picture);
    if (!prepared->Picture)
        return TOutcome<std::shared_ptr<TPreparedImage>>::Failure(
            "The clipboard holds no picture that can be read");
    if (cancel.stop_requested())
        return Cancelled();
    // shown as it is
    prepared->Preview = DisplayCopy(prepared->Picture, previewSide, {});
    return prepared;
}

void LogCannotOpen(const QString& path, const TFailure& failure) {
    qCInfo(OpeningLog).noquote() << "cannot open" << path
                                 << QString::fromStdString(DescribeFailure(failure));
}

TSensorKept ReadSensorOfFile(const QString& path, const TCancelCheck& cancel) {
    TInputFile input(PathOf(path));
    if (!input.IsOpen())
        return {};
    TFileBytes bytes(input);
    TOutcome<TSensorReading> read = ReadSensor(bytes, cancel);
    if (!read.Ok()) {
        if (!cancel())
            qCInfo(OpeningLog).noquote() << "no sensor histogram for" << path
                                         << QString::fromStdString(DescribeFailure(read.Error()));
        return {};
    }
    TSensorKept kept;
    kept.Histogram = std::make_shared<const TSensorHistogram>(std::move(read->Histogram));
    if (!read->Mosaic.Empty())
        kept.Mosaic = std::make_shared<const TSensorMosaic>(std::move(read->Mosaic));
    return kept;
}

std::shared_ptr<TPreparedImage> PrepareImageFile(const QString& path, int previewSide,
                                                 std::stop_token cancel, const TAdmission& admit,
                                                 bool developed) {
    if (!StampOf(PathOf(path)).Valid)
        return nullptr;
    // A camera raw file's sensor is read beside the decoding of its picture, on a thread of
    // its own: a prepared neighbour is shown with both.
    TSensorKept sensor;
    std::atomic<bool> pictureFailed = false;
    TJoinedThread sensorRead;
    if (TFiles::HasDevelopment(path))
        sensorRead.Start([&] {
            sensor = ReadSensorOfFile(path, [&] {
                return cancel.stop_requested() || pictureFailed.load(std::memory_order_relaxed);
            });
        });
    TOutcome<std::shared_ptr<TPreparedImage>> prepared =
        OpenImageFile(path, previewSide, cancel, nullptr, admit, developed);
    if (!prepared.Ok()) { // the direct open meets it again and says so
        pictureFailed = true;
        qCDebug(OpeningLog).noquote() << "neighbour not prepared:" << path
                                      << QString::fromStdString(DescribeFailure(prepared.Error()));
        return nullptr;
    }
    if (sensorRead.Running())
        sensorRead.Join();
    if (cancel.stop_requested())
        return nullptr;
    (*prepared)->Picture->SetSensor(sensor.Histogram, sensor.Mosaic);
    return std::move(prepared).Value();
}

TNeighbourPreparer::TNeighbourPreparer(TPrepareFunction prepare, TMemoryLeft memoryLeft)
    : FPrepare(std::move(prepare)), FMemoryLeft(std::move(memoryLeft)) {}

TNeighbourPreparer::~TNeighbourPreparer() {
    std::vector<TSlot> dropped;
    {
        std::lock_guard lock(FMutex);
        dropped.swap(FSlots); // a preparation under way finds its slot gone and frees its result
    }
}

void TNeighbourPreparer::SetOnPrepared(std::function<void(const QString&)> onPrepared) {
    FOnPrepared = std::move(onPrepared);
}

std::vector<TNeighbourPreparer::TSlot>::iterator TNeighbourPreparer::Find(const QString& path) {
    return std::find_if(FSlots.begin(), FSlots.end(),
                        [&path](const TSlot& s) { return s.Path == path; });
}

std::vector<TNeighbourPreparer::TSlot>::iterator TNeighbourPreparer::FindId(std::uint64_t id) {
    return std::find_if(FSlots.begin(), FSlots.end(), [id](const TSlot& s) { return s.Id == id; });
}

void TNeighbourPreparer::Want(const QStringList& paths, int previewSide, std::int64_t room) {
    bool waiting = false;
    std::vector<TTaskId> cancelled;
    std::vector<std::shared_ptr<TPreparedImage>> dropped;
    {
        std::lock_guard lock(FMutex);
        FPreviewSide = previewSide;
        FRoom = room;
        std::vector<TSlot> kept;
        for (const QString& path : paths.mid(0, MaxHeld)) {
            if (std::any_of(kept.begin(), kept.end(),
                            [&path](const TSlot& s) { return s.Path == path; }))
                continue;
            const auto held = Find(path);
            if (held != FSlots.end()) {
                kept.push_back(std::move(*held));
                FSlots.erase(held);
            } else {
                kept.push_back({path, FNextId++, TStage::Waiting, 0, nullptr});
            }
            waiting = waiting || kept.back().Stage == TStage::Waiting;
        }
        for (TSlot& s : FSlots) {
            if (s.Task)
                cancelled.push_back(s.Task);
            if (s.Result)
                dropped.push_back(std::move(s.Result));
        }
        FSlots = std::move(kept);
        if (!FAwaited.isEmpty() && Find(FAwaited) == FSlots.end())
            QMetaObject::invokeMethod(
                &FContext, [this, path = FAwaited] { AwaitedEnded(path); }, Qt::QueuedConnection);
        // New work starts once the events queued so far, the repaint of the picture just
        // shown among them, have run: the work would otherwise take a core from it.
        FGo = false;
    }
    for (const TTaskId task : cancelled) {
        FTasks.Cancel(task);
        if (task == FRunning)
            FRunning = 0;
    }
    if (!dropped.empty()) // tens of megabytes: freed on the worker, not on this thread
        FTasks.Start([dropped = std::move(dropped)](std::stop_token) mutable { dropped.clear(); });
    if (!waiting)
        return;
    QMetaObject::invokeMethod(
        &FContext,
        [this] {
            FGo = true;
            StartNext();
        },
        Qt::QueuedConnection);
}

void TNeighbourPreparer::SetDeveloped(bool developed) {
    if (developed == FDeveloped)
        return;
    FDeveloped = developed;
    QStringList kept;
    for (const QString& path : Held())
        if (!TFiles::HasDevelopment(path))
            kept << path;
    Want(kept, FPreviewSide, FRoom);
}

void TNeighbourPreparer::StartNext() {
    if (!FGo || FRunning != 0)
        return;
    std::uint64_t id = 0;
    QString path;
    int previewSide = 0;
    const bool developed = FDeveloped;
    {
        std::lock_guard lock(FMutex);
        const auto next = std::find_if(FSlots.begin(), FSlots.end(), [](const TSlot& s) {
            return s.Stage == TStage::Waiting && s.Task == 0;
        });
        if (next == FSlots.end())
            return;
        id = next->Id;
        path = next->Path;
        previewSide = FPreviewSide;
    }
    FRunning = FTasks.Start(
        [this, id, path, previewSide, developed](std::stop_token cancel) {
            return Prepare(id, path, previewSide, developed, std::move(cancel));
        },
        [this, id](TOutcome<bool>) { Prepared(id); });
    std::lock_guard lock(FMutex);
    FindId(id)->Task = FRunning; // only this thread removes slots
}

bool TNeighbourPreparer::Prepare(std::uint64_t id, const QString& path, int previewSide,
                                 bool developed, std::stop_token cancel) {
    {
        std::lock_guard lock(FMutex);
        const auto slot = FindId(id);
        if (slot == FSlots.end() || slot->Stage != TStage::Waiting)
            return false; // dropped or taken before it began
        slot->Stage = TStage::Running;
    }
    std::shared_ptr<TPreparedImage> prepared;
    const TAdmission admit = [this, id, previewSide](int width, int height,
                                                     std::int64_t decoderBytes) {
        return Admit(id, width, height, decoderBytes, previewSide);
    };
    try {
        prepared = FPrepare(path, previewSide, cancel, admit, developed);
    } catch (...) { // out of memory, say: the direct open meets it again and says so
        qCDebug(OpeningLog).noquote()
            << "neighbour not prepared:" << path
            << QString::fromStdString(DescribeFailure(FailureOf(std::current_exception())));
        prepared.reset();
    }
    std::unique_lock lock(FMutex);
    const auto slot = FindId(id);
    if (slot == FSlots.end()) { // dropped meanwhile: freed here, outside the lock
        lock.unlock();
        prepared.reset();
        return false;
    }
    slot->Stage = TStage::Done;
    slot->Result = std::move(prepared);
    slot->Bytes =
        slot->Result ? TCache::EntryBytes({slot->Result->Picture, slot->Result->Preview, {}}) : 0;
    FEnded.notify_all();
    return true;
}

std::optional<TFailure> TNeighbourPreparer::Admit(std::uint64_t id, int width, int height,
                                                  std::int64_t decoderBytes, int previewSide) {
    const std::uint64_t memoryLeft = FMemoryLeft ? FMemoryLeft() : MemoryLeftBytes();
    std::lock_guard lock(FMutex);
    const auto slot = FindId(id);
    if (slot == FSlots.end())
        return DecodingCancelled(); // dropped meanwhile
    std::int64_t others = 0;
    for (const TSlot& s : FSlots)
        if (s.Id != id)
            others += s.Bytes;
    const std::int64_t room =
        FRoom == Unbounded ? Unbounded : std::max<std::int64_t>(FRoom - others, 0);
    // The decoder's own memory counts until the preparation ends, like the picture's.
    const std::int64_t bytes = OpenBytes(width, height, previewSide) + decoderBytes;
    std::optional<TFailure> refusal =
        WhyNotFits(width, height, previewSide, {memoryLeft, room - decoderBytes}, decoderBytes);
    if (!refusal)
        slot->Bytes = bytes;
    return refusal;
}

void TNeighbourPreparer::Prepared(std::uint64_t id) {
    FRunning = 0;
    QString path;
    {
        std::lock_guard lock(FMutex);
        const auto slot = FindId(id);
        if (slot != FSlots.end() && slot->Stage == TStage::Done)
            path = slot->Path;
    }
    if (!path.isEmpty() && FOnPrepared)
        FOnPrepared(path);
    AwaitedEnded(path);
    StartNext();
}

bool TNeighbourPreparer::WhenPrepared(const QString& path, std::function<void()> done) {
    FAwaited.clear();
    FAwaitedDone = {};
    if (path.isEmpty())
        return false;
    {
        std::lock_guard lock(FMutex);
        // Under way, or about to be: only one slot at a time has a task, and it starts
        // as soon as the worker takes it.
        const auto slot = Find(path);
        if (slot == FSlots.end() || slot->Stage == TStage::Done ||
            (slot->Stage == TStage::Waiting && slot->Task == 0))
            return false;
    }
    FAwaited = path;
    FAwaitedDone = std::move(done);
    return true;
}

void TNeighbourPreparer::AwaitedEnded(const QString& path) {
    if (path.isEmpty() || path != FAwaited)
        return;
    FAwaited.clear();
    // Moved out first: it may call back into this object.
    const std::function<void()> done = std::exchange(FAwaitedDone, {});
    if (done)
        done();
}

std::shared_ptr<TPreparedImage> TNeighbourPreparer::Take(const QString& path) {
    std::shared_ptr<TPreparedImage> prepared;
    TTaskId unstarted = 0;
    {
        std::unique_lock lock(FMutex);
        auto slot = Find(path);
        if (slot == FSlots.end())
            return nullptr;
        const std::uint64_t id = slot->Id;
        // Only this thread removes slots, so the slot outlives the wait.
        FEnded.wait(lock, [this, id] { return FindId(id)->Stage != TStage::Running; });
        slot = FindId(id);
        if (slot->Stage == TStage::Waiting)
            unstarted = slot->Task;
        prepared = std::move(slot->Result);
        FSlots.erase(slot);
    }
    if (unstarted) { // its preparation is not needed any more; the next one may start
        FTasks.Cancel(unstarted);
        if (unstarted == FRunning)
            FRunning = 0;
        StartNext();
    }
    // A file removed or rewritten since it was read is opened afresh, as it would be
    // without preparation.
    if (prepared && StampOf(PathOf(path)) != prepared->Picture->Source().Stamp())
        return nullptr;
    return prepared;
}

QStringList TNeighbourPreparer::Held() const {
    std::lock_guard lock(FMutex);
    QStringList paths;
    for (const TSlot& s : FSlots)
        paths << s.Path;
    return paths;
}

bool TNeighbourPreparer::Settled() const {
    std::lock_guard lock(FMutex);
    return std::all_of(FSlots.begin(), FSlots.end(),
                       [](const TSlot& s) { return s.Stage == TStage::Done; });
}

std::int64_t TNeighbourPreparer::HeldBytes() const {
    std::lock_guard lock(FMutex);
    std::int64_t bytes = 0;
    for (const TSlot& s : FSlots)
        bytes += s.Bytes;
    return bytes;
}

bool TNeighbourPreparer::IsPrepared(const QString& path) const {
    std::lock_guard lock(FMutex);
    return std::any_of(FSlots.begin(), FSlots.end(), [&path](const TSlot& s) {
        return s.Path == path && s.Stage == TStage::Done && s.Result;
    });
}

} // namespace tonalyx
