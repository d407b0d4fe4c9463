#include "connection_table.h"

#include <vector>

namespace tonalyx {

TConnectionTable::TId TConnectionTable::Admit(const std::string& address, bool exempt,
                                              TCloser closer) {
    TCloser giveWay;
    TId id = 0;
    {
        std::lock_guard lock(FLock);
        if (FClosed)
            return 0;
        if (!exempt) {
            const auto counted = FPerAddressCount.find(address);
            if (counted != FPerAddressCount.end() && counted->second >= FPerAddress)
                return 0;
        }
        if (FEntries.size() >= FTotal) {
            if (FWaiting.empty())
                return 0;
            // The oldest waiting connection makes room; it leaves the table now, so the new
            // one is counted at once, and its closer runs outside the lock.
            const TId oldest = FWaiting.front();
            const auto entry = FEntries.find(oldest);
            giveWay = std::move(entry->second.Closer);
            Erase(entry);
        }
        id = FNextId++;
        FWaiting.push_back(id);
        FEntries.emplace(id, TEntry{address, exempt, std::move(closer), std::prev(FWaiting.end())});
        if (!exempt)
            ++FPerAddressCount[address];
    }
    if (giveWay)
        giveWay();
    return id;
}

void TConnectionTable::SetWaiting(TId id, bool waiting) {
    std::lock_guard lock(FLock);
    const auto entry = FEntries.find(id);
    if (entry == FEntries.end())
        return;
    TEntry& e = entry->second;
    const bool isWaiting = e.Waiting != FWaiting.end();
    if (waiting && !isWaiting)
        e.Waiting = FWaiting.insert(FWaiting.end(), id);
    else if (!waiting && isWaiting) {
        FWaiting.erase(e.Waiting);
        e.Waiting = FWaiting.end();
    }
}

void TConnectionTable::Remove(TId id) {
    std::lock_guard lock(FLock);
    const auto entry = FEntries.find(id);
    if (entry != FEntries.end())
        Erase(entry);
}

void TConnectionTable::Erase(TEntries::iterator entry) {
    if (entry->second.Waiting != FWaiting.end())
        FWaiting.erase(entry->second.Waiting);
    if (!entry->second.Exempt) {
        const auto counted = FPerAddressCount.find(entry->second.Address);
        if (--counted->second == 0)
            FPerAddressCount.erase(counted);
    }
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
