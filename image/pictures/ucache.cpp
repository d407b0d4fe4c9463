#include "ucache.h"

#include <algorithm>
#include <utility>

namespace tonalyx {

std::int64_t CacheBoundFor(std::uint64_t physicalBytes) {
    constexpr std::uint64_t MaxBound = std::uint64_t{4} << 30;
    constexpr std::uint64_t UnknownMemoryBound = std::uint64_t{512} << 20;
    if (physicalBytes == 0)
        return static_cast<std::int64_t>(UnknownMemoryBound);
    return static_cast<std::int64_t>(std::min(physicalBytes / 4, MaxBound));
}

std::int64_t DefaultCacheBound() {
    return CacheBoundFor(PhysicalMemoryBytes());
}

TCache::TCache(std::int64_t maxBytes) : FMaxBytes(std::max<std::int64_t>(maxBytes, 0)) {}

std::int64_t TCache::EntryBytes(const QImage& im, const QImage& preview) {
    // A preview that is the picture itself (a small one) shares its pixels.
    const bool own = !preview.isNull() && preview.constBits() != im.constBits();
    return static_cast<std::int64_t>(im.sizeInBytes()) +
           (own ? static_cast<std::int64_t>(preview.sizeInBytes()) : 0) +
           static_cast<std::int64_t>(sizeof(TAllChanel));
}

void TCache::Push(const QString& fn, const QImage& im, const TAllChanel& hs) {
    if (FIndex.contains(fn))
        return;
    const std::int64_t bytes = EntryBytes(im);
    if (bytes > FMaxBytes)
        return;
    // A deep copy: the caller's image may share its pixels or wrap a buffer it reuses.
    QImage copy = im.copy();
    if (copy.isNull() != im.isNull())
        return; // out of memory for the copy: leave the entry out
    Insert(fn, std::move(copy), hs, {}, {}, bytes);
}

void TCache::PushOwned(const QString& fn, const QImage& im, const TAllChanel& hs,
                       const QImage& preview, const TDisplayForm& form) {
    const std::int64_t bytes = EntryBytes(im, preview);
    if (!FIndex.contains(fn) && bytes <= FMaxBytes)
        Insert(fn, im, hs, preview, form, bytes);
}

bool TCache::MakeRoom(std::int64_t bytes) {
    if (bytes > FMaxBytes)
        return false;
    while (!FNames.empty() && FUsedBytes + bytes > FMaxBytes) {
        TItem& oldest = FNames.front();
        FUsedBytes -= oldest.Bytes;
        FIndex.remove(oldest.Key);
        if (FOnDropped)
            FOnDropped(std::move(oldest.Data.Btm), std::move(oldest.Data.Preview));
        FNames.pop_front();
    }
    return FUsedBytes + bytes <= FMaxBytes;
}

void TCache::Insert(const QString& fn, QImage im, const TAllChanel& hs, QImage preview,
                    const TDisplayForm& form, std::int64_t bytes) {
    MakeRoom(bytes);
    TItem& item = FNames.emplace_back();
    item.Key = fn;
    item.Data.Btm = std::move(im);
    item.Data.Hst = hs;
    item.Data.Preview = std::move(preview);
    item.Data.Form = form;
    item.Bytes = bytes;
    FIndex.insert(fn, std::prev(FNames.end()));
    FUsedBytes += bytes;
}

bool TCache::Pop(const QString& fn, QImage& im, TAllChanel& hs, QImage* preview,
                 TDisplayForm* form) {
    const auto found = FIndex.constFind(fn);
    if (found == FIndex.cend())
        return false;
    const TItems::iterator item = found.value();
    FNames.splice(FNames.end(), FNames, item); // now the most recently used
    // The cache owns its pixels, so sharing them is safe: a write to im detaches it.
    im = item->Data.Btm;
    hs = item->Data.Hst;
    if (preview)
        *preview = item->Data.Preview;
    if (form)
        *form = item->Data.Form;
    return true;
}

bool TCache::Contains(const QString& fn) const {
    return FIndex.contains(fn);
}

} // namespace tonalyx
