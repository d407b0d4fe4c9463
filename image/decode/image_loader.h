// Decoding an image file chosen by its extension, with its primaries counted on the way.
#pragma once

#include "accumulate.h"
#include "decoder.h"
#include "joined_thread.h"

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stop_token>

namespace tonalyx {

struct TLoadedImage {
    TRaster Image;
    // Full red, green and blue counts of Image; for a format counted as its rows arrive (a
    // JPEG) also the coarse sample levels of HSV and L*a*b*, counted while the rows arrived.
    TPrimaryCounts Primaries;
};

// What a caller adds to a decode: a token that cancels it (the decoder stops at its next
// batch of rows, and the result is a failure), and a second consumer of the rows of a format
// counted as they arrive (a JPEG's), called on the decoding thread after the counting has
// them.
struct TLoadHooks {
    std::stop_token Cancel;
    TRowsReady Rows;
    // Called once the decoder has written its last row (decoded: whether it succeeded),
    // while the rows are still there: Rows' consumer stops reading them here.
    std::function<void(bool decoded)> RowsEnd;
    // Asked once the header gives the picture's size, before its rows are allocated.
    TAdmission Admit;
    // A camera raw file's development in place of its preview (TImageFormat::DecoderFor);
    // nothing changes for other files.
    bool Developed = false;
};

// Decodes path (UTF-8) in the format its extension names (image_format.h; the content is
// never sniffed); an unaccepted extension fails with a reason. The rows of a format counted
// as they arrive (a JPEG's) are counted while later rows are still being decoded, on a
// second thread.
TOutcome<TLoadedImage> DecodeAndCount(const std::filesystem::path& path,
                                      const TLoadHooks& hooks = {});

// Counts the primaries and the coarse sample levels of a picture's rows on a background
// thread while a decoder produces them (see TRowsReady).
class TRowCounter {
  public:
    TRowCounter();
    ~TRowCounter();
    TRowCounter(const TRowCounter&) = delete;
    TRowCounter& operator=(const TRowCounter&) = delete;

    // On the decoder's thread: rows [firstRow, firstRow + count) of image are final.
    void Add(const TRaster& image, int firstRow, int count);
    // Once the decoder is done: counts on the calling thread what the background thread has
    // fallen behind by (it yields to every other thread, so on a busy machine it can), waits
    // for it and returns the counts. When the background thread had no room for its counts,
    // they are not Complete, and the caller counts the picture again.
    TPrimaryCounts Finish();
    // Whether the counts hold every row of a picture of this height once: false when the
    // rows came out of order, which leaves the rest uncounted.
    bool Complete(int height) const;
    // Stops counting and waits for the background thread, the counts left as they are: for
    // a decode that ends by an exception, before its rows are freed.
    void Stop() noexcept;

  private:
    void Run();
    int CountChunk(TPrimaryCounts& into, std::unique_lock<std::mutex>& lock);
    bool WorthWaking() const;

    // Rows taken at a time. Each wake-up costs the decoder thread a system call, so the
    // background thread is woken for this many rows, and for every batch of the last ones,
    // so that little is left to count once the decoding ends.
    static constexpr int ChunkRows = 128;

    std::mutex Mutex;
    std::condition_variable Wake;
    TRasterView View;
    int ReadyEnd = 0;    // rows decoded
    int ClaimedEnd = 0;  // rows taken by either thread
    int CountedRows = 0; // rows counted
    bool Done = false, Reset = false;
    TPrimaryCounts Counts; // the background thread's
    TJoinedThread Worker;  // last: starts once everything above is ready, joined first
};

} // namespace tonalyx
