#include "neighbour_preparer.h"

#include "image_loader.h"
#include "prefault.h"
#include "qt_raster.h"
#include "reduced_copy.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace tonalyx {

TFileStamp StampOf(const QString& path) {
    const std::filesystem::path file = PathOf(path);
    std::error_code error;
    TFileStamp stamp;
    stamp.Size = std::filesystem::file_size(file, error);
    if (error)
        return {};
    stamp.Modified = std::filesystem::last_write_time(file, error);
    stamp.Valid = !error;
    return stamp;
}

std::shared_ptr<TPreparedImage> PrepareImageFile(const QString& path, int previewSide,
                                                 const std::atomic<bool>& cancelled) {
    auto prepared = std::make_shared<TPreparedImage>();
    prepared->Stamp = StampOf(path);
    if (!prepared->Stamp.Valid)
        return nullptr;
    TLoadedImage loaded = DecodeAndCount(PathOf(path));
    if (!loaded.Decoded.Ok() || cancelled)
        return nullptr;
    prepared->Image = ToQImage(std::move(loaded.Decoded.Image));
    // The same counting as a direct open's, with an engine of this thread's own.
    auto hist = std::make_unique<THist>();
    hist->CalcCounted(Origin, RasterOf(prepared->Image), loaded.Primaries);
    prepared->Counts = hist->Data[Origin];
    if (cancelled)
        return nullptr;
    prepared->Preview = ReducedCopy(prepared->Image, previewSide);
    return prepared;
}

TNeighbourPreparer::TNeighbourPreparer(TPrepareFunction prepare)
    : FPrepare(std::move(prepare)), FWorker([this] { Run(); }) {}

TNeighbourPreparer::~TNeighbourPreparer() {
    std::vector<TSlot> dropped;
    {
        std::lock_guard lock(FMutex);
        FStop = true;
        FCancel = true;
        dropped.swap(FSlots);
    }
    FWake.notify_one();
    FWorker.join();
}

void TNeighbourPreparer::SetOnPrepared(std::function<void(const QString&)> onPrepared) {
    FOnPrepared = std::move(onPrepared);
}

std::vector<TNeighbourPreparer::TSlot>::iterator TNeighbourPreparer::Find(const QString& path) {
    return std::find_if(FSlots.begin(), FSlots.end(),
                        [&path](const TSlot& s) { return s.Path == path; });
}

void TNeighbourPreparer::Want(const QStringList& paths, int previewSide) {
    bool waiting = false;
    {
        std::lock_guard lock(FMutex);
        FPreviewSide = previewSide;
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
                kept.push_back({path, FNextId++, TStage::Waiting, nullptr});
            }
            waiting = waiting || kept.back().Stage == TStage::Waiting;
        }
        for (TSlot& s : FSlots) {
            if (s.Id == FRunningId)
                FCancel = true;
            if (s.Result) // tens of megabytes: the worker frees them, not this thread
                FDropped.push_back(std::move(s.Result));
        }
        FSlots = std::move(kept);
        // New work starts once the events queued so far, the repaint of the picture just
        // shown among them, have run: the worker would otherwise take a core from it.
        FGo = false;
    }
    if (!waiting) {
        FWake.notify_one(); // for the dropped ones
        return;
    }
    QMetaObject::invokeMethod(
        &FContext,
        [this] {
            {
                std::lock_guard lock(FMutex);
                FGo = true;
            }
            FWake.notify_one();
        },
        Qt::QueuedConnection);
}

std::shared_ptr<TPreparedImage> TNeighbourPreparer::Take(const QString& path) {
    std::shared_ptr<TPreparedImage> prepared;
    {
        std::unique_lock lock(FMutex);
        auto slot = Find(path);
        if (slot == FSlots.end())
            return nullptr;
        const std::uint64_t id = slot->Id;
        // Only this thread removes slots, so the slot outlives the wait.
        FEnded.wait(lock, [this, id] {
            return std::find_if(FSlots.begin(), FSlots.end(), [id](const TSlot& s) {
                       return s.Id == id;
                   })->Stage != TStage::Running;
        });
        slot = Find(path);
        prepared = std::move(slot->Result);
        FSlots.erase(slot);
    }
    // A file removed or rewritten since it was read is opened afresh, as it would be
    // without preparation.
    if (prepared && StampOf(path) != prepared->Stamp)
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

bool TNeighbourPreparer::IsPrepared(const QString& path) const {
    std::lock_guard lock(FMutex);
    return std::any_of(FSlots.begin(), FSlots.end(), [&path](const TSlot& s) {
        return s.Path == path && s.Stage == TStage::Done && s.Result;
    });
}

void TNeighbourPreparer::Run() {
    // Below the main thread, so the window stays responsive while a neighbour is decoded.
    MakeBackgroundThread();
    std::unique_lock lock(FMutex);
    for (;;) {
        const auto waiting = [this] {
            return std::find_if(FSlots.begin(), FSlots.end(),
                                [](const TSlot& s) { return s.Stage == TStage::Waiting; });
        };
        FWake.wait(
            lock, [&] { return FStop || !FDropped.empty() || (FGo && waiting() != FSlots.end()); });
        if (FStop)
            return;
        if (!FDropped.empty()) {
            std::vector<std::shared_ptr<TPreparedImage>> dropped;
            dropped.swap(FDropped);
            lock.unlock();
            dropped.clear();
            lock.lock();
            continue;
        }
        TSlot& slot = *waiting();
        slot.Stage = TStage::Running;
        const QString path = slot.Path;
        const std::uint64_t id = slot.Id;
        const int previewSide = FPreviewSide;
        FRunningId = id;
        FCancel = false;
        lock.unlock();

        std::shared_ptr<TPreparedImage> prepared;
        try {
            prepared = FPrepare(path, previewSide, FCancel);
        } catch (...) { // out of memory, say: the direct open meets it again and says so
            prepared.reset();
        }

        lock.lock();
        FRunningId = 0;
        const auto held =
            std::find_if(FSlots.begin(), FSlots.end(), [id](const TSlot& s) { return s.Id == id; });
        if (held == FSlots.end()) { // dropped meanwhile: free it outside the lock
            lock.unlock();
            prepared.reset();
            lock.lock();
            continue;
        }
        held->Stage = TStage::Done;
        held->Result = std::move(prepared);
        FEnded.notify_all();
        // Posted under the lock: the destructor takes it before it stops the worker, and
        // the context, destroyed after the worker has ended, discards calls not yet run.
        QMetaObject::invokeMethod(
            &FContext,
            [this, path] {
                if (FOnPrepared)
                    FOnPrepared(path);
            },
            Qt::QueuedConnection);
    }
}

} // namespace tonalyx
