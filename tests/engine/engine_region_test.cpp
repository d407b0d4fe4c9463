// The region form the tools take and the view of a raster it crops: odd texts are refused,
// and a cropped view counts exactly as a copy of the same pixels does.
#include "region.h"

#include "histogram.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tonalyx;
using tonalyx::test::TTestRaster;

TEST(Region, ParsesOnlyFourPlainNumbersWithAPositiveSize) {
    const struct {
        const char* Text;
        std::optional<TRegion> Region;
    } cases[] = {
        {"0,0,1,1", TRegion{0, 0, 1, 1}},
        {"12,7,300,200", TRegion{12, 7, 300, 200}},
        {"", std::nullopt},
        {"1,2,3", std::nullopt},
        {"1,2,3,4,", std::nullopt},
        {"1,2,3,4,5", std::nullopt},
        {"1,2,0,4", std::nullopt},
        {"-1,2,3,4", std::nullopt},
        {"+1,2,3,4", std::nullopt},
        {"1, 2,3,4", std::nullopt},
        {"1,,3,4", std::nullopt},
        {"1,2,3,4x", std::nullopt},
        {"1,2,99999999999,4", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseRegion(c.Text), c.Region) << c.Text;
        if (c.Region) {
            EXPECT_EQ(RegionText(*c.Region), c.Text);
        }
    }
}

TEST(Region, FitsOnlyWhollyInsideThePicture) {
    const struct {
        TRegion Region;
        bool Fits;
    } cases[] = {
        {{0, 0, 40, 30}, true},   {{39, 29, 1, 1}, true},
        {{10, 5, 31, 10}, false}, {{10, 25, 5, 6}, false},
        {{40, 0, 1, 1}, false},   {{-1, 0, 5, 5}, false},
        {{0, 0, 0, 5}, false},    {{2147483000, 0, 1000, 1}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegionFits(c.Region, 40, 30), c.Fits) << RegionText(c.Region);
}

TEST(Region, ACroppedViewCountsAsACopyOfItsPixels) {
    const TTestRaster picture = TTestRaster::Noise(701, 503, 5);
    // Large enough that the sampled models sample the region on a grid of its own.
    const TRegion region{17, 40, 611, 397};
    TTestRaster copy(region.Width, region.Height);
    for (int y = 0; y < region.Height; ++y)
        for (int x = 0; x < region.Width; ++x) {
            const std::uint8_t* p = picture.At(region.X + x, region.Y + y);
            copy.Set(x, y, p[2], p[1], p[0]);
        }
    auto fromCrop = std::make_unique<THist>();
    auto fromCopy = std::make_unique<THist>();
    fromCrop->Calc(Origin, CropView(picture.View(), region));
    fromCopy->Calc(Origin, copy.View());
    for (const TChannel c : AllChannels)
        EXPECT_EQ(fromCrop->Data[Origin][c].Hist, fromCopy->Data[Origin][c].Hist) << ChannelName(c);
}
