// A camera raw file opened for the window brings its sensor's histogram and photosites beside
// the picture shown, and its clipping overlay shows what clipped on the sensor; any other
// file, and a raw file whose sensor cannot be counted, none.
#include "neighbour_preparer.h"
#include "raw_clipping.h"

#include "dng_maker.h"
#include "jpeg_encoder.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

using namespace tonalyx;
using namespace tonalyx::test;

TEST(OpeningRaw, ARawFileBringsItsSensorsHistogramAndNoOtherFileDoes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDngLayout layout;
    layout.Value = [](int x, int y, int) { return std::uint16_t(100 + 30 * x + 7 * y); };
    const std::string raw = dir.filePath("shot.dng").toStdString();
    ASSERT_TRUE(WriteDng(raw, layout));
    // The same file under an extension that is no raw one is read by no raw decoder.
    std::ofstream(dir.filePath("shot.tif").toStdString(), std::ios::binary)
        << std::ifstream(raw, std::ios::binary).rdbuf();

    // The direct open's decode leaves the sensor to the opener, which reads it beside; a
    // prepared neighbour brings both.
    const auto opened = OpenImageFile(dir.filePath("shot.dng"), 256, {});
    ASSERT_TRUE(opened.Ok()) << opened.Reason();
    EXPECT_EQ((*opened)->Picture->Sensor(), nullptr);
    const auto prepared = PrepareImageFile(dir.filePath("shot.dng"), 256, {});
    ASSERT_NE(prepared, nullptr);
    const TPictureRef& picture = prepared->Picture;
    EXPECT_NE(picture->Meta().Rendition, TRawRendition::None);
    ASSERT_NE(picture->Sensor(), nullptr);
    EXPECT_EQ(picture->Sensor()->Pattern, "RGGB");
    EXPECT_EQ(picture->Sensor()->Photosites(),
              std::uint64_t(picture->Sensor()->Width) * std::uint64_t(picture->Sensor()->Height));
    ASSERT_NE(picture->Mosaic(), nullptr);
    EXPECT_EQ(picture->Mosaic()->Values.size(), std::size_t(64 * 48));
    EXPECT_GT(picture->Bytes(), std::int64_t(picture->Pixels().SizeInBytes()) +
                                    std::int64_t(sizeof(TAllChanel)) + picture->Mosaic()->Bytes());

    const auto other = PrepareImageFile(dir.filePath("shot.tif"), 256, {});
    if (other) { // a reader of TIFF may or may not take a raw file's first page
        EXPECT_EQ(other->Picture->Sensor(), nullptr);
        EXPECT_EQ(other->Picture->Mosaic(), nullptr);
    }
}

// A 64 × 48 RGGB sensor under a camera preview of 40 × 30: every photosite of its top left
// 8 × 8 corner clipped, and in a patch further on its red photosites alone. The overlay is
// the preview's, photosites mapped onto it proportionally, and turned with the picture.
TEST(OpeningRaw, TheClippingOverlayShowsThePhotositesClippedOnTheSensor) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TDngLayout layout;
    layout.White = 4000;
    layout.Value = [](int x, int y, int) {
        const bool corner = x < 8 && y < 8;
        const bool redPatch = x >= 40 && x < 56 && y >= 24 && y < 40 && x % 2 == 0 && y % 2 == 0;
        return std::uint16_t(corner || redPatch ? 4000 : 900 + 10 * x + y);
    };
    layout.PreviewWidth = 40;
    layout.PreviewHeight = 30;
    layout.PreviewJpeg =
        EncodeWithLibjpeg(40, 30, std::vector<std::uint8_t>(40 * 30 * 3, 128), TJpegEncoding{});
    const struct {
        int Orientation;
        QSize Shown;
        QPoint Corner, Red, Clear; // where the stored pixels (0, 0), (30, 20), (6, 6) are shown
    } rows[] = {{1, {40, 30}, {0, 0}, {30, 20}, {6, 6}}, // photosites 48..49, 32..33: a red
                {6, {30, 40}, {29, 0}, {9, 30}, {23, 6}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Orientation);
        layout.Orientation = row.Orientation;
        const QString path = dir.filePath(QStringLiteral("clipped-%1.dng").arg(row.Orientation));
        ASSERT_TRUE(WriteDng(path.toStdString(), layout));
        const auto opened = PrepareImageFile(path, 256, {});
        ASSERT_NE(opened, nullptr);
        const TPictureRef& picture = opened->Picture;
        ASSERT_EQ(picture->Meta().Rendition, TRawRendition::CameraPreview);
        ASSERT_EQ(QSize(picture->Width(), picture->Height()), QSize(40, 30));
        ASSERT_NE(picture->Mosaic(), nullptr);
        const QImage overlay =
            RawClippingOverlay(*picture->Mosaic(), QSize(40, 30), 256, opened->Form);
        ASSERT_EQ(overlay.size(), row.Shown);
        ASSERT_EQ(overlay.size(), opened->Preview.size());
        EXPECT_EQ(overlay.pixel(row.Corner), qRgb(255, 255, 255));
        EXPECT_EQ(overlay.pixel(row.Red), qRgb(255, 0, 0));
        EXPECT_EQ(qAlpha(overlay.pixel(row.Clear)), 0);
        int painted = 0, white = 0, red = 0;
        for (int y = 0; y < overlay.height(); ++y)
            for (int x = 0; x < overlay.width(); ++x) {
                painted += qAlpha(overlay.pixel(x, y)) != 0;
                white += overlay.pixel(x, y) == qRgb(255, 255, 255);
                red += overlay.pixel(x, y) == qRgb(255, 0, 0);
            }
        // Preview columns and rows 0..4 stand for photosites 0..7 (1.6 each, widened to
        // whole 2×2 tiles): the corner's 5 × 5 are white. The red patch's 16 × 16 photosites
        // make 10 × 10 red pixels, and nothing else is painted.
        EXPECT_EQ(white, 5 * 5);
        EXPECT_EQ(red, 10 * 10);
        EXPECT_EQ(painted, white + red);
    }
}
