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

std::int64_t TCache::EntryBytes(const TCacheData& data) {
    if (!data.Picture)
        return 0;
    // A preview that is the picture itself (a small one) shares its pixels.
    const bool own =
        !data.Preview.isNull() && data.Preview.constBits() != data.Picture->Pixels().Bits();
    return data.Picture->Bytes() +
           (own ? static_cast<std::int64_t>(data.Preview.sizeInBytes()) : 0);
}

void TCache::Push(const QString& fn, TCacheData data) {
    const std::int64_t bytes = EntryBytes(data);
    if (!data.Picture || FIndex.contains(fn) || bytes > FMaxBytes)
        return;
    MakeRoom(bytes);
    TItem& item = FNames.emplace_back();
    item.Key = fn;
    item.Data = std::move(data);
    item.Bytes = bytes;
    FIndex.insert(fn, std::prev(FNames.end()));
    FUsedBytes += bytes;
}

bool TCache::MakeRoom(std::int64_t bytes) {
    if (bytes > FMaxBytes)
        return false;
    while (!FNames.empty() && FUsedBytes + bytes > FMaxBytes) {
        TItem& oldest = FNames.front();
        FUsedBytes -= oldest.Bytes;
        FIndex.remove(oldest.Key);
        if (FOnDropped)
            FOnDropped(std::move(oldest.Data));
        FNames.pop_front();
    }
    return FUsedBytes + bytes <= FMaxBytes;
}

std::optional<TCacheData> TCache::Pop(const QString& fn) {
    const auto found = FIndex.constFind(fn);
    if (found == FIndex.cend())
        return std::nullopt;
    const TItems::iterator item = found.value();
    FNames.splice(FNames.end(), FNames, item); // now the most recently used
    return item->Data;
}

void TCache::Reweigh(const QString& fn) {
    const auto found = FIndex.constFind(fn);
    if (found == FIndex.cend())
        return;
    const TItems::iterator item = found.value();
    FNames.splice(FNames.end(), FNames, item);
    FUsedBytes -= item->Bytes;
    item->Bytes = EntryBytes(item->Data);
    FUsedBytes += item->Bytes;
    MakeRoom(0);
}

bool TCache::Contains(const QString& fn) const {
    return FIndex.contains(fn);
}

} // namespace tonalyx
