// Loopback connections the server tests drive byte by byte, from a source address of their
// choosing in 127.0.0.0/8, with every wait bounded.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace tonalyx::test {

using TTestClock = std::chrono::steady_clock;

class TRawClient {
  public:
    // Connects to 127.0.0.1:port from the address from; see Connected.
    explicit TRawClient(int port, const char* from = "127.0.0.1") {
        FFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &local.sin_addr);
        sockaddr_in remote{};
        remote.sin_family = AF_INET;
        remote.sin_port = htons(std::uint16_t(port));
        remote.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(FFd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::connect(FFd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
            ::close(FFd);
            FFd = -1;
            return;
        }
        ::fcntl(FFd, F_SETFL, ::fcntl(FFd, F_GETFL) | O_NONBLOCK);
    }
    ~TRawClient() {
        if (FFd >= 0)
            ::close(FFd);
    }
    TRawClient(const TRawClient&) = delete;
    TRawClient& operator=(const TRawClient&) = delete;

    bool Connected() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    // Sends what the socket takes now; -1 once the server has closed the connection.
    long TrySend(std::string_view bytes) {
        if (FFd < 0)
            return -1;
        const ssize_t sent = ::send(FFd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0)
            return long(sent);
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }

    // Sends all of bytes, waiting for room at most limit in all.
    bool Send(std::string_view bytes, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        const auto end = TTestClock::now() + limit;
        while (!bytes.empty()) {
            const long sent = TrySend(bytes);
            if (sent < 0)
                return false;
            bytes.remove_prefix(std::size_t(sent));
            if (!bytes.empty() && !Wait(POLLOUT, end))
                return false;
        }
        return true;
    }

    // Reads what has come, waiting up to limit for the server to close the connection.
    // Closed tells whether it did (an end of stream or a reset).
    std::string Read(std::chrono::milliseconds limit, bool* closed = nullptr) {
        const auto end = TTestClock::now() + limit;
        std::string text;
        bool ended = false;
        while (!ended && Wait(POLLIN, end)) {
            char buffer[16384];
            const ssize_t got = ::recv(FFd, buffer, sizeof buffer, 0);
            if (got > 0)
                text.append(buffer, std::size_t(got));
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                ended = true;
        }
        if (closed)
            *closed = ended;
        return text;
    }

    // Reads until the answer to one request (of Content-Length bytes) is in, within limit.
    std::string ReadAnswer(std::chrono::milliseconds limit) {
        const auto end = TTestClock::now() + limit;
        std::string text;
        while (!Complete(text) && Wait(POLLIN, end)) {
            char buffer[16384];
            const ssize_t got = ::recv(FFd, buffer, sizeof buffer, 0);
            if (got > 0)
                text.append(buffer, std::size_t(got));
            else if (got == 0 || (errno != EAGAIN && errno != EINTR))
                break;
        }
        return text;
    }

  private:
    bool Wait(short events, TTestClock::time_point end) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - TTestClock::now());
        if (FFd < 0)
            return false;
        pollfd waited{FFd, events, 0};
        return ::poll(&waited, 1, std::max(0, int(left.count()))) > 0;
    }

    static bool Complete(const std::string& text) {
        const std::size_t headerEnd = text.find("\r\n\r\n");
        if (headerEnd == std::string::npos)
            return false;
        const std::size_t field = text.find("Content-Length: ");
        if (field == std::string::npos || field > headerEnd)
            return true;
        const std::size_t length = std::stoul(text.substr(field + 16));
        return text.size() >= headerEnd + 4 + length;
    }

    int FFd = -1;
};

// Many connections from one address, each sending an opening and then more at every tick:
// the slow, silent and idle clients of the tests.
class TCrowd {
  public:
    TCrowd(int port, const char* from, std::size_t count, std::string_view opening) {
        for (std::size_t i = 0; i < count; ++i) {
            auto client = std::make_unique<TRawClient>(port, from);
            if (client->Connected() && client->TrySend(opening) >= 0)
                FClients.push_back(std::move(client));
        }
    }

    // Sends bytes on every connection still open; what the server sends back is dropped.
    void Tick(std::string_view bytes) {
        for (auto& client : FClients)
            if (client) {
                bool closed = false;
                client->Read(std::chrono::milliseconds(0), &closed);
                if (closed || (!bytes.empty() && client->TrySend(bytes) < 0))
                    client.reset();
            }
    }

    std::size_t Open() const {
        std::size_t open = 0;
        for (const auto& client : FClients)
            open += client != nullptr;
        return open;
    }

    // Waits, reading and dropping, until the server has closed every connection; bounded.
    bool AllClosedWithin(std::chrono::milliseconds limit) {
        const auto end = TTestClock::now() + limit;
        while (Open() > 0 && TTestClock::now() < end) {
            Tick({});
            ::usleep(20000);
        }
        return Open() == 0;
    }

  private:
    std::vector<std::unique_ptr<TRawClient>> FClients;
};

// Slow clients that come back: count connections spread over the addresses from, each sending the
// opening of a request header and then one byte a second, and opening again as soon as it is
// closed.
class TDrippers {
  public:
    TDrippers(int port, std::size_t count, std::vector<std::string> from)
        : FPort(port), FSlots(count), FFrom(std::move(from)) {}

    // Opens what is closed and drips on what is due; call it often.
    void Tick() {
        const auto now = TTestClock::now();
        for (std::size_t i = 0; i < FSlots.size(); ++i) {
            TSlot& slot = FSlots[i];
            if (slot.Client) {
                bool closed = false;
                slot.Client->Read(std::chrono::milliseconds(0), &closed);
                if (closed || (now >= slot.Due && slot.Client->TrySend("X") < 0))
                    slot.Client.reset();
                else if (now >= slot.Due)
                    slot.Due = now + std::chrono::seconds(1);
            }
            if (!slot.Client) {
                slot.Client = std::make_unique<TRawClient>(FPort, FFrom[i % FFrom.size()].c_str());
                if (!slot.Client->Connected() ||
                    slot.Client->TrySend("GET /check.php HTTP/1.1\r\nHost: x\r\nX-Slow: ") < 0)
                    slot.Client.reset();
                ++FOpened;
                slot.Due = now + std::chrono::seconds(1);
            }
        }
    }

    std::size_t Opened() const { return FOpened; }

  private:
    struct TSlot {
        std::unique_ptr<TRawClient> Client;
        TTestClock::time_point Due;
    };
    int FPort;
    std::vector<TSlot> FSlots;
    std::vector<std::string> FFrom;
    std::size_t FOpened = 0;
};

// A connection-closing GET of path from the address from: the answer, or what came of it
// within limit.
inline std::string GetFrom(int port, const char* from, const std::string& path,
                           std::chrono::milliseconds limit) {
    TRawClient client(port, from);
    if (!client.Connected() ||
        !client.Send("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n",
                     limit))
        return {};
    return client.ReadAnswer(limit);
}

// Asks for the check from 127.0.0.2 count times, one after another, while an attack runs;
// the longest wait for a whole answer, or an hour when one did not come.
inline std::chrono::milliseconds LongestProbe(int port, int count) {
    std::chrono::milliseconds longest{0};
    for (int i = 0; i < count; ++i) {
        const auto start = TTestClock::now();
        const std::string answer =
            GetFrom(port, "127.0.0.2", "/check.php", std::chrono::seconds(5));
        const auto took =
            std::chrono::duration_cast<std::chrono::milliseconds>(TTestClock::now() - start);
        longest = std::max(longest, answer.ends_with("\r\n\r\n0") ? took : std::chrono::hours(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return longest;
}

// Asks for the check from 127.0.0.2 count times, one after another, while drippers keep
// coming back; how many were answered.
inline int ProbesAnsweredAmong(TDrippers& drippers, int port, int count) {
    // First they take every place they can.
    for (const auto end = TTestClock::now() + std::chrono::seconds(3); TTestClock::now() < end;) {
        drippers.Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    auto probes = std::async(std::launch::async, [port, count] {
        int answered = 0;
        for (int i = 0; i < count; ++i) {
            answered += GetFrom(port, "127.0.0.2", "/check.php", std::chrono::seconds(3))
                            .ends_with("\r\n\r\n0");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return answered;
    });
    while (probes.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        drippers.Tick();
    return probes.get();
}

// The resident memory of process pid ("self" for this one) in KiB, from /proc.
inline long ResidentKiB(const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return -1;
}

} // namespace tonalyx::test
