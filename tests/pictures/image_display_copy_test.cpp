// The copy the image view shows: each Exif orientation turns the picture as the standard
// defines it, the colour space is converted, and a profile that cannot be used only leaves a
// warning in the log.
#include "display_copy.h"

#include "colour_fixture.h"

#include <gtest/gtest.h>

#include <QLoggingCategory>

#include <algorithm>
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
