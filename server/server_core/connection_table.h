// The open connections of the server, by the address they come from: how many one address
// may hold, how many there may be in all, and which one gives way when all are taken (the one
// that has been in its request header longest, whatever it has sent of it). Any thread.
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

    // Takes in a new connection, which starts out in its header; 0 when it must be turned
    // away. address may hold at most limit connections (the front server's key gets a limit
    // of its own), or the table's per-address bound when limit is 0.
    TId Admit(const std::string& address, TCloser closer, std::size_t limit = 0);
    // Whether the connection waits for a request or reads its header; a connection in its
    // header stands in line, by when it began it, to give way to a new one.
    void SetInHeader(TId id, bool inHeader);
    void Remove(TId id);
    // Ends every connection (when the server stops) and takes in no more.
    void CloseAll();

    std::size_t Count() const;
    std::size_t CountFrom(const std::string& address) const;

  private:
    struct TEntry {
        std::string Address;
        TCloser Closer;
        std::list<TId>::iterator InHeader; // FInHeader.end() while busy
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
    std::list<TId> FInHeader; // oldest first
};

} // namespace tonalyx
