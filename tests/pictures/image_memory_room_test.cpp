// How much memory opening a picture holds, what the system has left, and the rule that
// refuses a picture before it is decoded.
#include "memory_room.h"

#include "histogram.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace tonalyx;

namespace {

constexpr std::int64_t Counts = sizeof(TAllChanel); // every entry holds its counts too

TEST(MemAvailable, ReadFromTheKernelsTable) {
    const struct {
        const char* Text;
        std::optional<std::uint64_t> Bytes;
    } cases[] = {
        {"MemTotal:       24683716 kB\nMemFree:        21083840 kB\n"
         "MemAvailable:   23523516 kB\nBuffers:           37976 kB\n",
         std::uint64_t{23523516} * 1024},
        {"MemAvailable: 1 kB", 1024},                            // the last line, without its end
        {"MemAvailable:\t\t0 kB\n", 0},                          // tabs, and nothing left
        {"MemAvailable: 5000\n", 5000},                          // no unit: bytes
        {"MemTotal: 2048 kB\nMemFree: 1024 kB\n", std::nullopt}, // kernels before 3.14
        {"XMemAvailable: 7 kB\n", std::nullopt},                 // only a line that starts so
        {"MemAvailable: lots kB\n", std::nullopt},
        {"MemAvailable: 99999999999999999999 kB\n", std::nullopt}, // beyond 64 bits
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MemAvailableIn(c.Text), c.Bytes) << c.Text;
}

TEST(MemAvailable, ThisMachineHasSomeAndNoMoreThanItsMemory) {
    const std::uint64_t left = MemoryLeftBytes();
    EXPECT_GT(left, 0u);
    if (PhysicalMemoryBytes() > 0) {
        EXPECT_LE(left, PhysicalMemoryBytes());
    }
}

TEST(OpenBytes, ThePictureItsViewsCopyAndItsCounts) {
    const struct {
        int Width, Height, Side;
        std::int64_t Bytes;
    } cases[] = {
        {1000, 10, 0, 30'000 + Counts},  // shown as it is: no copy
        {1001, 10, 0, 30'040 + Counts},  // rows padded to 4 bytes
        {100, 50, 200, 15'000 + Counts}, // no larger than the side: shown as it is
        {4000, 3000, 2000, 36'000'000 + 2000 * 1500 * 4 + Counts}, // a 32-bit copy of 2000 x 1500
        {20000, 20000, 2560, 1'200'000'000 + 2560 * 2560 * 4 + Counts},
        {0, 100, 0, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OpenBytes(c.Width, c.Height, c.Side), c.Bytes) << c.Width << " x " << c.Height;
}

TEST(PictureFits, RefusedWhenMoreThanTheMemoryLeftOrTheCachesBound) {
    constexpr std::int64_t Mega = 1'000'000;
    enum TVerdict { Fits, OverMemory, OverCache };
    // A 10 MP picture shown as it is needs 30 MB and its counts.
    const std::int64_t need = OpenBytes(5000, 2000, 0);
    const struct {
        std::uint64_t MemoryLeft;
        std::optional<std::int64_t> CacheRoom;
        TVerdict Verdict;
    } cases[] = {
        {8000 * Mega, std::nullopt, Fits}, // not cached: only the memory counts
        {8000 * Mega, 31 * Mega, Fits},
        {8000 * Mega, need, Fits}, // just fits the cache
        {8000 * Mega, need - 1, OverCache},
        {8000 * Mega, 0, OverCache},
        {8000 * Mega, -5, OverCache},                        // a cache already over its bound
        {static_cast<std::uint64_t>(need), 31 * Mega, Fits}, // just fits the memory
        {static_cast<std::uint64_t>(need - 1), std::nullopt, OverMemory},
        {20 * Mega, 10 * Mega, OverMemory}, // both: the memory is what the user can change
        {0, std::nullopt, OverMemory},
    };
    for (const auto& c : cases) {
        const std::optional<TFailure> why = WhyNotFits(5000, 2000, 0, {c.MemoryLeft, c.CacheRoom});
        const std::string reason = why ? why->Reason : "";
        EXPECT_EQ(why.has_value(), c.Verdict != Fits) << c.MemoryLeft << " " << reason;
        const char* says = c.Verdict == OverMemory  ? "is free"
                           : c.Verdict == OverCache ? "kept for pictures"
                                                    : "";
        EXPECT_NE(reason.find(says), std::string::npos) << reason;
    }
}

// A progressive JPEG's decoder holds its coefficients beside the picture until the last
// scan: they must fit in the memory left, but are never cached.
TEST(PictureFits, WhatTheDecoderHoldsCountsAgainstTheMemoryLeftOnly) {
    const std::int64_t need = OpenBytes(5000, 2000, 0), coefficients = 30'000'000;
    const struct {
        std::uint64_t MemoryLeft;
        std::int64_t CacheRoom;
        bool Fits;
    } cases[] = {
        {static_cast<std::uint64_t>(need + coefficients), need, true},
        {static_cast<std::uint64_t>(need + coefficients - 1), need * 10, false},
        {static_cast<std::uint64_t>(need * 10), need - 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!WhyNotFits(5000, 2000, 0, {c.MemoryLeft, c.CacheRoom}, coefficients), c.Fits)
            << c.MemoryLeft << " " << c.CacheRoom;
}

TEST(PictureFits, TheReasonSaysHowMuchIsNeededAndHowMuchThereIs) {
    const struct {
        int Width, Height;
        std::uint64_t MemoryLeft;
        std::optional<std::int64_t> CacheRoom;
        const char* Reason;
    } cases[] = {
        {20000, 20000, 800'000'000, std::nullopt,
         "Its 20000 \u00D7 20000 pixels need 1200 MB of memory, and only 800 MB is free"},
        {20000, 20000, 8'000'000'000, 1'073'741'824,
         "Its 20000 \u00D7 20000 pixels need 1.2 GB of memory, more than the 1.1 GB kept for "
         "pictures"},
        // Amounts that would read the same get another digit, both of them.
        {20000, 20000, 1'180'000'000, std::nullopt,
         "Its 20000 \u00D7 20000 pixels need 1.20 GB of memory, and only 1.18 GB is free"},
        {6000, 4000, 50'000'000, std::nullopt,
         "Its 6000 \u00D7 4000 pixels need 72 MB of memory, and only 50 MB is free"},
    };
    for (const auto& c : cases) {
        const std::optional<TFailure> why =
            WhyNotFits(c.Width, c.Height, 0, {c.MemoryLeft, c.CacheRoom});
        ASSERT_TRUE(why);
        EXPECT_EQ(why->Reason, c.Reason);
        // The exact figures go to the log.
        EXPECT_NE(why->Detail.find(std::to_string(OpenBytes(c.Width, c.Height, 0))),
                  std::string::npos)
            << why->Detail;
    }
}

// A preview holds its band, its copy and the decoder's memory, never the picture: it must fit
// in the memory left and in a quarter of what the program keeps for pictures.
TEST(PreviewFits, RefusedWhenMoreThanTheMemoryLeftOrAQuarterOfTheCachesBound) {
    constexpr std::int64_t Mega = 1'000'000, Gibi = std::int64_t{1} << 30;
    const struct {
        std::int64_t Bytes;
        std::uint64_t MemoryLeft;
        std::int64_t CacheBound;
        const char* Reason; // empty: it fits
    } cases[] = {
        {2 * Mega, 8000 * Mega, 4 * Gibi, ""},
        {Gibi, 8000 * Mega, 4 * Gibi, ""}, // just fits the bound
        {Gibi + 1, 8000 * Mega, 4 * Gibi,
         "Its 20000 \u00D7 20000 pixels need 1.074 GB of memory to preview, more than the "
         "1.073 GB a preview may take"},
        {1'200'000'000, 8000 * Mega, 2 * Gibi,
         "Its 20000 \u00D7 20000 pixels need 1200 MB of memory to preview, more than the 537 MB "
         "a preview may take"},
        {200 * Mega, 200 * Mega, 4 * Gibi, ""}, // just fits the memory left
        {200 * Mega, 150 * Mega, 4 * Gibi,
         "Its 20000 \u00D7 20000 pixels need 200 MB of memory, and only 150 MB is free"},
        {2 * Mega, 0, 4 * Gibi,
         "Its 20000 \u00D7 20000 pixels need 2 MB of memory, and only "
         "0 MB is free"},
        {2 * Mega, 8000 * Mega, 0,
         "Its 20000 \u00D7 20000 pixels need 2 MB of memory to preview, more than the 0 MB a "
         "preview may take"},
    };
    for (const auto& c : cases) {
        const std::optional<TFailure> why =
            WhyPreviewNotFits(20000, 20000, c.Bytes, c.MemoryLeft, c.CacheBound);
        EXPECT_EQ(why ? why->Reason : "", c.Reason) << c.Bytes << " " << c.MemoryLeft;
        if (why) {
            EXPECT_NE(why->Detail.find(std::to_string(c.Bytes)), std::string::npos) << why->Detail;
        }
    }
}

} // namespace
