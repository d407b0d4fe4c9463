#include "connection_table.h"

#include <vector>

namespace tonalyx {

TConnectionTable::TId TConnectionTable::Admit(const std::string& address, TCloser closer,
                                              std::size_t limit) {
    TCloser giveWay;
    TId id = 0;
    {
        std::lock_guard lock(FLock);
        if (FClosed)
            return 0;
        const auto counted = FPerAddressCount.find(address);
        if (counted != FPerAddressCount.end() && counted->second >= (limit ? limit : FPerAddress))
            return 0;
        if (FEntries.size() >= FTotal) {
            if (FInHeader.empty())
                return 0;
            // The connection longest in its header makes room: one that drips its header
            // holds its place no better than a silent one. It leaves the table now, so the
            // new one is counted at once, and its closer runs outside the lock.
            const TId oldest = FInHeader.front();
            const auto entry = FEntries.find(oldest);
            giveWay = std::move(entry->second.Closer);
            Erase(entry);
        }
        id = FNextId++;
        FInHeader.push_back(id);
        FEntries.emplace(id, TEntry{address, std::move(closer), std::prev(FInHeader.end())});
        ++FPerAddressCount[address];
    }
    if (giveWay)
        giveWay();
    return id;
}

void TConnectionTable::SetInHeader(TId id, bool inHeader) {
    std::lock_guard lock(FLock);
    const auto entry = FEntries.find(id);
    if (entry == FEntries.end())
        return;
    TEntry& e = entry->second;
    const bool isInHeader = e.InHeader != FInHeader.end();
    if (inHeader && !isInHeader)
        e.InHeader = FInHeader.insert(FInHeader.end(), id);
    else if (!inHeader && isInHeader) {
        FInHeader.erase(e.InHeader);
        e.InHeader = FInHeader.end();
    }
}

void TConnectionTable::Remove(TId id) {
    std::lock_guard lock(FLock);
    const auto entry = FEntries.find(id);
    if (entry != FEntries.end())
        Erase(entry);
}

void TConnectionTable::Erase(TEntries::iterator entry) {
    if (entry->second.InHeader != FInHeader.end())
        FInHeader.erase(entry->second.InHeader);
    const auto counted = FPerAddressCount.find(entry->second.Address);
    if (--counted->second == 0)
        FPerAddressCount.erase(counted);
    FEntries.erase(entry);
}

void TConnectionTable::CloseAll() {
    std::vector<TCloser> closers;
    {
        std::lock_guard lock(FLock);
        FClosed = true;
        for (auto& [id, entry] : FEntries)
            closers.push_back(entry.Closer);
    }
    for (const TCloser& close : closers)
        close();
}

std::size_t TConnectionTable::Count() const {
    std::lock_guard lock(FLock);
    return FEntries.size();
}

std::size_t TConnectionTable::CountFrom(const std::string& address) const {
    std::lock_guard lock(FLock);
    const auto counted = FPerAddressCount.find(address);
    return counted == FPerAddressCount.end() ? 0 : counted->second;
}

} // namespace tonalyx
