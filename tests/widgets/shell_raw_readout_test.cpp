// The raw values under the pointer: the filter tile under a stored pixel mapped onto the
// sensor proportionally, aligned to the tile and cut at the visible area's edges.
#include "raw_readout.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

TSensorMosaic Mosaic(int width, int height, int tileSide,
                     const std::function<int(int, int)>& value) {
    TSensorMosaic m;
    m.Width = width, m.Height = height, m.TileRows = m.TileColumns = tileSide, m.White = 4095;
    if (tileSide == 2) {
        m.Tile[0] = {SensorR, SensorG};
        m.Tile[1] = {SensorG2, SensorB};
    } else {
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x) // R, G, B on diagonals
                m.Tile[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                    static_cast<std::uint8_t>((x + y) % 3);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            m.Values.push_back(static_cast<std::uint16_t>(value(x, y)));
    return m;
}

TEST(RawReadout, NamesTheValuesOfTheTileUnderTheStoredPixel) {
    const auto bayer = [](int x, int y) { return 1000 + 10 * y + x; };
    const auto sixBySix = [](int x, int y) {
        if (y == 0 && x >= 6 && x <= 8)
            return x == 6 ? 4095 : 2003 + x; // one red clipped, a green and a blue a little up
        return 2000 + 10 * y + x;
    };
    TSensorMosaic linear;
    linear.Width = 2, linear.Height = 2, linear.Samples = 3, linear.White = 4095;
    linear.Values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 4095, 11, 12};
    const struct {
        const char* Name;
        TSensorMosaic Mosaic;
        QPoint Stored;
        QSize StoredSize;
        const char* Text;
    } rows[] = {
        {"same size", Mosaic(6, 4, 2, bayer), {3, 1}, {6, 4}, "Raw R 1002 G 1003 G2 1012 B 1013"},
        // A stored picture half the sensor's size: its pixel (2, 1) covers photosites 4..5,
        // 2..3, and its centre lies on (5, 3).
        {"smaller picture",
         Mosaic(6, 4, 2, bayer),
         {2, 1},
         {3, 2},
         "Raw R 1024 G 1025 G2 1034 B 1035"},
        {"top left", Mosaic(6, 4, 2, bayer), {0, 0}, {3, 2}, "Raw R 1000 G 1001 G2 1010 B 1011"},
        // An odd width: the last column's tile is cut to its reds and second greens.
        {"cut at the right edge", Mosaic(5, 4, 2, bayer), {4, 3}, {5, 4}, "Raw R 1024 G2 1034"},
        {"6x6 tile",
         Mosaic(12, 6, 6, sixBySix),
         {7, 2},
         {12, 6},
         "Raw mean/max R 2208/4095 G 2034/2061 B 2034/2059"},
        {"linear", linear, {1, 1}, {2, 2}, "Raw R 4095 G 11 B 12"},
        {"empty", TSensorMosaic{}, {0, 0}, {2, 2}, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(RawReadoutText(row.Mosaic, row.Stored, row.StoredSize), QString(row.Text))
            << row.Name;
}

} // namespace
