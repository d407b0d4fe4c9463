// The copy the image view shows: each Exif orientation turns the picture as the standard
// defines it, the colour space is converted, and a profile that cannot be used only leaves a
// warning in the log.
#include "display_copy.h"
#include "layout_adapter.h"
#include "whole_raster.h"

#include "colour_fixture.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

#include <functional>

#include <algorithm>
#include <optional>
#include <vector>

namespace tonalyx::test {
namespace {

// Every pixel distinct: red is the column, green the row.
QImage Numbered(int w, int h) {
    QImage image(w, h, QImage::Format_BGR888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(10 * x, 10 * y, 99));
    return image;
}

TPictureMeta Oriented(int orientation) {
    TPictureMeta meta;
    meta.Orientation = orientation;
    return meta;
}

enum TCorner { TopLeft, TopRight, BottomRight, BottomLeft };

QPoint At(TCorner corner, QSize size) {
    const int r = size.width() - 1, b = size.height() - 1;
    const QPoint points[] = {{0, 0}, {r, 0}, {r, b}, {0, b}};
    return points[corner];
}

// Where the stored picture's first pixel and the last of its first row land, from the
// standard's words for each value: "the 0th row is the visual top/right/bottom/left, the
// 0th column the visual left/top/right/bottom".
struct TOrientationCase {
    int Orientation;
    TCorner First, EndOfFirstRow;
};

class Orientation : public testing::TestWithParam<TOrientationCase> {};

TEST_P(Orientation, PlacesThePixelsWhereTheStandardSays) {
    const TOrientationCase c = GetParam();
    const QImage stored = Numbered(4, 3);
    const TDisplayForm form(Oriented(c.Orientation), QStringLiteral("t.jpg"));
    const QImage shown = form.Apply(stored);
    const QSize size = c.Orientation >= 5 ? QSize(3, 4) : QSize(4, 3);
    EXPECT_EQ(shown.size(), size);
    EXPECT_EQ(form.ShownSize(stored.size()), size);
    EXPECT_EQ(shown.pixel(At(c.First, size)), stored.pixel(0, 0));
    EXPECT_EQ(shown.pixel(At(c.EndOfFirstRow, size)), stored.pixel(3, 0));
    // Nothing resampled: the same twelve pixels, each once.
    std::vector<QRgb> before, after;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            before.push_back(stored.pixel(x, y));
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            after.push_back(shown.pixel(x, y));
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);
    EXPECT_TRUE(form.ColourSpaceName().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(AllEight, Orientation,
                         testing::Values(TOrientationCase{1, TopLeft, TopRight},
                                         TOrientationCase{2, TopRight, TopLeft},
                                         TOrientationCase{3, BottomRight, BottomLeft},
                                         TOrientationCase{4, BottomLeft, BottomRight},
                                         TOrientationCase{5, TopLeft, BottomLeft},
                                         TOrientationCase{6, TopRight, BottomRight},
                                         TOrientationCase{7, BottomRight, TopRight},
                                         TOrientationCase{8, BottomLeft, TopLeft}));

TEST(StoredPoint, IsWhereTheTurnTookEachShownPixelFrom) {
    const QImage stored = Numbered(4, 3);
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const TDisplayForm form(Oriented(orientation), QStringLiteral("t.jpg"));
        const QImage shown = form.Apply(stored);
        EXPECT_EQ(form.Upright(stored), shown) << orientation;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                EXPECT_EQ(stored.pixel(form.StoredPoint({x, y}, stored.size())), shown.pixel(x, y))
                    << "orientation " << orientation << " at " << x << "," << y;
    }
}

TEST(StoredPixelAt, MapsTheViewsPointThroughTheStretchAndTheTurn) {
    // A 400 × 300 picture stored on its side (orientation 6) shown upright, 300 × 400,
    // stretched to 30 × 40 view pixels at (10, 5): each view pixel covers 10 × 10 stored ones.
    const TDisplayForm form(Oriented(6), QStringLiteral("t.jpg"));
    const QRect target(10, 5, 30, 40);
    const QSize stored(400, 300);
    const struct {
        QPointF At;
        std::optional<QPoint> Stored;
    } rows[] = {
        {{10, 5}, QPoint(0, 299)},        // the shown top-left is the stored bottom-left
        {{39.99, 5}, QPoint(0, 0)},       // the shown top-right, the stored top-left
        {{39.99, 44.99}, QPoint(399, 0)}, // the shown bottom-right
        {{25.05, 25.05}, QPoint(200, 149)}, {{9.9, 20}, std::nullopt},
        {{40, 20}, std::nullopt},           {{20, 45}, std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(StoredPixelAt(row.At, target, stored, form), row.Stored)
            << row.At.x() << "," << row.At.y();
    EXPECT_EQ(StoredPixelAt({1, 1}, {}, stored, form), std::nullopt);
}

TEST(DisplayCopy, IsReducedThenTurnedAndConverted) {
    TPictureMeta meta = Oriented(6);
    meta.IccProfile = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    const TDisplayForm form(meta, QStringLiteral("portrait.jpg"));
    EXPECT_EQ(form.ColourSpaceName(), QStringLiteral("Adobe RGB (1998)"));
    QImage stored(600, 400, QImage::Format_BGR888);
    stored.fill(qRgb(60, 160, 60));
    const QImage shown = DisplayCopy(stored, 300, form);
    EXPECT_EQ(shown.size(), QSize(200, 300));
    EXPECT_EQ(DisplayCopySize(stored.size(), 300, form), shown.size());
    const QColor patch = shown.pixelColor(100, 150);
    EXPECT_LE(patch.red(), 1);
    EXPECT_NEAR(patch.green(), 161, 1);
    EXPECT_NEAR(patch.blue(), 47, 1);
    EXPECT_EQ(stored.pixel(0, 0), qRgb(60, 160, 60)); // the counted picture is left alone
}

// A picture with alpha as a decoder writes it: w × h RGBA pixels through the layout adapter
// into a raster of its own, the picture the program then holds.
TPictureRef RgbaPicture(int w, int h, const std::function<QRgb(int x, int y)>& pixel) {
    TWholeRaster target;
    TLayoutAdapter rows(target);
    EXPECT_TRUE(rows.Start(w, h, {TSamples::Rgba, 8}));
    for (int first = 0; first < h; first += StreamBandRows) {
        const int count = std::min(StreamBandRows, h - first);
        const TRowBand band = rows.Rows(first, count);
        for (int i = 0; i < count; ++i)
            for (int x = 0; x < w; ++x) {
                const QRgb c = pixel(x, first + i);
                std::uint8_t* out = band.Bits + i * band.Stride + 4 * x;
                out[0] = std::uint8_t(qRed(c));
                out[1] = std::uint8_t(qGreen(c));
                out[2] = std::uint8_t(qBlue(c));
                out[3] = std::uint8_t(qAlpha(c));
            }
        rows.Written(first, count);
    }
    TDecodeResult raster = target.Finish(TDecodeNotes{});
    EXPECT_TRUE(raster.Ok());
    return std::make_shared<const TPicture>(TPictureSource(), std::move(raster).Value(),
                                            TAllChanel{});
}

// The view draws the copy over its background: it keeps the picture's alpha, reduced or not,
// converted or not, and a reduced block's colour is that of the pixels that show, weighted by
// their alpha, never the colour hidden under a transparent one.
TEST(DisplayCopy, OfAPictureWithAlphaKeepsItsAlpha) {
    // Left half opaque blue; right half transparent, hiding red, but for a half-transparent
    // green column at x = 5.
    const auto pixel = [](int x, int) {
        return x < 4 ? qRgba(0, 0, 200, 255) : x == 5 ? qRgba(0, 240, 0, 128) : qRgba(255, 0, 0, 0);
    };
    const TPictureRef picture = RgbaPicture(8, 20, pixel);
    const TDisplayForm asStored;

    const QImage whole = DisplayCopy(picture, 0, asStored);
    ASSERT_EQ(whole.size(), QSize(8, 20));
    EXPECT_TRUE(whole.hasAlphaChannel());
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(whole.pixel(x, 19), pixel(x, 19)) << x;

    // Blocks of 2 × 2: [0, 2) and [2, 4) opaque blue, [4, 6) half of one green column at 128,
    // [6, 8) clear.
    const QImage reduced = DisplayCopy(picture, 10, asStored);
    ASSERT_EQ(reduced.size(), QSize(4, 10));
    EXPECT_EQ(reduced.pixel(1, 3), qRgba(0, 0, 200, 255));
    EXPECT_EQ(reduced.pixel(2, 3), qRgba(0, 240, 0, 64));
    EXPECT_EQ(qAlpha(reduced.pixel(3, 3)), 0);

    TPictureMeta adobe = Oriented(6);
    adobe.IccProfile = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    const QImage converted = DisplayCopy(picture, 10, TDisplayForm(adobe, "cut-out.png"));
    ASSERT_EQ(converted.size(), QSize(10, 4));
    EXPECT_EQ(qAlpha(converted.pixel(3, 1)), 255); // turned: stored block (1, 3)
    EXPECT_EQ(qAlpha(converted.pixel(3, 2)), 64);
    EXPECT_EQ(qAlpha(converted.pixel(3, 3)), 0);
    EXPECT_GT(converted.pixelColor(3, 2).green(), 200); // still the green that shows
}

QStringList Warnings;

void KeepWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtWarningMsg && QByteArray(context.category) == "tonalyx.pictures")
        Warnings << text;
}

TEST(DisplayCopy, ABrokenProfileIsLoggedAndTheStoredValuesAreShown) {
    TPictureMeta meta;
    const std::vector<std::uint8_t> adobe = RgbProfile(AdobeRgbSpace, "Adobe RGB (1998)");
    meta.IccProfile.assign(adobe.begin(), adobe.begin() + 200);
    Warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(KeepWarnings);
    const TDisplayForm form(meta, QStringLiteral("/pics/broken.jpg"));
    qInstallMessageHandler(previous);
    ASSERT_EQ(Warnings.size(), 1);
    EXPECT_TRUE(Warnings[0].contains(QStringLiteral("/pics/broken.jpg")))
        << Warnings[0].toStdString();
    EXPECT_TRUE(form.ColourSpaceName().isEmpty());
    const QImage stored = Numbered(4, 3);
    EXPECT_EQ(form.Apply(stored), stored);
}

} // namespace
} // namespace tonalyx::test
