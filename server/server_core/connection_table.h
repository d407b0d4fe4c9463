// The open connections of the server, by the address they come from: how many one address
// may hold, how many there may be in all, and which one gives way when all are taken (the one
// that has waited longest for a request without sending a byte of it). Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tonalyx {

class TConnectionTable {
  public:
    using TId = std::uint64_t;
    // Ends a connection from whatever thread calls it; the connection then leaves the table
    // with Remove.
    using TCloser = std::function<void()>;

    TConnectionTable(std::size_t perAddress, std::size_t total)
        : FPerAddress(perAddress), FTotal(total) {}

    // Takes in a new connection, which starts out waiting; 0 when it must be turned away.
    // A connection from the exempt address (the trusted front) counts only against the total.
    TId Admit(const std::string& address, bool exempt, TCloser closer);
    // Whether the connection waits for a request of which it has nothing yet.
    void SetWaiting(TId id, bool waiting);
    void Remove(TId id);
    // Ends every connection (when the server stops) and takes in no more.
    void CloseAll();

    std::size_t Count() const;
    std::size_t CountFrom(const std::string& address) const;

  private:
    struct TEntry {
        std::string Address;
        bool Exempt = false;
        TCloser Closer;
        std::list<TId>::iterator Waiting; // FWaiting.end() while busy
    };

    using TEntries = std::unordered_map<TId, TEntry>;
    // Takes the entry out of every index; the lock is held.
    void Erase(TEntries::iterator entry);

    const std::size_t FPerAddress, FTotal;
    mutable std::mutex FLock;
    TId FNextId = 1;
    bool FClosed = false;
    TEntries FEntries;
    std::map<std::string, std::size_t, std::less<>> FPerAddressCount;
    std::list<TId> FWaiting; // oldest first
};

} // namespace tonalyx
