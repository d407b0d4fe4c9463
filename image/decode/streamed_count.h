// Counting a picture's ten channels without holding it, for the tools that only want its
// counts (tonalyx-cli, tonalyx-render).
#pragma once

#include "accumulate.h"
#include "decoder.h"
#include "joined_thread.h"
#include "memory_left.h"
#include "region.h"

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace tonalyx {

// The tools' admission of a count: refused, with PictureOverMemoryLeft's reason, when what
// its decode holds (the decoder's own memory, a progressive JPEG's coefficients, and the
// counter's bands and tables) is more than memoryLeft gives (the system's when not set).
TAdmission AdmitInMemoryLeft(TMemoryLeft memoryLeft = {});

// Decodes path (UTF-8) in the format its extension names, as DecodeAndCount does, but
// holds no more of the picture than a few bands of rows (about 1.5 MB): they are counted on
// a second thread while the decoder goes on. Each further pass the counts need (see
// TStreamedCounts), which photographs rarely do, decodes the file again, unless the picture
// was small enough for the bands to hold it all. The counts are those of the whole picture;
// meta, when given, gets what the file says about showing it. Each pass is admitted by admit
// once the header gives the size, before anything of the picture is allocated; its refusal
// is the count's failure.
// developed counts a camera raw file's development rather than its preview (TImageFormat::
// DecoderFor); it changes nothing for other files.
TOutcome<TStreamedCounts> StreamAndCount(const std::filesystem::path& path,
                                         TPictureMeta* meta = nullptr,
                                         const TAdmission& admit = AdmitInMemoryLeft(),
                                         bool developed = false);

struct TPictureSize {
    int Width = 0, Height = 0;
    friend bool operator==(const TPictureSize&, const TPictureSize&) = default;
};

// The same for region of the picture alone, counted as a picture of its own of the region's
// size (the counts of its CropView): the rows above and below it are decoded, as the
// decoders write whole rows, but not counted. A region that does not lie within the picture
// fails, naming both. picture, when given, gets the whole picture's size.
TOutcome<TStreamedCounts> StreamAndCount(const std::filesystem::path& path, const TRegion& region,
                                         TPictureMeta* meta = nullptr,
                                         TPictureSize* picture = nullptr,
                                         const TAdmission& admit = AdmitInMemoryLeft(),
                                         bool developed = false);

// One pass of a decoder's rows counted into counts' next pass (see TStreamedCounts). The
// decoder's thread fills bands of a small ring; a worker thread counts them as they come,
// and the decoder counts one itself whenever it would otherwise wait for a free band. The
// first pass makes the counts, at the size the decoder gives, or at the region's when one is
// given: then only the rows and columns of the region are counted, its top row as row 0.
// admit, when set, may refuse the picture before anything of it is allocated; it hears what
// the decoder holds with the counter's own bands and tables.
class TBandCounter final : public TRowTarget {
  public:
    explicit TBandCounter(std::optional<TStreamedCounts>& counts,
                          std::optional<TRegion> region = std::nullopt, TAdmission admit = {})
        : FCounts(counts), FRegion(region), FAdmit(std::move(admit)) {}
    ~TBandCounter() override;
    TBandCounter(const TBandCounter&) = delete;
    TBandCounter& operator=(const TBandCounter&) = delete;

    // On the decoder's thread.
    void DecoderHolds(std::int64_t bytes) override { FDecoderBytes = bytes; }
    bool Start(int width, int height) override;
    // Each row's coverage then follows its pixels in the band.
    bool StartCovered(int width, int height) override {
        FCovered = true;
        return Start(width, height);
    }
    TRowBand Rows(int firstRow, int count) override;
    void Written(int firstRow, int count) override;

    // Once the decoder has succeeded: counts what is left, waits for the worker and adds the
    // pass to the counts. False when the decoder did not hand over every row; throws
    // std::bad_alloc when a thread's tally could not be made, and some rows went uncounted.
    bool Finish();
    // Whether a later pass found the picture at another size than the first.
    bool SizeChanged() const { return FSizeChanged; }
    // Whether the picture was refused for the region not lying within it.
    bool RegionOutside() const { return FRegionOutside; }
    // The admission's refusal, when it refused the picture.
    const std::optional<TFailure>& Refusal() const { return FRefusal; }
    // The size Start was given (the whole picture's, with a region too).
    TPictureSize Picture() const { return FPicture; }
    // Whether the bands hold the whole picture, which a further pass can then count without
    // decoding it again (CountHeldRows, after Finish); false when the ring is reused.
    bool HoldsPicture() const { return FHoldsPicture; }
    bool CountHeldRows();

    // About what the ring of bands takes at most, whatever the picture's size (at least
    // two bands, though); a picture up to HoldBytes is held whole instead (700,000 pixels),
    // which spares a small one, whose shape takes its finer levels, a decode for each.
    static constexpr std::size_t RingBytes = 1536u << 10;
    static constexpr std::size_t HoldBytes = 2u << 20;
    // The counting tables of the two threads' tallies and the counts, about 4 MB whatever the
    // picture's size, which the admission hears beside the bands.
    static constexpr std::int64_t TablesBytes = 4 << 20;

  private:
    enum class TState : unsigned char { Free, Filling, Ready, Counting };
    struct TSlot {
        int First = 0, Count = 0;
        TState State = TState::Free;
    };

    void Run();
    // The decoder's thread's tally, made when first wanted; null when it could not be.
    TRowTally* Here();
    // Counts a ready band into tally (none: frees it uncounted), with the lock released
    // meanwhile; release: then drops it from this core's caches (the worker's, as the decoder
    // will write there again).
    void CountSlot(int slot, TRowTally* tally, std::unique_lock<std::mutex>& lock,
                   bool release = false);
    // The area's part of rows [first, first + count) of the picture, which lie at bits.
    void CountRows(TRowTally& tally, const std::uint8_t* bits, int first, int count) const;
    // Where a band's rows lie: in the slot's own room, or, while the ring holds the whole
    // picture, at their place in it (the decoder may go bottom to top).
    std::uint8_t* BandBits(int slot) const {
        return FBuffer.get() +
               (FHoldsPicture
                    ? (FSlots[static_cast<std::size_t>(slot)].First - FHeldFirst) * FStride
                    : slot * FSlotBytes);
    }
    // The band at bits as lent: the coverage, when kept, after the pixels of each row.
    TRowBand Lent(std::uint8_t* bits) const {
        return {bits, FStride, FCovered ? bits + std::ptrdiff_t{3} * FPicture.Width : nullptr,
                FStride};
    }
    void Stop();

    std::optional<TStreamedCounts>& FCounts;
    const std::optional<TRegion> FRegion;
    const TAdmission FAdmit;
    std::int64_t FDecoderBytes = 0;
    std::optional<TFailure> FRefusal;
    TRegion FArea; // the rows and columns counted: the region, or the whole picture
    TPictureSize FPicture;
    bool FSizeChanged = false, FHoldsPicture = false, FRegionOutside = false, FCovered = false;
    // While the picture is held: the rows that may share a band with the area's, all the
    // picture's without a region (bands of rows outside the area go to FSkip, uncounted).
    int FHeldFirst = 0, FHeldRows = 0;
    std::ptrdiff_t FStride = 0, FSlotBytes = 0;
    std::unique_ptr<std::uint8_t[]> FBuffer;
    std::unique_ptr<std::uint8_t[]> FSkip;      // one band, lent for rows outside the region
    bool FSkipLent = false;                     // on the decoder's thread only
    std::optional<TRowTally> FHere, FThere;     // the decoder's thread's and the worker's
    bool FStarted = false, FHereFailed = false; // on the decoder's thread
    bool FThereFailed = false;                  // the worker's, read once it has ended

    std::mutex FMutex;
    std::condition_variable FWake;  // the worker: a band is ready, or the pass is over
    std::condition_variable FFreed; // the decoder: a band is free
    std::vector<TSlot> FSlots;
    std::vector<int> FReady; // bands ready, oldest first (a short queue)
    // Bands ready before the worker is woken: each wake-up costs both threads a system call
    // and a switch, so it counts a few at a time.
    std::size_t FWakeBands = 1;
    int FNext = 0; // the band the decoder fills next
    bool FDone = false;
    TJoinedThread FWorker; // last: started once everything above is ready, joined first
};

} // namespace tonalyx
