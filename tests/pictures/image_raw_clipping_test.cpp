// The raw clipping overlay from photosites made by hand: which photosites clip, how the
// blocks of the reduced copy gather their colours, the colours added, and the overlay's
// size and turn. Raw files end to end are in the opening tests.
#include "raw_clipping.h"

#include "reduced_copy.h"

#include <gtest/gtest.h>

#include <vector>

namespace tonalyx::test {
namespace {

constexpr int White = 1000;

// An RGGB mosaic of width × height, values below white but for the photosites listed.
TSensorMosaic Bayer(int width, int height, std::initializer_list<std::pair<int, int>> clipped) {
    TSensorMosaic m;
    m.Width = width, m.Height = height, m.TileRows = m.TileColumns = 2, m.White = White;
    m.Tile[0] = {SensorR, SensorG};
    m.Tile[1] = {SensorG2, SensorB};
    m.Values.assign(static_cast<std::size_t>(width * height), White - 1);
    for (auto [x, y] : clipped)
        m.Values[static_cast<std::size_t>(y * width + x)] = White + 7;
    return m;
}

constexpr std::uint8_t None = 0, R = RawClipRed, G = RawClipGreen, B = RawClipBlue;

TEST(RawClipBlocks, EachReducedPixelGathersTheColoursClippedInItsPhotosites) {
    TSensorMosaic linear;
    linear.Width = 3, linear.Height = 1, linear.Samples = 3, linear.White = White;
    linear.Values = {White, 0, White, 0, White, 1200, 999, 999, 999};
    TSensorMosaic sixBySix = Bayer(6, 6, {{0, 0}, {1, 0}, {5, 5}});
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            sixBySix.Tile[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>((x + y) % 3); // R G B diagonals
    sixBySix.TileRows = sixBySix.TileColumns = 6;
    const struct {
        const char* Name;
        TSensorMosaic Mosaic;
        QSize Reduced;
        std::vector<std::uint8_t> Bits;
    } rows[] = {
        // 4 × 4 into 2 × 2 tiles: red alone; both greens (green); red and blue (magenta);
        // all four (white, as green is clipped).
        {"2x2 tiles",
         Bayer(4, 4, {{0, 0}, {3, 0}, {2, 1}, {0, 2}, {1, 3}, {2, 2}, {3, 2}, {2, 3}, {3, 3}}),
         {2, 2},
         {R, G, R | B, R | G | B}},
        // 5 × 3 into 2 × 2: columns 0..2 and 3..4, widened to the tiles 0..3 and 2..4, rows
        // 0..1 and 2; the last photosite (a red) lands in the last block, the second green at
        // (0, 1) in the first.
        {"uneven blocks", Bayer(5, 3, {{4, 2}, {0, 1}}), {2, 2}, {G, None, None, R}},
        // Reduced by 1.5: column 1 stands for photosite 2 alone and column 2 for 3 and 4;
        // widened to their tiles, both take the blue at (3, 1).
        {"widened to the tile", Bayer(6, 2, {{3, 1}}), {4, 1}, {None, B, B, None}},
        // Enlarged: every reduced pixel takes the tile of the photosite it lies on.
        {"enlarged",
         Bayer(4, 2, {{3, 0}}),
         {8, 2},
         {None, None, None, None, G, G, G, G, None, None, None, None, G, G, G, G}},
        {"linear", linear, {3, 1}, {R | B, G | B, None}},
        {"6x6 tile", sixBySix, {2, 1}, {R | G, G}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RawClipBlocks(row.Mosaic, row.Reduced), row.Bits) << row.Name;

    std::stop_source stop;
    stop.request_stop();
    EXPECT_TRUE(RawClipBlocks(rows[0].Mosaic, {2, 2}, stop.get_token()).empty());
    EXPECT_TRUE(RawClipBlocks(rows[0].Mosaic, {0, 2}).empty());
    EXPECT_TRUE(RawClipBlocks(TSensorMosaic{}, {2, 2}).empty());
}

TEST(RawClippingOverlay, AddsTheClippedColoursAtTheViewCopysSizeAndTurn) {
    EXPECT_EQ(qAlpha(RawClipColour(None)), 0);
    const struct {
        std::uint8_t Bits;
        QRgb Colour;
    } colours[] = {{R, qRgb(255, 0, 0)},
                   {G, qRgb(0, 255, 0)},
                   {B, qRgb(0, 0, 255)},
                   {R | G, qRgb(255, 255, 0)},
                   {G | B, qRgb(0, 255, 255)},
                   {R | B, qRgb(255, 0, 255)},
                   {R | G | B, qRgb(255, 255, 255)}};
    for (const auto& c : colours)
        EXPECT_EQ(RawClipColour(c.Bits), c.Colour) << int(c.Bits);

    // An 8 × 4 sensor under a stored picture of 6 × 3 shown at a long side of 4: the copy is
    // 4 × 2, each of its pixels two by two photosites.
    const TSensorMosaic m = Bayer(8, 4, {{0, 0}, {7, 3}, {6, 3}});
    const QSize stored(6, 3);
    const TDisplayForm upright;
    const QImage overlay = RawClippingOverlay(m, stored, 4, upright);
    ASSERT_EQ(overlay.size(), ReducedCopySize(stored, 4));
    ASSERT_EQ(overlay.size(), QSize(4, 2));
    EXPECT_EQ(overlay.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(overlay.pixel(3, 1), qRgb(0, 255, 255)); // the second green and the blue
    EXPECT_EQ(qAlpha(overlay.pixel(1, 0)), 0);

    TPictureMeta meta;
    meta.Orientation = 6;
    const TDisplayForm turned(meta, QStringLiteral("t.dng"));
    const QImage onItsSide = RawClippingOverlay(m, stored, 4, turned);
    EXPECT_EQ(onItsSide.size(), DisplayCopySize(stored, 4, turned));
    EXPECT_EQ(onItsSide, turned.Upright(overlay));
    EXPECT_TRUE(RawClippingOverlay(TSensorMosaic{}, stored, 4, upright).isNull());
}

} // namespace
} // namespace tonalyx::test
