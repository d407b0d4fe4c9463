// A picture the program holds: where it came from, its pixels, what its file says about
// showing them, and its raw counts. Made once by whoever decodes or pastes it and never
// changed after (but for a raw file's sensor reading, which may arrive later), so the window, the
// cache and the neighbours' preparation share one object between threads without copying its
// pixels.
#pragma once

#include "histogram.h"
#include "picture_meta.h"
#include "raster.h"
#include "sensor_histogram.h"
#include "sensor_mosaic.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

namespace tonalyx {

// A file's size and modification time when it was read: a file changed or removed since is
// opened afresh, so a step shows what a direct open would.
struct TFileStamp {
    std::uintmax_t Size = 0;
    std::filesystem::file_time_type Modified{};
    bool Valid = false;
    friend bool operator==(const TFileStamp&, const TFileStamp&) = default;
};
TFileStamp StampOf(const std::filesystem::path& file); // any thread

// Where a picture came from: a file, known by its path and its stamp when it was read, or
// the clipboard, which has neither. A source made by default is none: no picture yet.
class TPictureSource {
  public:
    TPictureSource() = default;
    static TPictureSource File(std::filesystem::path path, TFileStamp stamp) {
        return TPictureSource(TKind::File, std::move(path), stamp);
    }
    static TPictureSource Clipboard() { return TPictureSource(TKind::Clipboard, {}, {}); }

    bool IsNone() const { return FKind == TKind::None; }
    bool IsFile() const { return FKind == TKind::File; }
    bool IsClipboard() const { return FKind == TKind::Clipboard; }
    const std::filesystem::path& Path() const { return FPath; } // empty unless a file
    const TFileStamp& Stamp() const { return FStamp; }

  private:
    enum class TKind { None, File, Clipboard };
    TPictureSource(TKind kind, std::filesystem::path path, TFileStamp stamp)
        : FKind(kind), FPath(std::move(path)), FStamp(stamp) {}

    TKind FKind = TKind::None;
    std::filesystem::path FPath;
    TFileStamp FStamp;
};

class TPicture {
  public:
    // pixels must not be null; counts are its raw (Origin) record; sensor, of a camera raw
    // file, what its sensor recorded, and mosaic its photosites.
    TPicture(TPictureSource source, TRaster pixels, const TAllChanel& counts,
             std::shared_ptr<const TSensorHistogram> sensor = nullptr,
             std::shared_ptr<const TSensorMosaic> mosaic = nullptr)
        : FSource(std::move(source)), FPixels(std::move(pixels)), FCounts(counts),
          FSensor(std::move(sensor)), FMosaic(std::move(mosaic)) {}
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;

    const TPictureSource& Source() const { return FSource; }
    // The pixels as stored: rows of blue, green, red bytes, never turned or converted.
    const TRaster& Pixels() const { return FPixels; }
    TRasterView View() const { return FPixels.View(); }
    int Width() const { return FPixels.Width(); }
    int Height() const { return FPixels.Height(); }
    // What the file says about showing the pixels (orientation, colour profile).
    const TPictureMeta& Meta() const { return FPixels.Meta(); }
    // The file ended before the picture did: the rows it lacked are made up by the decoder.
    bool Incomplete() const { return FPixels.Incomplete(); }
    const TAllChanel& Counts() const { return FCounts; }
    // The sensor's own histogram of a camera raw file; null for any other picture, for a raw
    // file whose sensor data could not be counted, and until it arrives (SetSensor).
    std::shared_ptr<const TSensorHistogram> Sensor() const {
        std::lock_guard lock(FSensorMutex);
        return FSensor;
    }
    // The sensor's photosites of a camera raw file, in the stored pixels' orientation; null
    // as Sensor() is, and when there was no memory to keep them.
    std::shared_ptr<const TSensorMosaic> Mosaic() const {
        std::lock_guard lock(FSensorMutex);
        return FMosaic;
    }
    // The sensor's reading of a raw file shown before it was read: given once, by the thread
    // that owns the picture, while others may read it (hence the lock). The only part of a
    // picture that may come after it is made.
    void SetSensor(std::shared_ptr<const TSensorHistogram> sensor,
                   std::shared_ptr<const TSensorMosaic> mosaic) const {
        std::lock_guard lock(FSensorMutex);
        if (FSensor)
            return;
        FSensor = std::move(sensor);
        FMosaic = std::move(mosaic);
    }
    // What holding it costs: its pixels, its counts and what it keeps of the sensor.
    std::int64_t Bytes() const {
        std::int64_t bytes = static_cast<std::int64_t>(FPixels.SizeInBytes()) +
                             static_cast<std::int64_t>(sizeof(TAllChanel));
        std::lock_guard lock(FSensorMutex);
        if (FSensor)
            for (const TSensorChannel& c : FSensor->Channels)
                bytes += static_cast<std::int64_t>(c.Counts.size() * sizeof(std::uint64_t));
        if (FMosaic)
            bytes += FMosaic->Bytes();
        return bytes;
    }

  private:
    const TPictureSource FSource;
    const TRaster FPixels;
    const TAllChanel FCounts;
    mutable std::mutex FSensorMutex;
    mutable std::shared_ptr<const TSensorHistogram> FSensor;
    mutable std::shared_ptr<const TSensorMosaic> FMosaic;
};

using TPictureRef = std::shared_ptr<const TPicture>;

} // namespace tonalyx
