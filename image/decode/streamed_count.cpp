#include "streamed_count.h"

#include "image_format.h"

#include <algorithm>
#include <exception>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#if defined(__x86_64__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tonalyx {

namespace {

// Drops the bytes from this core's caches once they are counted. The decoder writes the
// band's room again a few bands later; while the worker's core still holds those lines,
// every write must first take them back from it, which slowed decoding by 10-15 % on a
// two-core machine. Evicted, the lines come back from memory without asking the other core.
void ReleaseFromCaches(const std::uint8_t* bytes, std::ptrdiff_t size) {
#if defined(__x86_64__) || defined(_M_X64)
    constexpr std::ptrdiff_t Line = 64;
    for (std::ptrdiff_t i = 0; i < size; i += Line)
        _mm_clflush(bytes + i);
#else
    (void)bytes, (void)size; // elsewhere the lines are left to the caches
#endif
}

} // namespace

TBandCounter::~TBandCounter() {
    Stop();
}

bool TBandCounter::Start(int width, int height) {
    FPicture = {width, height};
    if (FRegion && !RegionFits(*FRegion, width, height)) {
        FRegionOutside = true;
        return false;
    }
    FArea = FRegion.value_or(TRegion{0, 0, width, height});
    if (FCounts && (FCounts->Width() != FArea.Width || FCounts->Height() != FArea.Height)) {
        FSizeChanged = true;
        return false;
    }
    if (width <= 0 || height <= 0 || (FCounts && !FCounts->NeedsPass()))
        return false;
    const std::ptrdiff_t coverage = FCovered ? (std::ptrdiff_t{width} + 7) / 8 : 0;
    FStride = (std::ptrdiff_t{width} * 3 + coverage + 63) / 64 * 64; // rows start on a cache line
    const int bandRows = std::min(StreamBandRows, height);
    FSlotBytes = FStride * bandRows;
    // A band that reaches the area starts or ends within a band's height of it.
    FHeldFirst = std::max(0, FArea.Y - (StreamBandRows - 1));
    FHeldRows = std::min(height, FArea.Y + FArea.Height + StreamBandRows - 1) - FHeldFirst;
    const bool worker = std::thread::hardware_concurrency() > 1;
    const auto fit = static_cast<std::ptrdiff_t>(RingBytes) / FSlotBytes;
    const std::ptrdiff_t bands = (FHeldRows + bandRows - 1) / bandRows;
    // A picture that fits is kept whole, each row at its place.
    FHoldsPicture = bands * FSlotBytes <= static_cast<std::ptrdiff_t>(HoldBytes);
    const auto slots = static_cast<int>(
        FHoldsPicture ? bands
                      : std::min(worker ? std::clamp<std::ptrdiff_t>(fit, 2, 8) : 1, bands));
    const std::int64_t skip = FArea.Height < height ? FSlotBytes : 0;
    if (FAdmit &&
        (FRefusal = FAdmit(width, height, FDecoderBytes + FSlotBytes * slots + skip + TablesBytes)))
        return false;
    if (!FCounts)
        FCounts.emplace(FArea.Width, FArea.Height);
    // Not value-initialised: pages are taken only as bands are written.
    FBuffer.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(FSlotBytes * slots)]);
    if (!FBuffer)
        return false;
    if (skip > 0) {
        FSkip.reset(new (std::nothrow) std::uint8_t[static_cast<std::size_t>(FSlotBytes)]);
        if (!FSkip)
            return false;
    }
    try {
        FSlots.assign(static_cast<std::size_t>(slots), TSlot());
        FReady.reserve(static_cast<std::size_t>(slots));
        FWakeBands = static_cast<std::size_t>(std::clamp(slots / 2, 1, 4));
        // Each thread makes its own tally (a megabyte or two, zeroed): the worker's on the
        // worker, while the decoder reads the first rows, and the decoder's only once it has
        // a band to count itself, which with a second core is rare.
        if (worker && slots > 1)
            FWorker.Start([this] { Run(); });
    } catch (const std::system_error&) {
        // no thread to be had: the decoder's thread counts every band
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!FWorker.Running() && !Here())
        return false;
    FStarted = true;
    return true;
}

TRowTally* TBandCounter::Here() {
    if (!FHere && !FHereFailed) {
        try {
            FHere.emplace(FCounts->NewTally());
        } catch (const std::bad_alloc&) {
            FHereFailed = true; // the worker counts alone, then Finish reports it
        }
    }
    return FHere ? &*FHere : nullptr;
}

TRowBand TBandCounter::Rows(int firstRow, int count) {
    if (firstRow + count <= FArea.Y || firstRow >= FArea.Y + FArea.Height) {
        FSkipLent = true; // never without a region: the area is the whole picture
        return Lent(FSkip.get());
    }
    std::unique_lock lock(FMutex);
    TSlot& slot = FSlots[static_cast<std::size_t>(FNext)];
    while (slot.State != TState::Free) {
        if (!FReady.empty() && !FHere && !FHereFailed) {
            lock.unlock(); // the worker may go on meanwhile
            Here();
            lock.lock();
        } else if (!FReady.empty() && FHere) { // the worker is behind: lend it a hand
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, &*FHere, lock);
        } else {
            FFreed.wait(lock);
        }
    }
    slot = {firstRow, count, TState::Filling};
    return Lent(BandBits(FNext));
}

void TBandCounter::Written(int, int) {
    if (FSkipLent) {
        FSkipLent = false;
        return;
    }
    std::unique_lock lock(FMutex);
    FSlots[static_cast<std::size_t>(FNext)].State = TState::Ready;
    const int written = FNext;
    FNext = (FNext + 1) % static_cast<int>(FSlots.size());
    if (!FWorker.Running()) {
        CountSlot(written, &*FHere, lock);
        return;
    }
    FReady.push_back(written);
    const bool wake = FReady.size() >= FWakeBands;
    lock.unlock();
    if (wake)
        FWake.notify_one();
}

bool TBandCounter::Finish() {
    if (!FStarted)
        return false;
    {
        std::unique_lock lock(FMutex);
        FDone = true;
        if (!FReady.empty() && !FHere) {
            lock.unlock();
            Here();
            lock.lock();
        }
        while (!FReady.empty()) {
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, Here(), lock);
        }
    }
    FWake.notify_one();
    FWorker.Join();
    if (FHereFailed || FThereFailed)
        throw std::bad_alloc(); // some rows went uncounted
    if (FHere && FThere)
        FHere->Add(*FThere);
    std::optional<TRowTally>& pass = FHere ? FHere : FThere;
    if (!pass) // no band was written
        return false;
    return FCounts->AddPass(std::move(*pass));
}

bool TBandCounter::CountHeldRows() {
    if (!FHoldsPicture || !FCounts || !FCounts->NeedsPass())
        return false;
    TRowTally tally = FCounts->NewTally();
    CountRows(tally, FBuffer.get(), FHeldFirst, FHeldRows);
    return FCounts->AddPass(std::move(tally));
}

void TBandCounter::Run() {
    try {
        FThere.emplace(FCounts->NewTally());
    } catch (const std::bad_alloc&) {
        FThereFailed = true; // the bands are still taken, so that the decoder never waits
    }
    TRowTally* const tally = FThere ? &*FThere : nullptr;
    // A held picture's bands are counted again for a further pass, and never written again.
    const bool release = !FHoldsPicture;
    std::unique_lock lock(FMutex);
    for (;;) {
        FWake.wait(lock, [this] { return FDone || FReady.size() >= FWakeBands; });
        if (FReady.empty())
            return;
        while (!FReady.empty()) {
            const int oldest = FReady.front();
            FReady.erase(FReady.begin());
            CountSlot(oldest, tally, lock, release);
        }
    }
}

void TBandCounter::CountSlot(int slot, TRowTally* tally, std::unique_lock<std::mutex>& lock,
                             bool release) {
    TSlot& s = FSlots[static_cast<std::size_t>(slot)];
    s.State = TState::Counting;
    const int first = s.First, count = s.Count;
    lock.unlock();
    if (tally)
        CountRows(*tally, BandBits(slot), first, count);
    if (release)
        ReleaseFromCaches(BandBits(slot), FStride * count);
    lock.lock();
    s.State = TState::Free;
    FFreed.notify_one();
}

void TBandCounter::CountRows(TRowTally& tally, const std::uint8_t* bits, int first,
                             int count) const {
    const int top = std::max(first, FArea.Y);
    const int end = std::min(first + count, FArea.Y + FArea.Height);
    if (top >= end)
        return;
    TRasterView rows{FPicture.Width, count, bits, FStride};
    if (FCovered)
        rows.Coverage = {bits + std::ptrdiff_t{3} * FPicture.Width, FStride, 0};
    tally.AddRows(CropView(rows, {FArea.X, top - first, FArea.Width, end - top}), top - FArea.Y);
}

void TBandCounter::Stop() {
    {
        std::lock_guard lock(FMutex);
        FDone = true;
        FReady.clear();
    }
    FWake.notify_one(); // FWorker's destructor joins it
}

namespace {

TOutcome<TStreamedCounts> Stream(const std::filesystem::path& path,
                                 const std::optional<TRegion>& region, TPictureMeta* meta,
                                 TPictureSize* picture, const TAdmission& admit, bool developed) {
    const TOutcome<const TImageFormat*> format = FormatToDecode(path);
    if (!format.Ok())
        return format.Error();
    try {
        std::optional<TStreamedCounts> counts;
        std::optional<TPictureSize> first; // the picture's size on the first pass
        do {
            TBandCounter counter(counts, region, admit);
            TOutcome<TDecodeNotes> decoded = (*format)->DecoderFor(developed)(path, counter);
            if (counter.Refusal())
                return *counter.Refusal();
            if (counter.RegionOutside()) {
                const TPictureSize size = counter.Picture();
                return TOutcome<TStreamedCounts>::Failure(
                    "The region " + RegionText(*region) + " does not lie within the picture (" +
                    std::to_string(size.Width) + " x " + std::to_string(size.Height) + ")");
            }
            // A region's counts keep their size when the picture's changes.
            if (counter.SizeChanged() || (first && counter.Picture() != *first))
                return TOutcome<TStreamedCounts>::Failure("The file changed while it was read");
            if (!decoded.Ok())
                return decoded.Error();
            first = counter.Picture();
            if (meta) // every pass reads the same file
                *meta = std::move(decoded->Meta);
            if (!counter.Finish())
                return TOutcome<TStreamedCounts>::Failure("The picture could not be read whole");
            while (counts->NeedsPass() && counter.HoldsPicture())
                if (!counter.CountHeldRows())
                    return TOutcome<TStreamedCounts>::Failure("The picture could not be counted");
        } while (counts->NeedsPass());
        if (picture)
            *picture = *first;
        return std::move(*counts);
    } catch (const std::bad_alloc&) { // the counts' own tables, or a tally's
        return FailureOf(std::current_exception());
    }
}

} // namespace

TAdmission AdmitInMemoryLeft(TMemoryLeft memoryLeft) {
    return [memoryLeft = std::move(memoryLeft)](int width, int height, std::int64_t bytes) {
        return WhyOverMemoryLeft(width, height, bytes,
                                 memoryLeft ? memoryLeft() : MemoryLeftBytes());
    };
}

TOutcome<TStreamedCounts> StreamAndCount(const std::filesystem::path& path, TPictureMeta* meta,
                                         const TAdmission& admit, bool developed) {
    return Stream(path, std::nullopt, meta, nullptr, admit, developed);
}

TOutcome<TStreamedCounts> StreamAndCount(const std::filesystem::path& path, const TRegion& region,
                                         TPictureMeta* meta, TPictureSize* picture,
                                         const TAdmission& admit, bool developed) {
    return Stream(path, region, meta, picture, admit, developed);
}

} // namespace tonalyx
