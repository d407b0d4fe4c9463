// The decoders' raster and its hand-over to Qt: sizes, row padding, huge-page alignment,
// and a QImage that takes the buffer over without copying it.
#include "qt_raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

using namespace tonalyx;

TEST(Raster, SizesStridesAndAlignment) {
    const struct {
        int Width, Height;
        bool Null;
        std::ptrdiff_t Stride;
        bool HugePageAligned;
    } rows[] = {
        {0, 10, true, 0, false},          {10, 0, true, 0, false},  {-3, 5, true, 0, false},
        {1, 1, false, 4, false},          {5, 3, false, 16, false}, {8, 2, false, 24, false},
        {4000, 3000, false, 12000, true}, // 36 MB: worth huge pages
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.Width << "x" << r.Height);
        TRaster raster = TRaster::Allocate(r.Width, r.Height);
        ASSERT_EQ(raster.IsNull(), r.Null);
        if (r.Null)
            continue;
        EXPECT_EQ(raster.Stride(), r.Stride);
        EXPECT_EQ(raster.SizeInBytes(), std::size_t(r.Stride) * r.Height);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(raster.Bits()) % (2u << 20) == 0,
                  r.HugePageAligned);
        std::memset(raster.Bits(), 0x5A, raster.SizeInBytes()); // all of it is writable
        const TRasterView view = raster.View();
        EXPECT_EQ(view.Row(r.Height - 1), raster.Row(r.Height - 1));
    }
}

TEST(Raster, QImageTakesTheBufferWithoutCopying) {
    TRaster raster = TRaster::Allocate(7, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x) {
            std::uint8_t* p = raster.Row(y) + 3 * x;
            p[0] = std::uint8_t(x), p[1] = std::uint8_t(y), p[2] = 200; // blue, green, red
        }
    const std::uint8_t* bits = raster.Bits();
    const QImage image = ToQImage(std::move(raster));
    EXPECT_TRUE(raster.IsNull());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.constBits(), bits);
    EXPECT_EQ(image.format(), QImage::Format_BGR888);
    EXPECT_EQ(image.bytesPerLine(), 24);
    EXPECT_EQ(image.pixel(5, 2), qRgb(200, 2, 5));
    const QImage shared = image; // Qt's copies share the one buffer, freed with the last
    EXPECT_EQ(shared.constBits(), bits);
    const TRasterView view = RasterOf(image);
    EXPECT_EQ(view.Bits, bits);
    EXPECT_EQ(view.Stride, 24);
    EXPECT_TRUE(ToQImage(TRaster()).isNull());
}
