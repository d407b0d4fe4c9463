// The figures behind the histograms, checked against figures computed directly from the
// pixels of rasters made here: mean, median and spread, the clipping shares, the hue's
// circular mean, and the shares at or below a bin.
#include "statistics.h"

#include "histogram.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

namespace {

constexpr double Tol = 1e-9;

std::unique_ptr<THist> Counted(const TTestRaster& raster) {
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, raster.View());
    return hist;
}

double Deg(double radians) {
    return radians * 180 / std::numbers::pi;
}

} // namespace

TEST(ChannelStats, RedMeanMedianAndSpreadMatchThePixels) {
    // Odd and even pixel counts: the median is the lower middle value of the sorted bytes.
    for (const auto& [w, h] : {std::pair{37, 23}, std::pair{40, 25}}) {
        const TTestRaster raster = TTestRaster::Noise(w, h, 7u + static_cast<unsigned>(w));
        std::vector<double> red;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                red.push_back(raster.At(x, y)[2]);
        const double n = static_cast<double>(red.size());
        double mean = 0, squares = 0;
        for (double v : red)
            mean += v / n;
        for (double v : red)
            squares += (v - mean) * (v - mean);
        std::sort(red.begin(), red.end());

        const auto hist = Counted(raster);
        const TChannelStats s = ChannelStats(TChannel::R, hist->Data[Origin].R);
        EXPECT_EQ(s.Pixels, red.size());
        EXPECT_NEAR(*s.Mean, mean, Tol);
        EXPECT_NEAR(*s.Sd, std::sqrt(squares / n), Tol);
        EXPECT_EQ(*s.Median, red[(red.size() + 1) / 2 - 1]);

        // The RGB sum counts every pixel three times, once per primary.
        const TChannelStats sum = ChannelStats(TChannel::RGB, hist->Data[Origin].RGB);
        EXPECT_EQ(sum.Pixels, 3 * red.size());
    }
}

TEST(ChannelStats, ClippingSharesAreTheEndBinsOfTheAxis) {
    // 100 pixels: 7 black, 3 white, 5 of pure red, the rest mid grey.
    TTestRaster raster(10, 10, 128, 128, 128);
    for (int i = 0; i < 7; ++i)
        raster.Set(i, 0, 0, 0, 0);
    for (int i = 0; i < 3; ++i)
        raster.Set(i, 1, 255, 255, 255);
    for (int i = 0; i < 5; ++i)
        raster.Set(i, 2, 255, 0, 0);
    const auto hist = Counted(raster);
    const TAllChanel& set = hist->Data[Origin];
    struct TRow {
        TChannel Channel;
        double Low, High;
    };
    for (const TRow& r : {TRow{TChannel::R, 0.07, 0.08}, TRow{TChannel::G, 0.12, 0.03},
                          TRow{TChannel::B, 0.12, 0.03}, TRow{TChannel::V, 0.07, 0.08},
                          TRow{TChannel::L, 0.07, 0.03}, TRow{TChannel::S, 0.95, 0.05}}) {
        const TChannelStats s = ChannelStats(r.Channel, set[r.Channel]);
        EXPECT_NEAR(*s.Low, r.Low, Tol) << ChannelName(r.Channel);
        EXPECT_NEAR(*s.High, r.High, Tol) << ChannelName(r.Channel);
    }
}

TEST(ChannelStats, HueIsAnAngle) {
    // (255, 43, 0) lies at 10°, (255, 0, 43) at 350°: three of the one, one of the other.
    TTestRaster raster(4, 1, 255, 43, 0);
    raster.Set(3, 0, 255, 0, 43);
    const auto hist = Counted(raster);
    const TChannelStats s = ChannelStats(TChannel::H, hist->Data[Origin].H);
    const double a = 10 * std::numbers::pi / 180;
    const double c = 4 * std::cos(a) / 4, si = 2 * std::sin(a) / 4;
    EXPECT_EQ(s.Pixels, 4u);
    EXPECT_NEAR(*s.Mean, Deg(std::atan2(si, c)), Tol); // near 5°, not the linear 95°
    EXPECT_NEAR(*s.Sd, Deg(std::sqrt(-2 * std::log(std::hypot(c, si)))), Tol);
    EXPECT_FALSE(s.Median.has_value());

    // Mostly 350° lands the mean below 360°, never negative.
    TTestRaster below(4, 1, 255, 0, 43);
    below.Set(3, 0, 255, 43, 0);
    EXPECT_NEAR(*ChannelStats(TChannel::H, Counted(below)->Data[Origin].H).Mean,
                360 - Deg(std::atan2(si, c)), Tol);

    // Red, green and blue in equal numbers cancel out: no mean direction.
    TTestRaster spread(3, 1, 255, 0, 0);
    spread.Set(1, 0, 0, 255, 0);
    spread.Set(2, 0, 0, 0, 255);
    const TChannelStats none = ChannelStats(TChannel::H, Counted(spread)->Data[Origin].H);
    EXPECT_FALSE(none.Mean.has_value());
    EXPECT_FALSE(none.Sd.has_value());
}

TEST(ChannelStats, OneColourGivesOneBinHoldingEveryPixel) {
    // (10, 20, 30): H 210°, S 66.7 %, V 11.8 %, in the channels' own units.
    const TTestRaster raster(20, 10, 10, 20, 30);
    const auto hist = Counted(raster);
    struct TRow {
        TChannel Channel;
        double Value;
    };
    for (const TRow& r : {TRow{TChannel::R, 10}, TRow{TChannel::B, 30}, TRow{TChannel::H, 210},
                          TRow{TChannel::S, 400 / 6.0}, TRow{TChannel::V, 71 / 6.0}}) {
        const TChanData& ch = hist->Data[Origin][r.Channel];
        const TChannelStats s = ChannelStats(r.Channel, ch);
        EXPECT_EQ(s.Pixels, 200u);
        EXPECT_NEAR(*s.Mean, r.Value, Tol) << ChannelName(r.Channel);
        EXPECT_NEAR(*s.Sd, 0, 1e-6)
            << ChannelName(r.Channel); // the hue: the root of a rounding error
        int nonEmpty = 0;
        for (int i = 0; i < HistBinCount; ++i)
            if (ch.Hist[static_cast<std::size_t>(i)] != 0) {
                ++nonEmpty;
                EXPECT_NEAR(BinUnitValue(r.Channel, i), r.Value, Tol);
                EXPECT_EQ(CountIn(ch, i, i), 200u);
                EXPECT_EQ(ShareAtOrBelow(ch, i), 1.0);
                EXPECT_EQ(ShareAtOrBelow(ch, i - 1), 0.0);
            }
        EXPECT_EQ(nonEmpty, 1) << ChannelName(r.Channel);
    }
}

TEST(ChannelStats, AnEmptyChannelHasOnlyItsPixelCount) {
    const TChanData empty = OriginParameters().R;
    const TChannelStats s = ChannelStats(TChannel::R, empty);
    EXPECT_EQ(s.Pixels, 0u);
    EXPECT_FALSE(s.Mean || s.Median || s.Sd || s.Low || s.High);
    EXPECT_EQ(ShareAtOrBelow(empty, 255), 0);
}
