// The server's rules on their own: picture names, PNG files, forms, client addresses, the
// connection table, the command line, the rate and the quota, the feed's problems and what
// goes into the log.
#include "client_address.h"
#include "connection_table.h"
#include "feed.h"
#include "form_data.h"
#include "http_exchange.h"
#include "png_check.h"
#include "request_log.h"
#include "server_options.h"
#include "server_test_support.h"
#include "site_files.h"
#include "upload_limits.h"

#include <gtest/gtest.h>

#include <fcntl.h>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

TEST(ServerPictureName, WellFormedNamesOnly) {
    const std::string good = PictureName(12345);
    ASSERT_TRUE(IsWellFormedPictureName(good)) << good;
    std::string badSum = good;
    badSum[24] = badSum[24] == '0' ? '1' : '0'; // a sum one off a multiple of 7
    struct TRow {
        std::string Name;
        bool WellFormed;
    } rows[] = {
        {"0001t00000000000000000006.png", true},  // 19 × 48 + 54 = 966 = 7 × 138
        {"0001tabcdefghijklmnopqrs3.png", true},  // 2065 = 7 × 295
        {"0001t8888888888888888888y.png", false}, // 1185
        {badSum, false},
        {"0001t00000000000000000000.png", false},  // 960, not a multiple of 7
        {"0001t0000000000000000006.png", false},   // 19 random characters
        {"0001t000000000000000000006.png", false}, // 21
        {"0001t00000000000000000956.png", false},  // a 9, with a sum of 980 = 7 × 140
        {"0001t00000000000000000z36.png", false},  // a z, with a sum of 1043 = 7 × 149
        {"0001t00000000000000000A46.png", false},  // upper case, with a sum of 987 = 7 × 141
        {"0002t00000000000000000006.png", false},  // other folder
        {"0001u00000000000000000006.png", false},  // other letter
        {"0001t00000000000000000006.PNG", false},  // extension case
        {"0001t00000000000000000006.jpg", false},
        {"0001t../00000000000000006.png", false},
        {"0001t00000000000000/../06.png", false},
        {"", false},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(IsWellFormedPictureName(row.Name), row.WellFormed) << row.Name;
    for (unsigned n = 0; n < 200; n += 7)
        EXPECT_TRUE(IsWellFormedPictureName(PictureName(n * 7919))) << PictureName(n * 7919);
}

TEST(ServerPng, DecodedWhole) {
    std::string badCrc = Png();
    badCrc[20] ^= 1;
    std::string notIhdr = Png();
    notIhdr[12] = 'J';
    const std::string padded = Png(2, 3, 200);
    std::string badPadding = padded, badPixels = padded;
    badPadding[50] ^= 1;                      // inside the ancillary chunk
    badPixels[padded.size() - 12 - 6] ^= 0x5; // inside the pixel data
    const std::string signatureAndHeader = Png().substr(0, 33);
    struct TRow {
        const char* What;
        std::string Bytes;
        bool Png;
    } rows[] = {
        {"RGBA", Png(), true},
        {"grey 16", Png(1, 1, 0, 16, 0), true},
        {"palette 4", Png(7, 7, 0, 4, 3), true},
        {"interlaced", PngOf({9, 11, 0, 8, 2, true}), true},
        {"padded", padded, true},
        {"at the pixel bound", Png(8192, 4096, 0, 1, 0), true},
        {"empty", "", false},
        {"signature only", std::string("\x89PNG\r\n\x1a\n", 8), false},
        {"GIF", "GIF89a" + std::string(40, '\0'), false},
        {"cut in IHDR", Png().substr(0, 25), false},
        {"zero width", Png(0, 3), false},
        {"RGB of 4 bits", Png(1, 1, 0, 4, 2), false},
        {"colour type 5", Png(1, 1, 0, 8, 5), false},
        {"damaged CRC", badCrc, false},
        {"other first chunk", notIhdr, false},
        {"a sound header, then HTML", signatureAndHeader + "<html>not a picture</html>", false},
        {"a sound header, then nothing", signatureAndHeader, false},
        {"rows missing", PngOf({4, 4, 0, 8, 6, false, 2}), false},
        {"cut in the pixel data", padded.substr(0, padded.size() - 20), false},
        {"no end chunk", padded.substr(0, padded.size() - 12), false},
        {"data after the end", Png() + "trailing", false},
        {"damaged ancillary chunk", badPadding, false},
        {"damaged pixel data", badPixels, false},
        {"too wide", Png(PngMaxSide + 1, 1, 0, 1, 0), false},
        {"too many pixels", Png(8192, 4097, 0, 1, 0), false},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(PngProblem(row.Bytes).empty(), row.Png)
            << row.What << ": " << PngProblem(row.Bytes);
}

TEST(ServerForm, PartsByName) {
    const std::string_view type = "multipart/form-data; boundary=XyZ";
    const std::string png("\x89PNG\r\n--Xy\r\n\0z", 15);
    const std::string good = "--XyZ\r\nContent-Disposition: form-data; name=\"file\"; "
                             "filename=\"/opt/a;b.png\"\r\nContent-Type: image/png\r\n\r\n" +
                             png +
                             "\r\n--XyZ\r\ncontent-disposition: form-data; name=fname\r\n\r\n"
                             "0001t.png\r\n--XyZ--\r\n";
    struct TRow {
        const char* What;
        std::string Type, Body;
        bool Form;
        std::string File = {}, Name = {};
    } rows[] = {
        {"the program's form", std::string(type), good, true, png, "0001t.png"},
        {"quoted boundary", "Multipart/Form-Data; charset=x; boundary=\"XyZ\"", good, true, png,
         "0001t.png"},
        {"with a preamble", std::string(type), "hello\r\n" + good, true, png, "0001t.png"},
        {"first of two names", std::string(type),
         "--XyZ\r\nContent-Disposition: form-data; name=\"fname\"\r\n\r\nfirst\r\n" + good, true,
         png, "first"},
        {"no parts", std::string(type), "--XyZ--", true},
        {"other type", "text/plain; boundary=XyZ", good, false},
        {"no boundary", "multipart/form-data", good, false},
        {"other boundary", "multipart/form-data; boundary=Abc", good, false},
        {"never closed", std::string(type), good.substr(0, good.size() - 10), false},
        {"part without a name", std::string(type), "--XyZ\r\nX: y\r\n\r\nz\r\n--XyZ--", false},
        {"part without headers", std::string(type), "--XyZ\r\n\r\nz\r\n--XyZ--", false},
        {"unclosed quote", std::string(type),
         "--XyZ\r\nContent-Disposition: form-data; name=\"a\r\n\r\nz\r\n--XyZ--", false},
        {"empty", std::string(type), "", false},
    };
    for (const TRow& row : rows) {
        const auto parts = ReadFormData(row.Type, row.Body);
        ASSERT_EQ(parts.has_value(), row.Form) << row.What;
        if (!parts || row.File.empty())
            continue;
        EXPECT_EQ(parts->at("file"), row.File) << row.What;
        EXPECT_EQ(parts->at("fname"), row.Name) << row.What;
    }
    std::string many;
    for (int i = 0; i < 17; ++i)
        many += "--XyZ\r\nContent-Disposition: form-data; name=\"p" + std::to_string(i) +
                "\"\r\n\r\nv\r\n";
    EXPECT_FALSE(ReadFormData(type, many + "--XyZ--"));
}

TEST(ServerClients, AddressesBehindTheTrustedFront) {
    EXPECT_EQ(NormalAddress("127.0.0.2"), "127.0.0.2");
    EXPECT_EQ(NormalAddress("::ffff:10.1.2.3"), "10.1.2.3");
    EXPECT_EQ(NormalAddress("0:0:0:0:0:0:0:1"), "::1");
    EXPECT_FALSE(NormalAddress("localhost"));
    EXPECT_FALSE(NormalAddress("1.2.3.4, 5.6.7.8"));
    EXPECT_FALSE(NormalAddress(""));
    struct TRow {
        const char* What;
        std::string Peer;
        bool FromFront;
        std::string RealIp, ForwardedFor, Client;
    } rows[] = {
        {"the front's X-Real-IP", "local", true, "127.0.0.2", "", "127.0.0.2"},
        {"the last X-Forwarded-For entry, not the forged first", "local", true, "",
         "6.6.6.6, 127.0.0.3", "127.0.0.3"},
        {"X-Real-IP first", "10.0.0.1", true, " 127.0.0.4 ", "127.0.0.5", "127.0.0.4"},
        {"IPv6", "local", true, "2001:db8::1", "", "2001:db8::1"},
        {"no address in them", "local", true, "unknown", "6.6.6.6, junk", "local"},
        {"no headers", "local", true, "", "", "local"},
        {"not from the front", "127.0.0.1", false, "127.0.0.2", "127.0.0.3", "127.0.0.1"},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(ClientAddress(row.Peer, row.FromFront, row.RealIp, row.ForwardedFor), row.Client)
            << row.What;
    EXPECT_TRUE(IsLoopback("127.3.2.1"));
    EXPECT_TRUE(IsLoopback("::1"));
    EXPECT_FALSE(IsLoopback("10.0.0.1"));
    EXPECT_FALSE(IsLoopback("::ffff:7f00:1")); // normal form would be 127.0.0.1
}

TEST(ServerClients, PathsDecoded) {
    struct TRow {
        std::string_view Target, Path;
    } rows[] = {
        {"/check.php", "/check.php"},
        {"/check%2ephp?x=%41", "/check.php"},
        {"/0001/%2E%2E%2fx", "/0001/../x"},
        {"/a%zz%4", "/a%zz%4"},
        {"/a%00b", std::string_view("/a\0b", 4)},
        {"", ""},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(DecodedPath(row.Target), row.Path) << row.Target;
}

// Connections opened and marked in turn: each step names the address, the limit it gets,
// and what the table must answer.
TEST(ServerClients, ConnectionTable) {
    TConnectionTable table(2, 4);
    std::vector<int> closed;
    const auto open = [&](const std::string& address, std::size_t limit = 0) {
        const int number = int(table.Count());
        return table.Admit(
            address, [&closed, number] { closed.push_back(number); }, limit);
    };
    const auto a1 = open("a"), a2 = open("a");
    EXPECT_NE(a1, 0u);
    EXPECT_NE(a2, 0u);
    EXPECT_EQ(open("a"), 0u); // two per address
    EXPECT_EQ(table.CountFrom("a"), 2u);
    const auto front1 = open("f", 3), front2 = open("f", 3);
    EXPECT_NE(front1, 0u); // the front has a limit of its own
    EXPECT_NE(front2, 0u);
    EXPECT_EQ(table.Count(), 4u);
    // All taken: the one longest in its header gives way, whatever it has sent; busy ones
    // never.
    table.SetInHeader(a1, false);
    table.SetInHeader(front1, false);
    table.SetInHeader(front2, false);
    const auto b1 = open("b");
    EXPECT_NE(b1, 0u);
    EXPECT_EQ(closed, std::vector<int>{1}); // a2
    EXPECT_EQ(table.CountFrom("a"), 1u);
    // The newcomer is in its header too, behind nobody: it gives way next.
    const auto f3 = open("f", 3);
    EXPECT_NE(f3, 0u);
    EXPECT_EQ(closed, (std::vector<int>{1, 4})); // b1
    EXPECT_EQ(open("f", 3), 0u);                 // the front's own limit
    table.SetInHeader(f3, false);
    EXPECT_EQ(open("c"), 0u); // all four busy
    table.SetInHeader(a1, true);
    EXPECT_NE(open("c"), 0u);
    EXPECT_EQ(closed.size(), 3u);
    table.Remove(f3);
    table.Remove(f3); // twice is harmless
    EXPECT_EQ(table.Count(), 3u);
    EXPECT_EQ(table.CountFrom("f"), 2u);
    table.CloseAll();
    EXPECT_EQ(closed.size(), 6u);
    EXPECT_EQ(open("d"), 0u); // closed for good
}

TEST(ServerOptions, CommandLine) {
    struct TRow {
        std::vector<std::string_view> Args;
        TOptionsParse::TAction Action;
        std::string Host = {};
        int Port = 0;
        std::string PublicUrl = {};
        std::uint64_t MaxUpload = 0, Quota = 0;
        unsigned PerMinute = 0;
        std::string Proxy = {};
    } rows[] = {
        {{}, TOptionsParse::Run, "127.0.0.1", 8735, "", 8u << 20, 1u << 30, 30},
        {{"--listen", "0.0.0.0:80", "--max-upload-bytes=100K", "--quota-bytes", "2G"},
         TOptionsParse::Run,
         "0.0.0.0",
         80,
         "",
         100 << 10,
         2ull << 30,
         30},
        {{"--listen=[::1]:0", "--uploads-per-minute", "0", "--public-url", "http://x.example/t"},
         TOptionsParse::Run,
         "::1",
         0,
         "http://x.example/t/",
         8u << 20,
         1u << 30,
         0},
        {{"--trusted-proxy", "::ffff:10.1.2.3"},
         TOptionsParse::Run,
         "127.0.0.1",
         8735,
         "",
         8u << 20,
         1u << 30,
         30,
         "10.1.2.3"},
        {{"--trusted-proxy=2001:db8::1"},
         TOptionsParse::Run,
         "127.0.0.1",
         8735,
         "",
         8u << 20,
         1u << 30,
         30,
         "2001:db8::1"},
        // A front on this machine comes through the socket: any process can use loopback.
        {{"--trusted-proxy", "::ffff:127.0.0.1"}, TOptionsParse::Error},
        {{"--trusted-proxy=::1"}, TOptionsParse::Error},
        {{"--proxy-socket", "relative.sock"}, TOptionsParse::Error},
        {{"--trusted-proxy", "front.example"}, TOptionsParse::Error},
        {{"--connections-per-client", "0"}, TOptionsParse::Error},
        {{"--version", "--bogus"}, TOptionsParse::Version},
        {{"--help"}, TOptionsParse::Help},
        {{"--bogus"}, TOptionsParse::Error},
        {{"--root"}, TOptionsParse::Error},
        {{"--listen", "8735"}, TOptionsParse::Error},
        {{"--listen", "127.0.0.1:65536"}, TOptionsParse::Error},
        {{"--listen", "::1:80"}, TOptionsParse::Error},
        {{"--max-upload-bytes", "-1"}, TOptionsParse::Error},
        {{"--quota-bytes", "99999999999G"}, TOptionsParse::Error},
        {{"--uploads-per-minute", "x"}, TOptionsParse::Error},
        {{"--public-url", "ftp://x/"}, TOptionsParse::Error},
    };
    for (const TRow& row : rows) {
        const TOptionsParse parse = ParseServerOptions(row.Args, "/xdg", "/home/u");
        const std::string args = row.Args.empty() ? "" : std::string(row.Args[0]);
        ASSERT_EQ(parse.Action, row.Action) << args << " " << parse.Message;
        if (row.Action == TOptionsParse::Error) {
            EXPECT_FALSE(parse.Message.empty()) << args;
        }
        if (row.Action != TOptionsParse::Run)
            continue;
        EXPECT_EQ(parse.Options.Host, row.Host) << args;
        EXPECT_EQ(parse.Options.Port, row.Port) << args;
        EXPECT_EQ(parse.Options.PublicUrl, row.PublicUrl) << args;
        EXPECT_EQ(parse.Options.MaxUploadBytes, row.MaxUpload) << args;
        EXPECT_EQ(parse.Options.QuotaBytes, row.Quota) << args;
        EXPECT_EQ(parse.Options.UploadsPerMinute, row.PerMinute) << args;
        EXPECT_EQ(parse.Options.TrustedProxy, row.Proxy) << args;
        EXPECT_EQ(parse.Options.Root, "/xdg/Tonalyx/server") << args;
    }
    EXPECT_EQ(ParseServerOptions(std::vector<std::string_view>{"--connections-per-client=64"},
                                 "/xdg", nullptr)
                  .Options.Limits.ConnectionsPerClient,
              64u);
    EXPECT_EQ(ParseServerOptions(std::vector<std::string_view>{"--proxy-socket", "/run/t/f.sock"},
                                 "/xdg", nullptr)
                  .Options.ProxySocket,
              "/run/t/f.sock");
    EXPECT_EQ(DefaultDataFolder(nullptr, "/home/u"), "/home/u/.local/share/Tonalyx/server");
    EXPECT_EQ(DefaultDataFolder("relative", "/home/u"), "/home/u/.local/share/Tonalyx/server");
    EXPECT_EQ(ParseServerOptions({}, nullptr, nullptr).Action, TOptionsParse::Error);
    EXPECT_EQ(DefaultPublicUrl("::1", 8735), "http://[::1]:8735/");
}

TEST(ServerLimits, RatePerAddressOverOneMinute) {
    using namespace std::chrono_literals;
    TRateLimiter rate(3);
    const auto t0 = TRateLimiter::TClock::time_point{} + 1h;
    EXPECT_TRUE(rate.Allow("a", t0));
    EXPECT_TRUE(rate.Allow("a", t0 + 10s));
    EXPECT_TRUE(rate.Allow("a", t0 + 20s));
    EXPECT_FALSE(rate.Allow("a", t0 + 30s));
    EXPECT_TRUE(rate.Allow("b", t0 + 30s)); // another address has a count of its own
    EXPECT_TRUE(rate.Allow("a", t0 + 60s)); // the first has left the window
    EXPECT_FALSE(rate.Allow("a", t0 + 61s));
    // Quiet addresses are forgotten, so many clients do not grow the table for ever.
    for (int i = 0; i < 600; ++i)
        rate.Allow("client" + std::to_string(i), t0 + 2min);
    rate.Allow("late", t0 + 4min);
    for (int i = 0; i < 300; ++i)
        rate.Allow("late", t0 + 4min);
    EXPECT_LE(rate.TrackedAddresses(), 2u);
    EXPECT_FALSE(TRateLimiter(0).Allow("a", t0));
}

TEST(ServerLimits, QuotaReservesAndReleases) {
    TByteQuota quota(100, 30);
    EXPECT_TRUE(quota.Reserve(70));
    EXPECT_FALSE(quota.Reserve(1));
    quota.Release(20);
    EXPECT_TRUE(quota.Reserve(20));
    EXPECT_FALSE(quota.Reserve(~std::uint64_t(0))); // no wrap-around
    EXPECT_EQ(quota.Used(), 100u);
}

// The installed default feed with the version filled in, as a new data folder gets it.
std::string DefaultFeed(std::string_view shortVersion) {
    TTempFolder temp;
    const TUniqueFd root(::open(temp.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_TRUE(WriteDefaultSiteFiles(root.Get(), TONALYX_SITE_DEFAULTS, shortVersion).empty());
    return ReadFile(temp.Path() / "Tonalyx-Info/feed.xml");
}

TEST(ServerFeed, ProblemsTheProgramWouldHave) {
    const std::string feed = DefaultFeed("1.2.3");
    EXPECT_NE(feed.find("<LastVersion>1.2.3</LastVersion>"), std::string::npos);
    EXPECT_NE(feed.find("<Text></Text>"), std::string::npos);
    const std::string pad = std::string(FeedMaxBytes, ' ');
    struct TRow {
        const char* What;
        std::string Feed;
        std::size_t Problems;
    } rows[] = {
        {"default", feed, 0},
        {"exactly the limit", feed + std::string(FeedMaxBytes - feed.size(), ' '), 0},
        {"one byte over", feed + std::string(FeedMaxBytes + 1 - feed.size(), ' '), 1},
        {"unclosed", "<a><b></a>", 1},
        {"empty", "", 1},
        {"over and broken", "<a>" + pad, 2},
        // An external entity is neither fetched nor substituted, and is no error.
        {"external entity", "<!DOCTYPE a [<!ENTITY e SYSTEM \"http://127.0.0.1:1/x\">]><a>&e;</a>",
         0},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(FeedProblems(row.Feed).size(), row.Problems) << row.What;
}

TEST(ServerLog, LinesCannotBeForged) {
    EXPECT_EQ(LogSafe("/a b\n2026 fake\\"), "/a\\x20b\\x0a2026\\x20fake\\x5c");
    const std::string line = RequestLogLine("127.0.0.1", "GET", "/x\r\ny", 404, 14, "why");
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find(" 127.0.0.1 GET /x\\x0d\\x0ay 404 14 why"), std::string::npos) << line;
}

} // namespace
