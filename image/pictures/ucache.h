// The image cache: every image file decoded in this run keeps a copy of its 24-bit
// bitmap and of its raw histogram record, so that revisiting it neither reads nor
// decodes nor counts the file again.
#pragma once

#include "display_copy.h"
#include "histogram.h"
#include "memory_room.h"

#include <QHash>
#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <list>

namespace tonalyx {

struct TCacheData {
    QImage Btm;     // an independent copy of the bitmap as the engine left it
    TAllChanel Hst; // the image's raw (Origin) histogram record
    QImage Preview; // the reduced copy the window showed of Btm; null when none was made
    // How Btm is shown, upright and in sRGB: Preview is made in it.
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
// a.jpg and A.jpg are two files where the file system tells case apart.
class TCache {
  public:
    explicit TCache(std::int64_t maxBytes = DefaultCacheBound());
    TCache(const TCache&) = delete;
    TCache& operator=(const TCache&) = delete;

    // Stores a copy of im and hs under fn. A key already held keeps its first entry.
    // An entry larger than the whole bound is not stored.
    void Push(const QString& fn, const QImage& im, const TAllChanel& hs);
    // The same for an image that owns its pixels and that nobody writes through (as the
    // decoders' images wrapped by ToQImage): they are shared, not copied, saving a copy of
    // tens of megabytes per photograph. A write to either image detaches it.
    // The reduced copy shown for it is kept beside it, so a revisit need not make it again,
    // with the form it was made in.
    void PushOwned(const QString& fn, const QImage& im, const TAllChanel& hs,
                   const QImage& preview = {}, const TDisplayForm& form = {});
    // On a hit fills im and hs (and the reduced copy and its form, when asked) from the
    // entry, marks it as just used, and returns true; on a miss returns false and leaves
    // them untouched.
    bool Pop(const QString& fn, QImage& im, TAllChanel& hs, QImage* preview = nullptr,
             TDisplayForm* form = nullptr);

    // Drops the least recently used entries until `bytes` more fit under the bound, so that
    // a picture of that size can be made without the memory the cache holds going over it.
    // Bytes above the whole bound drop nothing: such a picture is never stored. True when
    // they fit now.
    bool MakeRoom(std::int64_t bytes);

    // Where the pictures of dropped entries go; without it they are freed here. A picture
    // of tens of megabytes takes a while to free, which the window's thread should not wait for.
    void SetOnDropped(std::function<void(QImage picture, QImage preview)> onDropped) {
        FOnDropped = std::move(onDropped);
    }

    // Held without touching recency.
    bool Contains(const QString& fn) const;
    int Count() const { return static_cast<int>(FNames.size()); }
    std::int64_t UsedBytes() const { return FUsedBytes; }
    std::int64_t MaxBytes() const { return FMaxBytes; }

    // What one entry of this image costs against the bound.
    static std::int64_t EntryBytes(const QImage& im, const QImage& preview = {});

  private:
    void Insert(const QString& fn, QImage im, const TAllChanel& hs, QImage preview,
                const TDisplayForm& form, std::int64_t bytes);

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
    std::function<void(QImage, QImage)> FOnDropped;
};

} // namespace tonalyx
