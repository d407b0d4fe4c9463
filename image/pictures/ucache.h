// The image cache: every image file decoded in this run keeps its picture (pixels and raw
// counts) and the reduced copy the view showed of it, so that revisiting it neither reads nor
// decodes nor counts the file again.
#pragma once

#include "display_copy.h"
#include "memory_room.h"
#include "picture.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <list>
#include <optional>

namespace tonalyx {

struct TCacheData {
    TPictureRef Picture; // shared, never written: nobody changes a picture once made
    QImage Preview;      // the reduced copy the window showed of it; null when none was made
    // How the picture is shown, upright and in sRGB: Preview is made in it.
    TDisplayForm Form;
};

// The cache's default size bound for a machine with `physicalBytes` of memory: a quarter
// of it, at most 4 GiB (512 MiB when the memory size is unknown).
std::int64_t CacheBoundFor(std::uint64_t physicalBytes);
std::int64_t DefaultCacheBound();

// Entries are kept until their bytes would exceed the bound; then the least recently
// used ones (pushed or popped longest ago) are dropped: before a picture is decoded, when its
// opener makes room for it (MakeRoom), and at the latest when it is pushed. A dropped key simply
// misses and is decoded afresh by the caller. Keys are the exact paths, with no normalisation:
// a.jpg and A.jpg are two files where the file system tells case apart. A second picture of
// one file (a raw file's development) is held under a key of the opener's beside its path.
class TCache {
  public:
    explicit TCache(std::int64_t maxBytes = DefaultCacheBound());
    TCache(const TCache&) = delete;
    TCache& operator=(const TCache&) = delete;

    // Stores the entry under fn; its picture is shared, not copied. A key already held keeps
    // its first entry; an entry without a picture, or larger than the whole bound, is not
    // stored.
    void Push(const QString& fn, TCacheData data);
    // On a hit the entry, now marked as just used; nothing on a miss.
    std::optional<TCacheData> Pop(const QString& fn);
    // The entry under fn has grown (a raw file's sensor reading joined its picture): weighed
    // again and marked as just used, older entries dropped to keep the bound (itself too when
    // it no longer fits alone).
    void Reweigh(const QString& fn);

    // Drops the least recently used entries until `bytes` more fit under the bound, so that
    // a picture of that size can be made without the memory the cache holds going over it.
    // Bytes above the whole bound drop nothing: such a picture is never stored. True when
    // they fit now.
    bool MakeRoom(std::int64_t bytes);

    // Where the entries dropped go; without it they are freed here. A picture of tens of
    // megabytes takes a while to free, which the window's thread should not wait for.
    void SetOnDropped(std::function<void(TCacheData dropped)> onDropped) {
        FOnDropped = std::move(onDropped);
    }

    // Held without touching recency.
    bool Contains(const QString& fn) const;
    int Count() const { return static_cast<int>(FNames.size()); }
    std::int64_t UsedBytes() const { return FUsedBytes; }
    std::int64_t MaxBytes() const { return FMaxBytes; }

    // What one entry costs against the bound: the picture, and the reduced copy unless it is
    // the picture's own pixels.
    static std::int64_t EntryBytes(const TCacheData& data);

  private:
    struct TItem {
        QString Key;
        TCacheData Data;
        std::int64_t Bytes = 0;
    };
    using TItems = std::list<TItem>;

    TItems FNames;                           // least recently used first
    QHash<QString, TItems::iterator> FIndex; // by exact path
    std::int64_t FMaxBytes;
    std::int64_t FUsedBytes = 0;
    std::function<void(TCacheData)> FOnDropped;
};

} // namespace tonalyx
