// The reduced copy made from rows as they are decoded: its size, the means of its blocks,
// and the same copy whether the rows come at once or in batches.
#include "reduced_copy.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

using namespace tonalyx;

namespace {

// A raster whose pixel (x, y) is colour(x, y), as 0xRRGGBB.
TRaster Filled(int width, int height, const std::function<std::uint32_t(int, int)>& colour) {
    TRaster raster = TRaster::Allocate(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = colour(x, y);
            std::uint8_t* p = raster.Row(y) + 3 * x;
            p[0] = std::uint8_t(c);
            p[1] = std::uint8_t(c >> 8);
            p[2] = std::uint8_t(c >> 16);
        }
    return raster;
}

// Every row, in batches of the given size, as a decoder reports them.
QImage Streamed(const TRaster& raster, int side, int batch) {
    TRowReducer reducer(side);
    for (int y = 0; y < raster.Height(); y += batch)
        reducer.Add(raster, y, std::min(batch, raster.Height() - y));
    return reducer.Finish();
}

} // namespace

TEST(ReducedCopy, BlocksOfOneColourKeepIt) {
    // Blocks of 3 x 3 pixels, each of one colour of its own, reduced three times: each
    // block becomes one pixel of exactly its colour.
    const auto block = [](int x, int y) {
        return std::uint32_t((x / 3) * 0x102030 + (y / 3) * 0x0A0B0C);
    };
    const TRaster raster = Filled(30, 30, block);
    const QImage copy = TRowReducer::Reduce(raster.View(), 10);
    ASSERT_EQ(copy.size(), QSize(10, 10));
    EXPECT_EQ(copy.format(), QImage::Format_RGB32);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(copy.pixel(x, y), 0xFF000000u | block(3 * x, 3 * y)) << x << "," << y;
}

TEST(ReducedCopy, MeansAreRounded) {
    const struct {
        std::uint8_t A, B; // the two pixels of a block
        int Mean;
    } rows[] = {{0, 1, 1}, {0, 2, 1}, {1, 2, 2}, {0, 255, 128}, {254, 255, 255}, {7, 7, 7}};
    for (const auto& r : rows) {
        const TRaster raster =
            Filled(4, 2, [&](int x, int) { return std::uint32_t(x % 2 ? r.B : r.A) * 0x010101u; });
        const QImage copy = TRowReducer::Reduce(raster.View(), 2);
        ASSERT_EQ(copy.size(), QSize(2, 1));
        EXPECT_EQ(qBlue(copy.pixel(0, 0)), r.Mean) << int(r.A) << " " << int(r.B);
        EXPECT_EQ(qRed(copy.pixel(1, 0)), r.Mean) << int(r.A) << " " << int(r.B);
    }
}

TEST(ReducedCopy, RowsInBatchesGiveTheCopyOfTheWholePicture) {
    const auto noise = [](int x, int y) {
        return std::uint32_t(x * 2654435761u ^ y * 40503u) & 0xFFFFFF;
    };
    const struct {
        int Width, Height, Side;
    } rows[] = {{97, 61, 40}, {61, 97, 40},  {300, 7, 100}, {7, 300, 100},
                {64, 64, 63}, {161, 20, 40}, {450, 30, 50}, {90, 1000, 11}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.Width << "x" << r.Height << " to " << r.Side);
        const TRaster raster = Filled(r.Width, r.Height, noise);
        const QImage whole = TRowReducer::Reduce(raster.View(), r.Side);
        EXPECT_EQ(whole.size(), ReducedCopySize(QSize(r.Width, r.Height), r.Side));
        for (const int batch : {1, 16, 1000})
            EXPECT_EQ(Streamed(raster, r.Side, batch), whole) << batch;
        // One colour stays that colour, whatever the blocks' sizes.
        const QImage plain = TRowReducer::Reduce(
            Filled(r.Width, r.Height, [](int, int) { return 0x3A7FC4u; }).View(), r.Side);
        for (int y = 0; y < plain.height(); ++y)
            for (int x = 0; x < plain.width(); ++x)
                ASSERT_EQ(plain.pixel(x, y), 0xFF3A7FC4u) << x << "," << y;
    }
}

TEST(ReducedCopy, NoneForSmallPicturesOrRowsOutOfOrder) {
    const TRaster raster = Filled(40, 30, [](int x, int y) { return std::uint32_t(x + y); });
    EXPECT_TRUE(TRowReducer::Reduce(raster.View(), 40).isNull());
    EXPECT_TRUE(TRowReducer::Reduce(raster.View(), 0).isNull());
    EXPECT_TRUE(Streamed(raster, 50, 8).isNull());

    TRowReducer skipped(20);
    skipped.Add(raster, 0, 10);
    skipped.Add(raster, 20, 10);
    EXPECT_TRUE(skipped.Finish().isNull());

    TRowReducer unfinished(20); // the decoder failed half-way
    unfinished.Add(raster, 0, 15);
    EXPECT_TRUE(unfinished.Finish().isNull());

    TRowReducer abandoned(20); // destroyed without Finish, as a cancelled open leaves it
    abandoned.Add(raster, 0, 15);
}
