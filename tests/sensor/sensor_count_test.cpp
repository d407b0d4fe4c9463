// The sensor's counts of DNG files the tests write: every photosite of the visible area per
// colour of the filter, the levels, the clipped and at-black photosites and the headroom,
// against the values written; against an independent raw reader where one is installed;
// damaged and hostile files refused with a plain reason.
#include "sensor_count.h"

#include "byte_source.h"
#include "dng_maker.h"
#include "open_reasons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

std::filesystem::path TempDir() {
    const auto dir = std::filesystem::temp_directory_path() /
                     ("tonalyx-sensor-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

TOutcome<TSensorHistogram> CountBytes(const std::vector<std::uint8_t>& bytes,
                                      const TCancelCheck& cancelled = {},
                                      const TMemoryLeft& left = {}) {
    TMemoryBytes source(bytes.data(), bytes.size());
    return CountSensor(source, cancelled, left);
}

TOutcome<TSensorHistogram> CountDng(const TDngSpec& spec, const std::string& name) {
    const auto path = TempDir() / name;
    EXPECT_TRUE(WriteDng(path, spec));
    return CountBytes(ReadBytes(path));
}

// Values spread over 0 .. white + 300, with a clipped patch and a patch at black: a
// hash of the place, so every channel gets many different values.
std::uint16_t Scene(int x, int y, int sample, int white, int black) {
    if (x >= 4 && x < 12 && y >= 4 && y < 10)
        return static_cast<std::uint16_t>(white + (x + y) % 3); // clipped
    if (x >= 14 && x < 18 && y >= 4 && y < 8)
        return static_cast<std::uint16_t>(std::max(0, black - (x % 2))); // at or below black
    const unsigned h = (unsigned(x) * 2654435761u) ^ (unsigned(y) * 40503u) ^ unsigned(sample * 97);
    return static_cast<std::uint16_t>((h >> 7) % unsigned(white + 300));
}

// What the counts must be: the written values of the visible area per letter of the pattern
// at its place, the greens of the blue's row being the second green.
struct TExpected {
    std::map<std::string, std::vector<std::uint16_t>> Values;
};

// LibRaw starts the visible area of a DNG whose active area begins at an odd row or column
// one further; the pattern's places stay the active area's.
struct TVisible {
    int Top, Left, Bottom, Right;
    std::string Pattern;
};

TVisible VisibleOf(const TDngSpec& spec) {
    TVisible v{spec.Top + spec.Top % 2, spec.Left + spec.Left % 2,
               spec.Bottom > 0 ? spec.Bottom : spec.Height, spec.Bottom > 0 ? spec.Right : spec.Width,
               spec.Pattern};
    if (!spec.Pattern.empty())
        for (int i = 0; i < 4; ++i)
            v.Pattern[static_cast<std::size_t>(i)] =
                spec.Pattern[static_cast<std::size_t>((i / 2 + spec.Top % 2) % 2 * 2 +
                                                      (i % 2 + spec.Left % 2) % 2)];
    return v;
}

TExpected Expect(const TDngSpec& spec) {
    TExpected e;
    const TVisible v = VisibleOf(spec);
    const int top = spec.Top, left = spec.Left;
    for (int y = v.Top; y < v.Bottom; ++y)
        for (int x = v.Left; x < v.Right; ++x) {
            if (spec.Pattern.empty()) {
                for (int s = 0; s < 3; ++s)
                    e.Values[std::string(1, "RGB"[s])].push_back(spec.Value(x, y, s));
                continue;
            }
            const int py = (y - top) % 2, px = (x - left) % 2;
            const char letter = spec.Pattern[static_cast<std::size_t>(py * 2 + px)];
            std::string name(1, letter);
            if (letter == 'G' && spec.Pattern.substr(static_cast<std::size_t>(py * 2), 2).find('B') !=
                                     std::string::npos)
                name = "G2";
            e.Values[name].push_back(spec.Value(x, y, 0));
        }
    return e;
}

// The headroom by its definition: p is the (n/1000 + 1)-th largest value.
std::optional<double> HeadroomOf(std::vector<std::uint16_t> values, int black, int white) {
    std::sort(values.begin(), values.end());
    const std::size_t above = values.size() / 1000;
    const int p = values[values.size() - 1 - above];
    if (p <= black)
        return std::nullopt;
    return std::log2(double(white - black) / double(p - black));
}

struct TCase {
    const char* Name;
    std::string Pattern;
    int Top, Left, Bottom, Right;
    std::vector<int> Black;
    int White;
};

class SensorCounts : public testing::TestWithParam<TCase> {};

} // namespace

TEST_P(SensorCounts, EveryVisiblePhotositeByItsFilterColour) {
    const TCase& c = GetParam();
    TDngSpec spec;
    spec.Width = 70;
    spec.Height = 52;
    spec.Pattern = c.Pattern;
    spec.Top = c.Top, spec.Left = c.Left, spec.Bottom = c.Bottom, spec.Right = c.Right;
    spec.Black = c.Black;
    spec.White = c.White;
    const int minBlack = *std::min_element(c.Black.begin(), c.Black.end());
    spec.Value = [&](int x, int y, int s) { return Scene(x, y, s, c.White, minBlack); };
    const TOutcome<TSensorHistogram> hist = CountDng(spec, std::string(c.Name) + ".dng");
    ASSERT_TRUE(hist.Ok()) << DescribeFailure(hist.Error());

    const TExpected expected = Expect(spec);
    const TVisible visible = VisibleOf(spec);
    EXPECT_EQ(hist->Make, "Tonalyx");
    EXPECT_EQ(hist->Model, "Test Sensor");
    EXPECT_EQ(hist->Pattern, visible.Pattern);
    EXPECT_EQ(hist->Width, visible.Right - visible.Left);
    EXPECT_EQ(hist->Height, visible.Bottom - visible.Top);
    EXPECT_EQ(hist->White, c.White);
    ASSERT_EQ(hist->Channels.size(), expected.Values.size());
    for (const TSensorChannel& channel : hist->Channels) {
        SCOPED_TRACE(channel.Name);
        ASSERT_TRUE(expected.Values.count(channel.Name));
        const std::vector<std::uint16_t>& values = expected.Values.at(channel.Name);
        // Its black: the common level, or the level of its place in the pattern.
        int black = c.Black[0];
        if (c.Black.size() == 4) {
            const std::size_t at = c.Pattern.find(channel.Name == "G2" ? 'G' : channel.Name[0],
                                                  channel.Name == "G2" ? c.Pattern.find('B') / 2 * 2
                                                                       : 0);
            black = c.Black[at];
        }
        EXPECT_EQ(channel.Black, black);
        std::vector<std::uint64_t> counts(
            std::max<std::size_t>(*std::max_element(values.begin(), values.end()),
                                  static_cast<std::size_t>(c.White)) +
            1);
        std::uint64_t clipped = 0, atBlack = 0;
        for (std::uint16_t v : values) {
            ++counts[v];
            clipped += v >= c.White;
            atBlack += v <= black;
        }
        EXPECT_EQ(channel.Counts, counts);
        EXPECT_EQ(channel.Clipped, clipped);
        EXPECT_EQ(channel.AtBlack, atBlack);
        EXPECT_GT(clipped, 0u);
        const std::optional<double> headroom = HeadroomOf(values, black, c.White);
        ASSERT_EQ(channel.HeadroomEv.has_value(), headroom.has_value());
        if (headroom) {
            EXPECT_DOUBLE_EQ(*channel.HeadroomEv, *headroom);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dng, SensorCounts,
    testing::Values(TCase{"rggb12", "RGGB", 0, 0, 0, 0, {0}, 4095},
                    TCase{"bggr14", "BGGR", 0, 0, 0, 0, {512}, 16383},
                    TCase{"grbg_margins", "GRBG", 2, 4, 50, 66, {256}, 4095},
                    TCase{"gbrg_odd_margins", "GBRG", 3, 5, 49, 67, {128}, 15000},
                    TCase{"rggb_black_each", "RGGB", 2, 2, 50, 68, {100, 110, 120, 130}, 4000},
                    TCase{"linear", "", 0, 0, 0, 0, {64}, 4095}),
    [](const testing::TestParamInfo<TCase>& param) { return std::string(param.param.Name); });
