// Rows written in a file's own layout reach the engine as the 8-bit colour it counts: wider
// samples by the rounding rule, grey as equal blue, green and red, and a pixel whose alpha
// is 0 in no channel's count, whichever way the picture is counted.
#include "accumulate.h"
#include "colour.h"
#include "image_loader.h"
#include "layout_adapter.h"
#include "region.h"
#include "streamed_count.h"
#include "whole_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <vector>

using namespace tonalyx;

namespace {

// The nearest 8-bit value to v × 255 / (2^depth − 1), a tie going up: the value k whose
// distance |v × 255 − k × (2^depth − 1)| is least, compared in integers.
int Nearest8(std::uint32_t v, int depth) {
    const std::int64_t denominator = (std::int64_t{1} << depth) - 1;
    const std::int64_t numerator = std::int64_t{v} * 255;
    const auto distance = [&](int k) {
        const std::int64_t d = numerator - k * denominator;
        return d < 0 ? -d : d;
    };
    int best = 0;
    for (int k = 1; k <= 255; ++k)
        if (distance(k) <= distance(best))
            best = k;
    return best;
}

TEST(LayoutRule, SamplesOfEveryDepthRoundToTheNearest8BitValue) {
    for (int depth = 1; depth <= 16; ++depth) {
        SCOPED_TRACE(depth);
        for (std::uint32_t v = 0; v < (1u << depth); ++v)
            ASSERT_EQ(SampleTo8(v, depth), Nearest8(v, depth)) << v;
    }
    // The edges worked by hand: 128 × 255 / 65535 is 0.498, 32767 gives 127.498 and 32768
    // 127.502; 8 bits are themselves.
    const struct {
        std::uint32_t Value;
        int Depth, Expected;
    } edges[] = {{0, 16, 0},       {128, 16, 0},     {129, 16, 1},    {32767, 16, 127},
                 {32768, 16, 128}, {65535, 16, 255}, {1, 1, 255},     {1, 2, 85},
                 {8, 4, 136},      {200, 8, 200},    {4095, 12, 255}, {7, 3, 255}};
    for (const auto& e : edges)
        EXPECT_EQ(SampleTo8(e.Value, e.Depth), e.Expected) << e.Value << " of " << e.Depth;
}

// A picture as a file gives it: samples in a layout, alpha 0 for some pixels.
struct TSampledPicture {
    int Width = 0, Height = 0;
    TPixelLayout Layout;
    std::vector<std::uint32_t> Samples;      // per pixel, in the layout's order
    std::vector<std::array<int, 3>> Reduced; // per pixel: red, green, blue by the reference rule

    int PerPixel() const {
        switch (Layout.Samples) {
        case TSamples::Grey:
            return 1;
        case TSamples::GreyAlpha:
            return 2;
        case TSamples::Rgba:
            return 4;
        default:
            return 3;
        }
    }
    bool HasAlpha() const {
        return Layout.Samples == TSamples::GreyAlpha || Layout.Samples == TSamples::Rgba;
    }
    std::uint32_t* Pixel(int x, int y) {
        return &Samples[(std::size_t(y) * Width + x) * PerPixel()];
    }
    const std::uint32_t* Pixel(int x, int y) const {
        return &Samples[(std::size_t(y) * Width + x) * PerPixel()];
    }
    std::array<int, 3> Rgb8(int x, int y) const { return Reduced[std::size_t(y) * Width + x]; }
    std::array<int, 3> Reduce(int x, int y) const {
        const std::uint32_t* p = Pixel(x, y);
        const int d = Layout.Depth;
        switch (Layout.Samples) {
        case TSamples::Bgr:
            return {Nearest8(p[2], d), Nearest8(p[1], d), Nearest8(p[0], d)};
        case TSamples::Grey:
        case TSamples::GreyAlpha:
            return {Nearest8(p[0], d), Nearest8(p[0], d), Nearest8(p[0], d)};
        default:
            return {Nearest8(p[0], d), Nearest8(p[1], d), Nearest8(p[2], d)};
        }
    }
    bool Counted(int x, int y) const { return !HasAlpha() || Pixel(x, y)[PerPixel() - 1] != 0; }
};

// Random samples; in a layout with alpha, alpha 0 over a block, at (0, 0) and for about every
// fifth pixel besides, those pixels pure red (or white), so that counting them would show.
TSampledPicture MakeSamples(int width, int height, TPixelLayout layout, unsigned seed) {
    TSampledPicture p{width, height, layout, {}, {}};
    std::mt19937 random(seed);
    const std::uint32_t largest = (1u << layout.Depth) - 1;
    p.Samples.resize(std::size_t(width) * height * p.PerPixel());
    for (std::uint32_t& s : p.Samples)
        s = std::uint32_t(random()) & largest;
    if (!p.HasAlpha())
        return p;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool block = x >= width / 3 && x < width / 2 && y >= height / 4 && y < height / 2;
            if (block || (x == 0 && y == 0) || random() % 5 == 0) {
                std::uint32_t* px = p.Pixel(x, y);
                px[p.PerPixel() - 1] = 0;
                px[0] = largest; // red, or white
                if (p.PerPixel() == 4)
                    px[1] = px[2] = 0;
            }
        }
    }
    return p;
}

TSampledPicture MakePicture(int width, int height, TPixelLayout layout, unsigned seed) {
    TSampledPicture p = MakeSamples(width, height, layout, seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.Reduced.push_back(p.Reduce(x, y));
    return p;
}

// A decoder of such a picture: bands of rows top to bottom, in its layout, through the adapter.
TOutcome<TDecodeNotes> StubDecode(const TSampledPicture& p, TRowTarget& target) {
    TLayoutAdapter rows(target);
    if (!rows.Start(p.Width, p.Height, p.Layout))
        return TOutcome<TDecodeNotes>::Failure("refused");
    const std::size_t rowSamples = std::size_t(p.Width) * p.PerPixel();
    for (int first = 0; first < p.Height; first += StreamBandRows) {
        if (rows.Cancelled())
            return TOutcome<TDecodeNotes>::Failure("cancelled");
        const int count = std::min(StreamBandRows, p.Height - first);
        const TRowBand band = rows.Rows(first, count);
        for (int i = 0; i < count; ++i) {
            const std::uint32_t* in = p.Pixel(0, first + i);
            std::uint8_t* out = band.Bits + i * band.Stride;
            for (std::size_t s = 0; s < rowSamples; ++s) {
                if (p.Layout.Depth > 8) {
                    const auto word = static_cast<std::uint16_t>(in[s]);
                    std::memcpy(out + 2 * s, &word, 2);
                } else {
                    out[s] = static_cast<std::uint8_t>(in[s]);
                }
            }
        }
        rows.Written(first, count);
    }
    return TDecodeNotes{};
}

// Keeps what reaches it: the 24-bit rows and, when started covered, their coverage.
class TKeepingTarget final : public TRowTarget {
  public:
    bool Start(int width, int height) override {
        Width = width;
        Bgr.assign(std::size_t(width) * 3 * height, 0);
        Coverage.assign(std::size_t(CoverageStride()) * height, 0);
        return true;
    }
    bool StartCovered(int width, int height) override {
        Covered = true;
        return Start(width, height);
    }
    TRowBand Rows(int firstRow, int) override {
        return {&Bgr[std::size_t(firstRow) * Width * 3], std::ptrdiff_t{Width} * 3,
                Covered ? &Coverage[std::size_t(firstRow) * CoverageStride()] : nullptr,
                CoverageStride()};
    }
    void Written(int, int) override {}
    std::ptrdiff_t CoverageStride() const { return (Width + 7) / 8; }

    int Width = 0;
    bool Covered = false;
    std::vector<std::uint8_t> Bgr, Coverage;
};

TEST(LayoutAdapter, EveryLayoutAndDepthReachesTheTargetAs8BitBgrWithItsCoverage) {
    for (const TSamples samples :
         {TSamples::Bgr, TSamples::Rgb, TSamples::Grey, TSamples::GreyAlpha, TSamples::Rgba}) {
        for (const int depth : {1, 2, 5, 8, 12, 16}) {
            SCOPED_TRACE(testing::Message() << int(samples) << " at " << depth << " bits");
            // 11 pixels: a row's coverage ends inside a byte; 19 rows: more than one band.
            const TSampledPicture p = MakePicture(11, 19, {samples, depth}, 7u * depth);
            TKeepingTarget target;
            ASSERT_TRUE(StubDecode(p, target).Ok());
            EXPECT_EQ(target.Covered, p.HasAlpha());
            const TCoverage coverage{target.Coverage.data(), target.CoverageStride()};
            for (int y = 0; y < p.Height; ++y) {
                for (int x = 0; x < p.Width; ++x) {
                    const std::uint8_t* bgr = &target.Bgr[(std::size_t(y) * p.Width + x) * 3];
                    const std::array<int, 3> rgb = p.Rgb8(x, y);
                    ASSERT_EQ((std::array<int, 3>{bgr[2], bgr[1], bgr[0]}), rgb) << x << "," << y;
                    if (p.HasAlpha()) {
                        ASSERT_EQ(coverage.Counted(x, y), p.Counted(x, y)) << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(LayoutAdapter, LendsTheTargetsOwnRowsFor8BitBgr) {
    TKeepingTarget target;
    TLayoutAdapter rows(target);
    ASSERT_TRUE(rows.Start(5, 20, TPixelLayout{}));
    EXPECT_FALSE(target.Covered);
    EXPECT_EQ(rows.Rows(16, 4).Bits, &target.Bgr[16 * 5 * 3]);
}

// A model's counts of the counted pixels of area, by the engine's documented sampling
// (accumulate.h): a model is counted in full below its limit; otherwise level k holds the
// pixels whose coordinates are both multiples of 2^(k-1) but not both of 2^k, the coarse
// level n those whose coordinates are multiples of 2^(n-1), and levels are added from n down
// until the counts stop changing.
TModelCounts ReferenceModel(TSampledModel m, const TSampledPicture& p, const TRegion& area) {
    const auto bins = [&](int x, int y) {
        const std::array<int, 3> rgb = p.Rgb8(area.X + x, area.Y + y);
        return m == TSampledModel::HSV ? HSVBins(rgb[0], rgb[1], rgb[2])
                                       : LabBins(rgb[0], rgb[1], rgb[2]);
    };
    const bool full = std::int64_t{area.Width} * area.Height < FullCountLimit(m);
    const int n = full ? 1 : CoarseLevel(area.Width, area.Height);
    std::vector<TModelCounts> levels(std::size_t(n) + 1);
    for (int y = 0; y < area.Height; ++y) {
        for (int x = 0; x < area.Width; ++x) {
            if (!p.Counted(area.X + x, area.Y + y))
                continue;
            const int level = std::min(std::countr_zero(unsigned(x | y)) + 1, n);
            const TModelBins b = bins(x, y);
            TModelCounts& l = levels[std::size_t(level)];
            ++l.First[b.a], ++l.Second[b.b], ++l.Third[b.c];
        }
    }
    const auto add = [](TModelCounts& to, const TModelCounts& from) {
        for (int i = 0; i < HistBinCount; ++i)
            to.First[i] += from.First[i], to.Second[i] += from.Second[i],
                to.Third[i] += from.Third[i];
    };
    TModelCounts sum = levels[std::size_t(n)], snapshot = sum;
    for (int k = n - 1; k >= 1; --k) {
        add(sum, levels[std::size_t(k)]);
        if (m == TSampledModel::HSV ? HSVConverged(sum, snapshot) : LabConverged(sum, snapshot))
            break;
        snapshot = sum;
    }
    return sum;
}

TAllChanel ReferenceCounts(const TSampledPicture& p, const TRegion& area) {
    TAllChanel c;
    for (int y = area.Y; y < area.Y + area.Height; ++y) {
        for (int x = area.X; x < area.X + area.Width; ++x) {
            if (!p.Counted(x, y))
                continue;
            const std::array<int, 3> rgb = p.Rgb8(x, y);
            ++c.R.Hist[rgb[0]], ++c.G.Hist[rgb[1]], ++c.B.Hist[rgb[2]];
            ++c.RGB.Hist[rgb[0]], ++c.RGB.Hist[rgb[1]], ++c.RGB.Hist[rgb[2]];
        }
    }
    const TModelCounts hsv = ReferenceModel(TSampledModel::HSV, p, area);
    const TModelCounts lab = ReferenceModel(TSampledModel::Lab, p, area);
    c.H.Hist = hsv.First, c.S.Hist = hsv.Second, c.V.Hist = hsv.Third;
    c.L.Hist = lab.First, c.A.Hist = lab.Second, c.B_.Hist = lab.Third;
    return c;
}

void ExpectCounts(const THist& hist, const TAllChanel& expected, const char* how) {
    for (const TChannel c : AllChannels)
        EXPECT_EQ(hist.Data[Origin][c].Hist, expected[c].Hist) << how << ": " << ChannelName(c);
}

// The tools' count: passes of a band counter over as many decodes as it asks for.
std::unique_ptr<THist> StreamedCount(const TSampledPicture& p,
                                     std::optional<TRegion> region = std::nullopt) {
    std::optional<TStreamedCounts> counts;
    do {
        TBandCounter counter(counts, region);
        if (!StubDecode(p, counter).Ok() || !counter.Finish())
            return nullptr;
        while (counts->NeedsPass() && counter.HoldsPicture())
            if (!counter.CountHeldRows())
                return nullptr;
    } while (counts->NeedsPass());
    auto hist = std::make_unique<THist>();
    hist->CalcStreamed(Origin, *counts);
    return hist;
}

struct TPipelineCase {
    const char* Name;
    int Width, Height;
    TPixelLayout Layout;
};

class LayoutPipeline : public testing::TestWithParam<TPipelineCase> {};

// Through a raster of the picture's own (as DecodeAndCount makes it: the primaries and coarse
// levels counted while the rows arrive, the finer levels from the raster; and a region cropped
// from it) and the tools' band counter (never holding the picture, with and without a
// region): every channel as the reference counts it.
TEST_P(LayoutPipeline, PixelsWithAlpha0AreInNoChannelsCount) {
    const TPipelineCase& c = GetParam();
    const TSampledPicture p = MakePicture(c.Width, c.Height, c.Layout, 2024);
    const TRegion whole{0, 0, c.Width, c.Height};
    const TAllChanel expected = ReferenceCounts(p, whole);
    ASSERT_LT(std::accumulate(expected.R.Hist.begin(), expected.R.Hist.end(), 0u),
              unsigned(c.Width * c.Height)); // some pixels are left out

    TRowCounter counter;
    TWholeRaster target(
        [&](const TRaster& image, int first, int count) { counter.Add(image, first, count); });
    TOutcome<TDecodeNotes> notes = StubDecode(p, target);
    const TPrimaryCounts primaries = counter.Finish();
    TDecodeResult raster = target.Finish(std::move(notes));
    ASSERT_TRUE(raster.Ok()) << raster.Reason();
    ASSERT_TRUE(counter.Complete(c.Height));
    auto whileDecoding = std::make_unique<THist>();
    whileDecoding->CalcCounted(Origin, raster->View(), primaries);
    ExpectCounts(*whileDecoding, expected, "counted while decoding");
    auto afterwards = std::make_unique<THist>();
    afterwards->Calc(Origin, raster->View());
    ExpectCounts(*afterwards, expected, "counted from the raster");

    const std::unique_ptr<THist> streamed = StreamedCount(p);
    ASSERT_TRUE(streamed);
    ExpectCounts(*streamed, expected, "streamed");

    // A region whose left edge is not on a byte of the coverage.
    const TRegion region{c.Width / 5 + 3, c.Height / 6, c.Width / 2, c.Height / 2};
    const TAllChanel inRegion = ReferenceCounts(p, region);
    const std::unique_ptr<THist> streamedRegion = StreamedCount(p, region);
    ASSERT_TRUE(streamedRegion);
    ExpectCounts(*streamedRegion, inRegion, "streamed region");
    auto cropped = std::make_unique<THist>();
    cropped->Calc(Origin, CropView(raster->View(), region));
    ExpectCounts(*cropped, inRegion, "cropped from the raster");
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, LayoutPipeline,
    testing::Values(TPipelineCase{"TinyRgba16", 13, 9, {TSamples::Rgba, 16}},
                    TPipelineCase{"TinyGreyAlpha8", 12, 7, {TSamples::GreyAlpha, 8}},
                    // Large enough for both models to be sampled at several levels.
                    TPipelineCase{"SampledRgba16", 420, 260, {TSamples::Rgba, 16}},
                    TPipelineCase{"SampledGreyAlpha8", 401, 263, {TSamples::GreyAlpha, 8}}),
    [](const testing::TestParamInfo<TPipelineCase>& i) { return std::string(i.param.Name); });

} // namespace
