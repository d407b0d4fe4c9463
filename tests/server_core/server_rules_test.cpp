// The server's rules on their own: picture names, PNG headers, the command line, the rate
// and the quota, the feed's problems and what goes into the log.
#include "feed.h"
#include "png_check.h"
#include "request_log.h"
#include "server_options.h"
#include "site_files.h"
#include "upload_limits.h"
#include "server_test_support.h"

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

TEST(ServerPng, HeaderChecks) {
    std::string badCrc = Png();
    badCrc[20] ^= 1;
    std::string notIhdr = Png();
    notIhdr[12] = 'J';
    struct TRow {
        const char* What;
        std::string Bytes;
        bool Png;
    } rows[] = {
        {"RGBA", Png(), true},
        {"grey 16", Png(1, 1, 0, 16, 0), true},
        {"palette 4", Png(7, 7, 0, 4, 3), true},
        {"empty", "", false},
        {"signature only", std::string("\x89PNG\r\n\x1a\n", 8), false},
        {"GIF", "GIF89a" + std::string(40, '\0'), false},
        {"cut in IHDR", Png().substr(0, 25), false},
        {"zero width", Png(0, 3), false},
        {"RGB of 4 bits", Png(1, 1, 0, 4, 2), false},
        {"colour type 5", Png(1, 1, 0, 8, 5), false},
        {"damaged CRC", badCrc, false},
        {"other first chunk", notIhdr, false},
    };
    for (const TRow& row : rows)
        EXPECT_EQ(PngProblem(row.Bytes).empty(), row.Png)
            << row.What << ": " << PngProblem(row.Bytes);
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
        EXPECT_EQ(parse.Options.Root, "/xdg/Tonalyx/server") << args;
    }
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
