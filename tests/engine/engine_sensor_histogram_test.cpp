// The sensor histogram's arithmetic: the headroom by its 0.1 % rule and the exposure axis.
#include "sensor_histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <utility>
#include <vector>

using namespace tonalyx;

namespace {

// Counts of size values with n photosites at each given value.
std::vector<std::uint64_t> CountsOf(std::size_t size,
                                    std::vector<std::pair<int, std::uint64_t>> at) {
    std::vector<std::uint64_t> counts(size);
    for (const auto& [value, n] : at)
        counts[static_cast<std::size_t>(value)] += n;
    return counts;
}

struct THeadroomCase {
    const char* Name;
    std::vector<std::uint64_t> Counts;
    int Black, White;
    std::optional<double> Expected;
};

} // namespace

TEST(SensorHistogram, HeadroomByTheTenthOfAPercentAbove) {
    const THeadroomCase cases[] = {
        {"no counts", {}, 0, 4095, std::nullopt},
        {"nothing counted", CountsOf(4096, {}), 0, 4095, std::nullopt},
        {"white not above black", CountsOf(4096, {{100, 10}}), 512, 512, std::nullopt},
        {"all at black", CountsOf(4096, {{512, 50}, {500, 50}}), 512, 4095, std::nullopt},
        {"only value 0", CountsOf(1, {{0, 5}}), 0, 4095, std::nullopt},
        {"at white: no headroom", CountsOf(4096, {{4095, 10}}), 0, 4095, 0.0},
        {"half way: one stop", CountsOf(4096, {{2303, 10}}), 511, 4095, 1.0},
        {"a quarter above black: two stops", CountsOf(16384, {{1024 + 3840, 7}}), 1024, 16384, 2.0},
        // 1000 photosites allow one above p: a lone highlight does not count, two do.
        {"one in a thousand above", CountsOf(4096, {{1023, 999}, {4095, 1}}), 0, 4092, 2.0},
        {"two in a thousand above", CountsOf(4096, {{1023, 998}, {4095, 2}}), 0, 4095, 0.0},
        // 999 photosites allow none above.
        {"one in 999 above", CountsOf(4096, {{1023, 998}, {4095, 1}}), 0, 4095, 0.0},
        {"values above white", CountsOf(4200, {{4190, 10}}), 0, 4095, std::log2(4095.0 / 4190)},
    };
    for (const THeadroomCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::optional<double> headroom = HeadroomEv(c.Counts, c.Black, c.White);
        ASSERT_EQ(headroom.has_value(), c.Expected.has_value());
        if (headroom) {
            EXPECT_NEAR(*headroom, *c.Expected, 1e-12);
        }
    }
}

TEST(SensorHistogram, StopsBelowWhiteOnTheExposureAxis) {
    const struct {
        int Value, Black, White;
        std::optional<double> Stops;
    } cases[] = {
        {4095, 0, 4095, 0.0}, {2303, 511, 4095, -1.0}, {1535, 511, 4607, -2.0},
        {511, 511, 4095, {}}, {100, 511, 4095, {}},    {1000, 512, 512, {}},
        {8190, 0, 4095, 1.0}, {1, 0, 4096, -12.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Value);
        const std::optional<double> stops = StopsBelowWhite(c.Value, c.Black, c.White);
        ASSERT_EQ(stops.has_value(), c.Stops.has_value());
        if (stops) {
            EXPECT_NEAR(*stops, *c.Stops, 1e-12);
        }
    }
}

TEST(SensorHistogram, PhotositesOfEveryChannel) {
    TSensorHistogram hist;
    for (std::vector<std::uint64_t> counts :
         {std::vector<std::uint64_t>{1, 2, 3}, {0, 0, 0, 4}, {}}) {
        TSensorChannel channel;
        channel.Counts = std::move(counts);
        hist.Channels.push_back(std::move(channel));
    }
    EXPECT_EQ(hist.Photosites(), 10u);
}
