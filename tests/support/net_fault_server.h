// What the network tests share: an environment without proxies and with the program's
// network set-up, and loopback servers that answer badly on purpose. Nothing here leaves
// 127.0.0.1.
#pragma once

#include "app_inform.h"
#include "http_client.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace tonalyx::test {

// Clears the proxy settings a developer's shell may carry and runs the set-up main() runs.
class TNetEnvironment : public testing::Environment {
  public:
    void SetUp() override {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            unsetenv(name);
        InitHttp();
        InitFeedParser();
    }
};

// Registers a network test program's environments once: the application object its event
// loop needs (qt_environment.h, included by the test) and TNetEnvironment.
#define TONALYX_NET_TEST_ENVIRONMENT()                                                             \
    TONALYX_QT_TEST_ENVIRONMENT(QCoreApplication);                                                 \
    [[maybe_unused]] static testing::Environment* const NetEnvironment =                           \
        testing::AddGlobalTestEnvironment(new tonalyx::test::TNetEnvironment)

// An HTTP server on a free loopback port, serving on a thread of its own until destroyed.
// Register the routes on Http() before Start().
class TFaultServer {
  public:
    TFaultServer() = default;
    TFaultServer(const TFaultServer&) = delete;
    TFaultServer& operator=(const TFaultServer&) = delete;
    ~TFaultServer() {
        FServer.stop();
        if (FThread.joinable())
            FThread.join();
    }

    httplib::Server& Http() { return FServer; }
    // A fixed answer on path.
    void Serve(const std::string& path, int status, const std::string& body,
               const char* type = "text/xml") {
        FServer.Get(path, [=](const auto&, auto& res) {
            res.status = status;
            res.set_content(body, type);
        });
    }
    // body sent in pieces of at most piece bytes, as a slow network delivers them.
    void ServeInPieces(const std::string& path, const std::string& body, std::size_t piece) {
        FServer.Get(path, [=](const auto&, auto& res) {
            res.set_chunked_content_provider("text/xml", [=](std::size_t at, auto& sink) {
                if (at < body.size())
                    sink.write(body.data() + at, std::min(piece, body.size() - at));
                else
                    sink.done();
                return true;
            });
        });
    }
    void Start() {
        FPort = FServer.bind_to_any_port("127.0.0.1");
        ASSERT_GT(FPort, 0);
        FThread = std::thread([this] { FServer.listen_after_bind(); });
        // stop() only reaches a server that has begun listening; a test quicker than the
        // thread's start would leave the destructor joining forever.
        for (int i = 0; i < 10000 && !FServer.is_running(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(FServer.is_running());
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + path;
    }

  private:
    httplib::Server FServer;
    std::thread FThread;
    int FPort = 0;
};

// A loopback port held by a socket of ours: listening but never accepting (a server that
// never answers), or bound only (connections are refused). The port stays ours until
// destruction, so no other program takes it meanwhile.
class TRawPort {
  public:
    explicit TRawPort(bool listening) {
        FSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (FSocket < 0 || bind(FSocket, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            (listening && listen(FSocket, 4) != 0) ||
            getsockname(FSocket, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            ADD_FAILURE() << "no loopback socket";
        FPort = ntohs(a.sin_port);
    }
    ~TRawPort() {
        for (const int fd : FAccepted)
            close(fd);
        if (FSocket >= 0)
            close(FSocket);
    }
    // Takes the next connection off a listening port and holds it open, unanswered, until
    // destruction; false when none came within bound. A client is then surely waiting for
    // its answer.
    bool AcceptOne(std::chrono::milliseconds bound) {
        pollfd p{FSocket, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(bound.count())) != 1)
            return false;
        const int fd = accept(FSocket, nullptr, nullptr);
        if (fd < 0)
            return false;
        FAccepted.push_back(fd);
        return true;
    }
    // Whether the client closed every connection taken so far within bound: its transfer
    // has ended. What it sent is read and dropped on the way.
    bool AcceptedClosed(std::chrono::milliseconds bound) {
        const auto end = std::chrono::steady_clock::now() + bound;
        for (const int fd : FAccepted) {
            char buffer[4096];
            for (;;) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    end - std::chrono::steady_clock::now());
                pollfd p{fd, POLLIN, 0};
                if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) != 1)
                    return false;
                const ssize_t n = read(fd, buffer, sizeof buffer);
                if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                    break; // closed (or reset) by the client
            }
        }
        return true;
    }
    TRawPort(const TRawPort&) = delete;
    TRawPort& operator=(const TRawPort&) = delete;
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(FPort) + path;
    }

  private:
    int FSocket = -1;
    int FPort = 0;
    std::vector<int> FAccepted;
};

} // namespace tonalyx::test
