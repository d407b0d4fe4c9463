#include "streamed_count.h"

#include "image_format.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <system_error>
#include <utility>

namespace tonalyx {

TBandCounter::~TBandCounter() {
    Stop();
}

bool TBandCounter::Start(int width, int height) {
    if (!FCounts) {
        FCounts.emplace(width, height);
    } else if (FCounts->Width() != width || FCounts->Height() != height) {
        FSizeChanged = true;
        return false;
    }
    if (width <= 0 || height <= 0 || !FCounts->NeedsPass())
        return false;
    FWidth = width;
    FHeight = height;
    FStride = (std::ptrdiff_t{width} * 3 + 63) / 64 * 64; // rows start on a cache line
    const int bandRows = std::min(StreamBandRows, height);
    FSlotBytes = FStride * bandRows;
    const bool worker = std::thread::hardware_concurrency() > 1;
    const auto fit = static_cast<std::ptrdiff_t>(RingBytes) / FSlotBytes;
    const std::ptrdiff_t bands = (height + bandRows - 1) / bandRows;
    // A picture that fits is kept whole, each row at its place.
    FHoldsPicture = bands * FSlotBytes <= static_cast<std::ptrdiff_t>(HoldBytes);
    const auto slots = static_cast<int>(
        FHoldsPicture ? bands
                      : std::min(worker ? std::clamp<std::ptrdiff_t>(fit, 2, 8) : 1, bands));
    // Not value-initialised: pages are taken only as bands are written.
    FBuffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(FSlotBytes * slots)]);
    if (!FBuffer)
        return false;
    try {
        FSlots.assign(static_cast<std::size_t>(slots), TSlot());
        FReady.reserve(static_cast<std::size_t>(slots));
        FWakeBands = static_cast<std::size_t>(std::clamp(slots / 2, 1, 4));
        FHere.emplace(FCounts->NewTally());
        if (worker && slots > 1) {
            FThere.emplace(FCounts->NewTally());
            FWorker = std::thread([this] { Run(); });
        }
    } catch (const std::system_error&) {
        FThere.reset(); // no thread to be had: the decoder's thread counts every band
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

TRowBand TBandCounter::Rows(int firstRow, int count) {
    std::unique_lock lock(FMutex);
    TSlot& slot = FSlots[static_cast<std::size_t>(FNext)];
    while (slot.State != TState::Free) {
        if (!FReady.empty()) { // the worker is behind: lend it a hand rather than wait
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, *FHere, lock);
        } else {
            FFreed.wait(lock);
        }
    }
    slot = {firstRow, count, TState::Filling};
    return {BandBits(FNext), FStride};
}

void TBandCounter::Written(int, int) {
    std::unique_lock lock(FMutex);
    FSlots[static_cast<std::size_t>(FNext)].State = TState::Ready;
    const int written = FNext;
    FNext = (FNext + 1) % static_cast<int>(FSlots.size());
    if (!FWorker.joinable()) {
        CountSlot(written, *FHere, lock);
        return;
    }
    FReady.push_back(written);
    const bool wake = FReady.size() >= FWakeBands;
    lock.unlock();
    if (wake)
        FWake.notify_one();
}

bool TBandCounter::Finish() {
    if (!FHere)
        return false;
    {
        std::unique_lock lock(FMutex);
        FDone = true;
        while (!FReady.empty()) {
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, *FHere, lock);
        }
    }
    FWake.notify_one();
    if (FWorker.joinable())
        FWorker.join();
    if (FThere)
        FHere->Add(*FThere);
    return FCounts->AddPass(std::move(*FHere));
}

bool TBandCounter::CountHeldRows() {
    if (!FHoldsPicture || !FCounts || !FCounts->NeedsPass())
        return false;
    TRowTally tally = FCounts->NewTally();
    tally.AddRows({FWidth, FHeight, FBuffer.get(), FStride}, 0);
    return FCounts->AddPass(std::move(tally));
}

void TBandCounter::Run() {
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FDone || FReady.size() >= FWakeBands; });
        if (FReady.empty())
            return;
        while (!FReady.empty()) {
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, *FThere, lock);
        }
    }
}

void TBandCounter::CountSlot(int slot, TRowTally& tally, std::unique_lock<std::mutex>& lock) {
    TSlot& s = FSlots[static_cast<std::size_t>(slot)];
    s.State = TState::Counting;
    const int first = s.First, count = s.Count;
    lock.unlock();
    tally.AddRows({FWidth, count, BandBits(slot), FStride}, first);
    lock.lock();
    s.State = TState::Free;
    FFreed.notify_one();
}

void TBandCounter::Stop() {
    {
        std::lock_guard lock(FMutex);
        FDone = true;
        FReady.clear();
    }
    FWake.notify_one();
    if (FWorker.joinable())
        FWorker.join();
}

TOutcome<TStreamedCounts> StreamAndCount(const std::filesystem::path& path, TPictureMeta* meta) {
    const std::u8string utf8 = path.u8string();
    const std::string name(utf8.begin(), utf8.end());
    const std::optional<TFType> type = ImageTypeOf(name);
    if (!type) {
        const std::string_view ext = ImageExtension(name);
        return TOutcome<TStreamedCounts>::Failure(
            ext.empty() ? "no image extension" : "format " + std::string(ext) + " not supported");
    }
    try {
        std::optional<TStreamedCounts> counts;
        do {
            TBandCounter counter(counts);
            TOutcome<TDecodeNotes> decoded =
                *type == TFType::JPG ? StreamJpegFile(path, counter) : StreamBmpFile(path, counter);
            if (counter.SizeChanged())
                return TOutcome<TStreamedCounts>::Failure("The file changed while it was read");
            if (!decoded.Ok())
                return decoded.Error();
            if (meta) // every pass reads the same file
                *meta = std::move(decoded->Meta);
            if (!counter.Finish())
                return TOutcome<TStreamedCounts>::Failure("The picture could not be read whole");
            while (counts->NeedsPass() && counter.HoldsPicture())
                if (!counter.CountHeldRows())
                    return TOutcome<TStreamedCounts>::Failure("The picture could not be counted");
        } while (counts->NeedsPass());
        return std::move(*counts);
    } catch (const std::bad_alloc&) { // the counts' own tables, or a tally's
        return FailureOf(std::current_exception());
    }
}

} // namespace tonalyx
