#include "image_loader.h"

#include "image_format.h"
#include "open_reasons.h"
#include "whole_raster.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <utility>

namespace tonalyx {

TRowCounter::TRowCounter() : Worker([this] { Run(); }, TThreadPriority::Lowered) {}

TRowCounter::~TRowCounter() {
    Stop();
}

void TRowCounter::Stop() noexcept {
    {
        std::lock_guard lock(Mutex);
        Done = true;
        Reset = true;
    }
    Wake.notify_one();
    try {
        Worker.Join();
    } catch (...) { // what it failed to count no longer matters
    }
}

void TRowCounter::Add(const TRaster& image, int firstRow, int count) {
    {
        std::lock_guard lock(Mutex);
        View = image.View();
        if (firstRow != ReadyEnd) // rows arrive in order; anything else restarts the count
            Reset = true;
        ReadyEnd = firstRow + count;
        if (!WorthWaking())
            return;
    }
    Wake.notify_one();
}

TPrimaryCounts TRowCounter::Finish() {
    std::optional<TPrimaryCounts> here;
    int rowsHere = 0;
    {
        std::unique_lock lock(Mutex);
        Done = true;
        if (!Reset && ReadyEnd - ClaimedEnd > ChunkRows) {
            here.emplace();
            here->AlsoSample(View.Width, View.Height);
            while (const int rows = CountChunk(*here, lock))
                rowsHere += rows;
        }
    }
    Wake.notify_one();
    try {
        Worker.Join();
    } catch (const std::bad_alloc&) { // its counts are missing rows: not Complete
        std::lock_guard lock(Mutex);
        Reset = true;
    }
    if (rowsHere == CountedRows && here) // the background thread never got to count
        return std::move(*here);
    if (here)
        Counts.Add(*here);
    return std::move(Counts); // 600 KB of counters: moved, not copied
}

bool TRowCounter::Complete(int height) const {
    return !Reset && CountedRows == height;
}

void TRowCounter::Run() {
    std::unique_lock lock(Mutex);
    bool sampling = false;
    for (;;) {
        Wake.wait(lock, [this] { return Done || WorthWaking(); });
        if (!sampling && ReadyEnd > 0) {
            // The first rows give the picture's size; nothing is counted yet.
            sampling = true;
            const TRasterView view = View;
            lock.unlock();
            Counts.AlsoSample(view.Width, view.Height);
            lock.lock();
        }
        if (!CountChunk(Counts, lock) && Done)
            return;
    }
}

int TRowCounter::CountChunk(TPrimaryCounts& into, std::unique_lock<std::mutex>& lock) {
    if (Reset || ClaimedEnd >= ReadyEnd)
        return 0;
    const TRasterView view = View;
    const int from = ClaimedEnd, to = std::min(ReadyEnd, from + ChunkRows);
    ClaimedEnd = to;
    lock.unlock();
    into.AddRows(view, from, to - from);
    lock.lock();
    CountedRows += to - from;
    return to - from;
}

bool TRowCounter::WorthWaking() const {
    const int pending = ReadyEnd - ClaimedEnd;
    return !Reset && pending > 0 && (pending >= ChunkRows || ReadyEnd > View.Height - ChunkRows);
}

TOutcome<TLoadedImage> DecodeAndCount(const std::filesystem::path& path, const TLoadHooks& hooks) {
    const TOutcome<const TImageFormat*> format = FormatToDecode(path);
    if (!format.Ok())
        return format.Error();
    const TStreamDecoder& decode = (*format)->DecoderFor(hooks.Developed);
    TLoadedImage loaded;
    if ((*format)->Counting == TRowCounting::AsRowsArrive) {
        TRowCounter counter;
        TWholeRaster target(
            [&counter, &hooks](const TRaster& image, int first, int count) {
                counter.Add(image, first, count);
                if (hooks.Rows)
                    hooks.Rows(image, first, count);
            },
            hooks.Cancel, hooks.Admit);
        // Whoever reads the rows is done with them before a failed decode frees them, and
        // before they go with an exception the decoder or the counting throws.
        TOutcome<TDecodeNotes> notes = TDecodeNotes{};
        try {
            notes = decode(path, target);
            loaded.Primaries = counter.Finish();
        } catch (...) {
            counter.Stop();
            if (hooks.RowsEnd)
                hooks.RowsEnd(false);
            throw;
        }
        if (hooks.RowsEnd)
            hooks.RowsEnd(notes.Ok());
        TDecodeResult decoded = target.Finish(std::move(notes));
        if (!decoded.Ok())
            return decoded.Error();
        loaded.Image = std::move(decoded).Value();
        if (!counter.Complete(loaded.Image.Height()))
            loaded.Primaries = CountPrimaries(loaded.Image.View());
        return loaded;
    }
    TWholeRaster target({}, hooks.Cancel, hooks.Admit);
    TDecodeResult decoded = target.Finish(decode(path, target));
    if (!decoded.Ok())
        return decoded.Error();
    if (hooks.Cancel.stop_requested()) // not worth counting
        return DecodingCancelled();
    loaded.Image = std::move(decoded).Value();
    loaded.Primaries = CountPrimaries(loaded.Image.View());
    return loaded;
}

} // namespace tonalyx
