// The clipping overlay: which stored pixels count as clipped, how the blocks of the reduced
// copy gather them, its colours, and that it is turned like the view's copy.
#include "clipping_mask.h"

#include "qt_raster.h"

#include <gtest/gtest.h>

#include <QImage>

#include <vector>

namespace tonalyx::test {
namespace {

// A stored picture of mid-grey, with the given pixels set.
struct TPixel {
    int X, Y;
    QRgb Colour;
};
QImage Synthetic(QSize size, std::initializer_list<TPixel> pixels) {
    QImage image(size, QImage::Format_BGR888);
    image.fill(qRgb(128, 128, 128));
    for (const TPixel& p : pixels)
        image.setPixel(p.X, p.Y, p.Colour);
    return image;
}

constexpr std::uint8_t None = 0, Shadow = ClipShadow, Highlight = ClipHighlight,
                       Both = ClipShadow | ClipHighlight;

TEST(ClipBlocks, EachReducedPixelGathersTheClipsOfItsBlock) {
    const struct {
        const char* Name;
        QImage Stored;
        QSize Reduced;
        std::vector<std::uint8_t> Bits;
    } rows[] = {
        // 2 × 2 blocks: a highlight in one primary, a shadow in one, both in one block from
        // two pixels, 254 and 1 (not clipped), one pixel with both, and nothing.
        {"even blocks",
         Synthetic({6, 4}, {{1, 1, qRgb(10, 255, 10)},
                            {2, 0, qRgb(10, 20, 0)},
                            {4, 0, qRgb(255, 30, 30)},
                            {5, 1, qRgb(0, 30, 30)},
                            {0, 2, qRgb(254, 1, 254)},
                            {3, 3, qRgb(255, 0, 0)}}),
         {3, 2},
         {Highlight, Shadow, Both, None, Both, None}},
        // 5 × 3 into 2 × 2: columns 0..2 and 3..4, rows 0..1 and 2; the last stored pixel
        // lands in the last block.
        {"uneven blocks",
         Synthetic({5, 3}, {{4, 2, qRgb(255, 255, 255)}, {2, 1, qRgb(0, 0, 0)}}),
         {2, 2},
         {Shadow, None, None, Highlight}},
        {"full size", Synthetic({3, 1}, {{1, 0, qRgb(0, 9, 255)}}), {3, 1}, {None, Both, None}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ClipBlocks(RasterOf(row.Stored), row.Reduced), row.Bits) << row.Name;

    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(ClipBlocks(RasterOf(rows[0].Stored), {3, 2}, stop.get_token()).empty());
    EXPECT_TRUE(ClipBlocks(RasterOf(rows[0].Stored), {0, 2}).empty());
}

TEST(ClippingOverlay, HasTheViewCopysSizeAndTurnAndTheConventionsColours) {
    // 6 × 4 reduced to a long side of 3: the blocks of the test above.
    const QImage stored = Synthetic({6, 4}, {{1, 1, qRgb(10, 255, 10)},
                                             {2, 0, qRgb(10, 20, 0)},
                                             {4, 0, qRgb(255, 30, 30)},
                                             {5, 1, qRgb(0, 30, 30)}});
    const TDisplayForm upright;
    const QImage overlay = ClippingOverlay(RasterOf(stored), 3, upright);
    ASSERT_EQ(overlay.size(), QSize(3, 2));
    EXPECT_EQ(overlay.pixel(0, 0), qRgb(255, 0, 0));   // highlights red
    EXPECT_EQ(overlay.pixel(1, 0), qRgb(0, 0, 255));   // shadows blue
    EXPECT_EQ(overlay.pixel(2, 0), qRgb(255, 0, 255)); // both magenta
    EXPECT_EQ(qAlpha(overlay.pixel(0, 1)), 0);         // the picture shows through

    TPictureMeta meta;
    meta.Orientation = 6;
    const TDisplayForm turned(meta, QStringLiteral("t.jpg"));
    const QImage onItsSide = ClippingOverlay(RasterOf(stored), 3, turned);
    EXPECT_EQ(onItsSide.size(), DisplayCopySize(stored.size(), 3, turned));
    EXPECT_EQ(onItsSide, turned.Upright(overlay));
    // A picture no larger than the view's copy gives one overlay pixel per stored pixel.
    EXPECT_EQ(ClippingOverlay(RasterOf(stored), 0, upright).size(), stored.size());
    EXPECT_TRUE(ClippingOverlay(TRasterView{}, 3, upright).isNull());
}

} // namespace
} // namespace tonalyx::test
