#include "image/image_loader.h"

#include "image/ufiles.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tonalyx {

namespace {

// Counts the primaries and the coarse sample levels of finished rows on its own thread
// while the decoder goes on.
// The decoder thread calls Add; Finish waits for the counting thread and returns the counts.
class TRowCounter {
  public:
    TRowCounter() : Worker([this] { Run(); }) {}
    ~TRowCounter() {
        if (Worker.joinable())
            Finish();
    }

    void Add(const QImage& image, int firstRow, int count) {
        {
            std::lock_guard lock(Mutex);
            View = RasterOf(image);
            if (firstRow != ReadyEnd) // rows arrive in order; anything else restarts the count
                Reset = true;
            ReadyEnd = firstRow + count;
        }
        Wake.notify_one();
    }

    TPrimaryCounts Finish() {
        {
            std::lock_guard lock(Mutex);
            Done = true;
        }
        Wake.notify_one();
        Worker.join();
        return Counts;
    }

    bool Complete(int height) const { return !Reset && CountedEnd == height; }

  private:
    void Run() {
        std::unique_lock lock(Mutex);
        for (;;) {
            Wake.wait(lock, [this] { return Done || ReadyEnd > CountedEnd; });
            if (ReadyEnd > CountedEnd && !Reset) {
                const TRasterView view = View;
                const int from = CountedEnd, to = ReadyEnd;
                lock.unlock();
                if (from == 0)
                    Counts.AlsoSample(view.Width, view.Height);
                Counts.AddRows(view, from, to - from);
                lock.lock();
                CountedEnd = to;
                continue;
            }
            if (Done)
                return;
            if (Reset)
                ReadyEnd = CountedEnd; // nothing more to count; the caller recounts
        }
    }

    std::mutex Mutex;
    std::condition_variable Wake;
    TRasterView View;
    int ReadyEnd = 0, CountedEnd = 0;
    bool Done = false, Reset = false;
    TPrimaryCounts Counts;
    std::thread Worker;
};

} // namespace

TRasterView RasterOf(const QImage& image) {
    return {image.width(), image.height(), image.constBits(), image.bytesPerLine()};
}

TLoadedImage DecodeAndCount(const QString& path) {
    TLoadedImage loaded;
    if (TFiles::FileFormat(path, TFType::JPG)) {
        TRowCounter counter;
        loaded.Decoded =
            DecodeJpegFile(path, [&counter](const QImage& image, int first, int count) {
                counter.Add(image, first, count);
            });
        loaded.Primaries = counter.Finish();
        if (loaded.Decoded.Ok() && !counter.Complete(loaded.Decoded.Image.height()))
            loaded.Primaries = CountPrimaries(RasterOf(loaded.Decoded.Image));
        return loaded;
    }
    if (TFiles::FileFormat(path, TFType::BMP)) {
        loaded.Decoded = DecodeBmpFile(path);
        if (loaded.Decoded.Ok())
            loaded.Primaries = CountPrimaries(RasterOf(loaded.Decoded.Image));
        return loaded;
    }
    const QString ext = FileExtension(path);
    loaded.Decoded.Error = ext.isEmpty() ? QStringLiteral("no image extension")
                                         : QStringLiteral("format %1 not supported").arg(ext);
    return loaded;
}

} // namespace tonalyx
