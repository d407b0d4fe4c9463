// The sensor's counts of DNG files the tests write: every photosite of the visible area per
// colour of the filter, the levels, the clipped and at-black photosites and the headroom,
// against the values written; against an independent raw reader where one is installed;
// damaged and hostile files refused with a plain reason.
#include "sensor_count.h"

#include "byte_source.h"
#include "dng_maker.h"
#include "open_reasons.h"

#include <gtest/gtest.h>

#include <unistd.h>

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
    const auto dir =
        std::filesystem::temp_directory_path() / ("tonalyx-sensor-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir;
}

TOutcome<TSensorHistogram> CountBytes(const std::vector<std::uint8_t>& bytes,
                                      const TCancelCheck& cancelled = {},
                                      const TMemoryLeft& left = {}) {
    TMemoryBytes source(bytes.data(), bytes.size());
    return CountSensor(source, cancelled, left);
}

TOutcome<TSensorHistogram> CountDng(const TDngLayout& layout, const std::string& name) {
    const auto path = TempDir() / name;
    EXPECT_TRUE(WriteDng(path, layout));
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

TVisible VisibleOf(const TDngLayout& layout) {
    TVisible v{layout.Top + layout.Top % 2, layout.Left + layout.Left % 2,
               layout.Bottom > 0 ? layout.Bottom : layout.Height,
               layout.Bottom > 0 ? layout.Right : layout.Width, layout.Pattern};
    if (layout.Pattern.size() == 4)
        for (int i = 0; i < 4; ++i)
            v.Pattern[static_cast<std::size_t>(i)] = layout.Pattern[static_cast<std::size_t>(
                (i / 2 + layout.Top % 2) % 2 * 2 + (i % 2 + layout.Left % 2) % 2)];
    return v;
}

TExpected Expect(const TDngLayout& layout) {
    TExpected e;
    const TVisible v = VisibleOf(layout);
    const int top = layout.Top, left = layout.Left;
    for (int y = v.Top; y < v.Bottom; ++y)
        for (int x = v.Left; x < v.Right; ++x) {
            if (layout.Pattern.empty()) {
                for (int s = 0; s < 3; ++s)
                    e.Values[std::string(1, "RGB"[s])].push_back(layout.Value(x, y, s));
                continue;
            }
            const int side = layout.Pattern.size() == 36 ? 6 : 2;
            const int py = (y - top) % side, px = (x - left) % side;
            const char letter = layout.Pattern[static_cast<std::size_t>(py * side + px)];
            std::string name(1, letter);
            if (side == 2 && letter == 'G' &&
                layout.Pattern.substr(static_cast<std::size_t>(py * 2), 2).find('B') !=
                    std::string::npos)
                name = "G2";
            e.Values[name].push_back(layout.Value(x, y, 0));
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

// A 70 × 52 DNG of the case's pattern, area and levels, its values the Scene.
TDngLayout LayoutOf(const TCase& c) {
    TDngLayout layout;
    layout.Width = 70;
    layout.Height = 52;
    layout.Pattern = c.Pattern;
    layout.Top = c.Top, layout.Left = c.Left, layout.Bottom = c.Bottom, layout.Right = c.Right;
    layout.Black = c.Black;
    layout.White = c.White;
    const int minBlack = *std::min_element(c.Black.begin(), c.Black.end());
    layout.Value = [white = c.White, minBlack](int x, int y, int s) {
        return Scene(x, y, s, white, minBlack);
    };
    return layout;
}

class SensorCounts : public testing::TestWithParam<TCase> {};

} // namespace

TEST_P(SensorCounts, EveryVisiblePhotositeByItsFilterColour) {
    const TCase& c = GetParam();
    const TDngLayout layout = LayoutOf(c);
    const TOutcome<TSensorHistogram> hist = CountDng(layout, std::string(c.Name) + ".dng");
    ASSERT_TRUE(hist.Ok()) << DescribeFailure(hist.Error());

    const TExpected expected = Expect(layout);
    const TVisible visible = VisibleOf(layout);
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
            const std::size_t at =
                c.Pattern.find(channel.Name == "G2" ? 'G' : channel.Name[0],
                               channel.Name == "G2" ? c.Pattern.find('B') / 2 * 2 : 0);
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

// The photosites kept for the window are the visible area's values as written, row by row,
// with the filter's tile, and reading them counts what CountSensor counts.
TEST_P(SensorCounts, KeptPhotositesAreTheVisibleAreasValuesWithTheTile) {
    const TCase& c = GetParam();
    const TDngLayout layout = LayoutOf(c);
    const auto path = TempDir() / (std::string(c.Name) + "_kept.dng");
    ASSERT_TRUE(WriteDng(path, layout));
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    TMemoryBytes source(bytes.data(), bytes.size());
    const TOutcome<TSensorReading> read = ReadSensor(source);
    ASSERT_TRUE(read.Ok()) << DescribeFailure(read.Error());
    const TOutcome<TSensorHistogram> counted = CountBytes(bytes);
    ASSERT_TRUE(counted.Ok());
    ASSERT_EQ(read->Histogram.Channels.size(), counted->Channels.size());
    for (std::size_t k = 0; k < counted->Channels.size(); ++k)
        EXPECT_EQ(read->Histogram.Channels[k].Counts, counted->Channels[k].Counts);

    const TSensorMosaic& m = read->Mosaic;
    const TVisible v = VisibleOf(layout);
    const int samples = c.Pattern.empty() ? 3 : 1;
    EXPECT_EQ(m.Width, v.Right - v.Left);
    EXPECT_EQ(m.Height, v.Bottom - v.Top);
    EXPECT_EQ(m.Samples, samples);
    EXPECT_EQ(m.White, c.White);
    std::vector<std::uint16_t> written;
    for (int y = v.Top; y < v.Bottom; ++y)
        for (int x = v.Left; x < v.Right; ++x)
            for (int s = 0; s < samples; ++s)
                written.push_back(layout.Value(x, y, s));
    EXPECT_EQ(std::vector<std::uint16_t>(m.Values.begin(), m.Values.end()), written);
    EXPECT_EQ(m.Bytes(), std::int64_t(written.size() * 2));
    if (samples == 3) {
        EXPECT_EQ(m.TileRows, 0);
        return;
    }
    // The tile read back as the histogram's pattern, its second green in the blue's row.
    std::string letters;
    for (int r = 0; r < m.TileRows; ++r)
        for (int col = 0; col < m.TileColumns; ++col) {
            const TSensorColour colour = m.ColourAt(col, r);
            letters += "RGBG"[colour];
            if (colour == SensorG2) {
                EXPECT_EQ(m.TileRows, 2);
                EXPECT_EQ(m.ColourAt(1 - col, r), SensorB);
            }
        }
    EXPECT_EQ(letters, v.Pattern);
}

INSTANTIATE_TEST_SUITE_P(
    Dng, SensorCounts,
    testing::Values(
        TCase{"rggb12", "RGGB", 0, 0, 0, 0, {0}, 4095},
        TCase{"bggr14", "BGGR", 0, 0, 0, 0, {512}, 16383},
        TCase{"grbg_margins", "GRBG", 2, 4, 50, 66, {256}, 4095},
        TCase{"gbrg_odd_margins", "GBRG", 3, 5, 49, 67, {128}, 15000},
        TCase{"rggb_black_each", "RGGB", 2, 2, 50, 68, {100, 110, 120, 130}, 4000},
        TCase{"linear", "", 0, 0, 0, 0, {64}, 4095},
        TCase{"six_by_six", "GGRGGBGGBGGRBRGRBGGGBGGRGGRGGBRBGBRG", 0, 0, 0, 0, {256}, 16383}),
    [](const testing::TestParamInfo<TCase>& param) { return std::string(param.param.Name); });

namespace {

TDngLayout SceneDng(const std::string& pattern, int white, int black) {
    TDngLayout layout;
    layout.Width = 72;
    layout.Height = 50;
    layout.Pattern = pattern;
    layout.Black = {black};
    layout.White = white;
    layout.Value = [=](int x, int y, int s) { return Scene(x, y, s, white, black); };
    return layout;
}

// The photosites an independent raw reader writes out unscaled for path (a 16-bit PGM of the
// visible area, not turned), counted per place of the 2×2 pattern; empty when it is missing.
std::vector<std::vector<std::uint64_t>> ReaderCounts(const std::filesystem::path& path, int& width,
                                                     int& height) {
    std::vector<std::vector<std::uint64_t>> counts;
    const std::string command = "dcraw -D -4 -t 0 -c '" + path.string() + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    int maxval = 0;
    if (!pipe || std::fscanf(pipe.get(), "P5 %d %d %d", &width, &height, &maxval) != 3)
        return counts;
    std::fgetc(pipe.get());
    counts.assign(4, std::vector<std::uint64_t>(65536));
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * 2);
    for (int y = 0; y < height; ++y) {
        if (std::fread(row.data(), 1, row.size(), pipe.get()) != row.size())
            return {};
        for (int x = 0; x < width; ++x)
            ++counts[static_cast<std::size_t>((y % 2) * 2 + x % 2)]
                    [row[2 * x] << 8 | row[2 * x + 1]];
    }
    return counts;
}

// The channel at place i (by rows) of a 2×2 pattern: the green beside blue is the second.
std::string ChannelAt(const std::string& pattern, std::size_t i) {
    if (pattern[i] != 'G')
        return std::string(1, pattern[i]);
    return pattern.substr(i / 2 * 2, 2).find('B') != std::string::npos ? "G2" : "G";
}

} // namespace

TEST(SensorAgainstReader, CountsPerFilterPlaceEqualTheIndependentReaders) {
    if (std::system("command -v dcraw >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "dcraw is not installed";
    struct TFile {
        const char* Name;
        TDngLayout Layout;
    };
    std::vector<TFile> files = {{"reader_rggb.dng", SceneDng("RGGB", 4095, 256)},
                                {"reader_bggr.dng", SceneDng("BGGR", 16383, 1024)},
                                {"reader_gbrg.dng", SceneDng("GBRG", 15000, 0)}};
    files[2].Layout.Top = 2, files[2].Layout.Left = 4, files[2].Layout.Bottom = 48,
    files[2].Layout.Right = 70;
    for (const TFile& f : files) {
        SCOPED_TRACE(f.Name);
        const auto path = TempDir() / f.Name;
        ASSERT_TRUE(WriteDng(path, f.Layout));
        int width = 0, height = 0;
        const auto reader = ReaderCounts(path, width, height);
        ASSERT_FALSE(reader.empty());
        const TOutcome<TSensorHistogram> hist = CountBytes(ReadBytes(path));
        ASSERT_TRUE(hist.Ok()) << DescribeFailure(hist.Error());
        EXPECT_EQ(hist->Width, width);
        EXPECT_EQ(hist->Height, height);
        for (std::size_t place = 0; place < 4; ++place) {
            const std::string name = ChannelAt(hist->Pattern, place);
            const auto channel = std::find_if(hist->Channels.begin(), hist->Channels.end(),
                                              [&](const auto& c) { return c.Name == name; });
            ASSERT_NE(channel, hist->Channels.end()) << name;
            std::vector<std::uint64_t> expected = reader[place];
            expected.resize(channel->Counts.size());
            EXPECT_EQ(channel->Counts, expected) << name;
        }
    }
}

namespace {

// Rewrites the first directory's entry for tag as a LONG of value (a little-endian TIFF).
void SetLong(std::vector<std::uint8_t>& b, std::uint16_t tag, std::uint32_t value) {
    const auto u16 = [&](std::size_t at) { return std::uint16_t(b[at] | b[at + 1] << 8); };
    const std::size_t ifd = b[4] | b[5] << 8 | b[6] << 16 | std::size_t(b[7]) << 24;
    for (std::size_t i = 0; i < u16(ifd); ++i) {
        const std::size_t at = ifd + 2 + 12 * i;
        if (u16(at) != tag)
            continue;
        b[at + 2] = 4, b[at + 3] = 0;
        for (int k = 0; k < 4; ++k)
            b[at + 8 + k] = static_cast<std::uint8_t>(value >> (8 * k));
    }
}

// The offset of the word that points to the directory after the first.
std::size_t NextIfdLink(const std::vector<std::uint8_t>& b) {
    const std::size_t ifd = b[4] | b[5] << 8 | b[6] << 16 | std::size_t(b[7]) << 24;
    return ifd + 2 + 12 * std::size_t(b[ifd] | b[ifd + 1] << 8);
}

std::vector<std::uint8_t> MadeDng(const TDngLayout& layout) {
    const auto path = TempDir() / "damaged_base.dng";
    EXPECT_TRUE(WriteDng(path, layout));
    return ReadBytes(path);
}

} // namespace

TEST(SensorBadFiles, RefusedWithAPlainReasonNeverACrash) {
    const std::vector<std::uint8_t> good = MadeDng(SceneDng("RGGB", 4095, 64));
    TDngLayout previewLayout = SceneDng("RGGB", 4095, 64);
    previewLayout.Preview = true;
    const std::vector<std::uint8_t> withPreview = MadeDng(previewLayout);
    ASSERT_TRUE(CountBytes(good).Ok());
    ASSERT_TRUE(CountBytes(withPreview).Ok());

    std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
    std::vector<std::uint8_t> huge = good;
    SetLong(huge, 256, 30000); // 30000 × 20000 photosites declared
    SetLong(huge, 257, 20000);
    std::vector<std::uint8_t> lying = good; // more rows and columns than its strips hold
    SetLong(lying, 256, 200);
    SetLong(lying, 257, 150);
    std::vector<std::uint8_t> looping = good; // the directory chain points back to itself
    const std::size_t link = NextIfdLink(looping);
    std::copy(looping.begin() + 4, looping.begin() + 8, looping.begin() + long(link));
    const std::string text = "Not a raw file at all, only a few words of text.\n";

    struct TBad {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        std::vector<std::string> Reasons; // any of these; empty: may open
    };
    const std::vector<TBad> cases = {
        {"empty", {}, {EmptyFile().Reason}},
        {"text", {text.begin(), text.end()}, {NotPictureOf("camera raw", {}).Reason}},
        {"truncated", truncated, {FileEndsEarly({}).Reason, BrokenPictureData({}).Reason}},
        {"huge", huge, {PictureTooLarge(0, 0).Reason}},
        {"lying",
         lying,
         {FileEndsEarly({}).Reason, BrokenPictureData({}).Reason, BrokenHeader({}).Reason,
          NotPictureOf("camera raw", {}).Reason}},
        {"looping", looping, {}},
    };
    for (const TBad& c : cases) {
        SCOPED_TRACE(c.Name);
        const TOutcome<TSensorHistogram> hist = CountBytes(c.Bytes);
        if (c.Reasons.empty())
            continue;
        ASSERT_FALSE(hist.Ok());
        EXPECT_NE(std::find(c.Reasons.begin(), c.Reasons.end(), hist.Reason()), c.Reasons.end())
            << DescribeFailure(hist.Error());
    }
}

TEST(SensorBadFiles, TheMemoryLeftRefusesTheDeclaredSensorBeforeUnpacking) {
    std::vector<std::uint8_t> big = MadeDng(SceneDng("RGGB", 4095, 64));
    SetLong(big, 256, 8000); // 8000 × 6000 photosites: 96 MB unpacked
    SetLong(big, 257, 6000);
    const TOutcome<TSensorHistogram> hist =
        CountBytes(big, {}, [] { return std::uint64_t{50'000'000}; });
    ASSERT_FALSE(hist.Ok());
    EXPECT_EQ(hist.Error(), PictureOverMemoryLeft(8000, 6000, 8000 * 6000 * 2, 50'000'000));
}

TEST(SensorBadFiles, ACancelledCountEndsWithCancelled) {
    const std::vector<std::uint8_t> good = MadeDng(SceneDng("RGGB", 4095, 64));
    for (int after : {0, 1, 3}) {
        std::atomic<int> asked{0};
        const TOutcome<TSensorHistogram> hist = CountBytes(good, [&] { return asked++ >= after; });
        ASSERT_FALSE(hist.Ok()) << after;
        EXPECT_EQ(hist.Error(), DecodingCancelled()) << after;
    }
}
