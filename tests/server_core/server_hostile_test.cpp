// tonalyx-server against clients that try to stop it: floods of header lines, clients that
// drip their requests or stay silent, idle keep-alive connections, oversized requests. All on
// loopback; each attack is bounded in connections, bytes and time.
#include "server_raw_client.h"
#include "server_test_support.h"

#include <gtest/gtest.h>

#include <future>

using namespace tonalyx;
using namespace tonalyx::test;
using namespace std::chrono_literals;

namespace {

// Deadlines short enough for the tests to see them pass.
TServerOptions ShortDeadlines() {
    TServerOptions options;
    options.Limits.HeaderTime = 2s;
    options.Limits.KeepAliveTime = 2s;
    options.Limits.BodyGraceTime = 1s;
    return options;
}

TEST(ServerHostile, AFreshClientIsAnsweredWhileTwoHundredHoldOn) {
    const std::string upload = "POST /upload.php HTTP/1.1\r\nHost: x\r\nContent-Type: "
                               "multipart/form-data; boundary=b\r\nContent-Length: 100000\r\n\r\n";
    const std::string check = "GET /check.php HTTP/1.1\r\nHost: x\r\n\r\n";
    struct TRow {
        const char* What;
        std::string Opening, Drip;
        int DripEvery; // ticks of 100 ms
    } rows[] = {
        {"silent", "", "", 1},
        {"header lines dripped", "GET /check.php HTTP/1.1\r\nHost: x\r\n", "X", 1},
        {"a body dripped", upload + "--b\r\n", "x", 1},
        // A megabyte at once would buy a minute at the minimum rate; each piece is bounded too.
        {"a body begun fast, then stalled",
         "POST /upload.php HTTP/1.1\r\nHost: x\r\nContent-Length: 4000000\r\n\r\n" +
             std::string(1 << 20, 'x'),
         "", 1},
        {"idle after a request", check, "", 1},
        {"a request every second", check, check, 10},
    };
    for (const TRow& row : rows) {
        TTempFolder temp;
        TRunningServer server(temp.Path(), ShortDeadlines());
        ASSERT_TRUE(server.Started());
        TCrowd crowd(server.Port(), "127.0.0.1", 200, row.Opening);
        auto probes =
            std::async(std::launch::async, [&] { return LongestProbe(server.Port(), 10); });
        for (int tick = 0; probes.wait_for(100ms) != std::future_status::ready; ++tick)
            crowd.Tick(tick % row.DripEvery == 0 ? row.Drip : "");
        EXPECT_LT(probes.get(), 2s) << row.What;
        // Left alone, every one of them is closed by its deadline: the header time, the
        // keep-alive time, or the body's grace and the time its first piece may take.
        EXPECT_TRUE(crowd.AllClosedWithin(15s)) << row.What << ": " << crowd.Open() << " open";
        const std::string after = GetFrom(server.Port(), "127.0.0.1", "/check.php", 5s);
        EXPECT_TRUE(after.ends_with("\r\n\r\n0")) << row.What << ": " << after;
    }
}

TEST(ServerHostile, WaitingConnectionsGiveWayWhenAllAreTaken) {
    TTempFolder temp;
    TServerOptions options;
    options.Limits.Connections = 8;
    options.Limits.ConnectionsPerClient = 8;
    options.Limits.KeepAliveTime = 60s; // none ends by itself while the test runs
    TRunningServer server(temp.Path(), options);
    ASSERT_TRUE(server.Started());
    std::vector<std::unique_ptr<TRawClient>> idle;
    for (int i = 0; i < 8; ++i) {
        idle.push_back(std::make_unique<TRawClient>(server.Port(), "127.0.0.1"));
        ASSERT_TRUE(idle.back()->Send("GET /check.php HTTP/1.1\r\nHost: x\r\n\r\n"));
        ASSERT_TRUE(idle.back()->ReadAnswer(5s).ends_with("\r\n\r\n0"));
    }
    const auto start = TTestClock::now();
    EXPECT_TRUE(GetFrom(server.Port(), "127.0.0.2", "/check.php", 5s).ends_with("\r\n\r\n0"));
    EXPECT_LT(TTestClock::now() - start, 2s);
    // One of them, among the first to wait, made room; the others stay.
    std::size_t closed = 0;
    for (const auto end = TTestClock::now() + 5s; closed == 0 && TTestClock::now() < end;)
        for (auto& client : idle) {
            bool ended = false;
            client->Read(client == idle.front() ? 20ms : 0ms, &ended);
            closed += ended;
        }
    EXPECT_EQ(closed, 1u);
}

TEST(ServerHostile, SlowClientsThatComeBackLeaveRoomForOthers) {
    TTempFolder temp;
    TServerOptions options;
    options.Limits.Connections = 64; // filled by fewer clients than the bound of 512
    TRunningServer server(temp.Path(), options);
    ASSERT_TRUE(server.Started());
    // Twelve from each of ten addresses, each within its bound of sixteen, each sending a
    // byte of its header a second: the oldest header gives way, whatever it has sent.
    std::vector<std::string> from;
    for (int i = 1; i <= 10; ++i)
        from.push_back("127.0.1." + std::to_string(i));
    TDrippers drippers(server.Port(), 120, from);
    const int answered = ProbesAnsweredAmong(drippers, server.Port(), 20);
    EXPECT_GE(answered, 18) << drippers.Opened() << " connections opened";
}

TEST(ServerHostile, HeaderFloodsAreCutShort) {
    struct TRow {
        const char* What;
        std::string Line;
    } rows[] = {
        {"lines of 8000 bytes", "X-Flood: " + std::string(8000, 'a') + "\r\n"},
        {"many short lines", std::string("X: y\r\n")},
        {"one endless line", std::string(4096, 'a')},
    };
    constexpr std::size_t FloodBytes = 64 << 20; // the attack this stands for sent 480 MB
    for (const TRow& row : rows) {
        TTempFolder temp;
        TRunningServer server(temp.Path());
        ASSERT_TRUE(server.Started());
        const long before = ResidentKiB();
        TRawClient client(server.Port());
        ASSERT_TRUE(client.Send("GET /check.php HTTP/1.1\r\nHost: x\r\n"));
        std::string block;
        while (block.size() < 256 * 1024)
            block += row.Line;
        std::size_t sent = 0;
        std::string answer;
        bool closed = false;
        const auto end = TTestClock::now() + 20s;
        while (!closed && sent < FloodBytes && TTestClock::now() < end) {
            const long now = client.TrySend(block);
            closed = now < 0;
            sent += std::size_t(std::max(now, 0L));
            answer += client.Read(now > 0 ? 0ms : 10ms, &closed);
        }
        // Refused when the header passed its bound, long before the flood was through; the
        // answer may be lost to the reset that cuts off the rest of the flood.
        EXPECT_TRUE(closed) << row.What;
        EXPECT_LT(sent, FloodBytes / 2) << row.What;
        EXPECT_TRUE(answer.empty() || answer.starts_with("HTTP/1.1 431")) << row.What << answer;
        EXPECT_LT(ResidentKiB() - before, 64 * 1024) << row.What;
        EXPECT_TRUE(GetFrom(server.Port(), "127.0.0.1", "/check.php", 5s).ends_with("\r\n\r\n0"));
    }
}

TEST(ServerHostile, OversizedRequestsAreRefusedWithTheirStatus) {
    const auto headers = [](int count, std::size_t bytes) {
        std::string lines;
        for (int i = 0; i < count; ++i)
            lines += "X-" + std::to_string(i) + ": " + std::string(bytes, 'v') + "\r\n";
        return lines;
    };
    struct TRow {
        const char* What;
        std::string Request;
        std::string Status;
    } rows[] = {
        {"64 header lines", "GET /check.php HTTP/1.1\r\n" + headers(63, 10) + "\r\n", "200"},
        {"65 header lines", "GET /check.php HTTP/1.1\r\n" + headers(65, 10) + "\r\n", "431"},
        {"a line over 8 KiB", "GET /check.php HTTP/1.1\r\n" + headers(1, 8200) + "\r\n", "431"},
        {"over 32 KiB in all", "GET /check.php HTTP/1.1\r\n" + headers(5, 7000) + "\r\n", "431"},
        {"a target over 8 KiB", "GET /" + std::string(8300, 'a') + " HTTP/1.1\r\n\r\n", "414"},
        {"a body in chunks",
         "POST /upload.php HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n",
         "411"},
        {"no length", "POST /upload.php HTTP/1.1\r\nHost: x\r\n\r\n", "411"},
        {"too long", "POST /upload.php HTTP/1.1\r\nContent-Length: 10737418240\r\n\r\n", "413"},
        {"no HTTP", "HELLO\r\n\r\n", "400"},
    };
    TTempFolder temp;
    TRunningServer server(temp.Path());
    ASSERT_TRUE(server.Started());
    for (const TRow& row : rows) {
        TRawClient client(server.Port());
        ASSERT_TRUE(client.Send(row.Request)) << row.What;
        const std::string answer = client.ReadAnswer(5s);
        EXPECT_TRUE(answer.starts_with("HTTP/1.1 " + row.Status)) << row.What << ": " << answer;
    }
    // Refusals are logged with the client, even those of requests never read whole.
    server.Stop();
    const std::string log = server.Log();
    EXPECT_NE(log.find(" 127.0.0.1 GET /check.php 431 "), std::string::npos) << log;
    EXPECT_NE(log.find(" 127.0.0.1 POST /upload.php 413 1 "), std::string::npos) << log;
    EXPECT_NE(log.find(" 127.0.0.1 - - 400 "), std::string::npos) << log;
}

} // namespace
