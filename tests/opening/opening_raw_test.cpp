// A camera raw file opened for the window brings its sensor's histogram beside the picture
// shown; any other file, and a raw file whose sensor cannot be counted, none.
#include "neighbour_preparer.h"

#include "dng_maker.h"

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

    const auto opened = OpenImageFile(dir.filePath("shot.dng"), 256, {});
    ASSERT_TRUE(opened.Ok()) << opened.Reason();
    const TPictureRef& picture = (*opened)->Picture;
    EXPECT_NE(picture->Meta().Rendition, TRawRendition::None);
    ASSERT_NE(picture->Sensor(), nullptr);
    EXPECT_EQ(picture->Sensor()->Pattern, "RGGB");
    EXPECT_EQ(picture->Sensor()->Photosites(),
              std::uint64_t(picture->Sensor()->Width) * std::uint64_t(picture->Sensor()->Height));
    EXPECT_GT(picture->Bytes(),
              std::int64_t(picture->Pixels().SizeInBytes()) + std::int64_t(sizeof(TAllChanel)));

    const auto other = OpenImageFile(dir.filePath("shot.tif"), 256, {});
    if (other.Ok()) { // a reader of TIFF may or may not take a raw file's first page
        EXPECT_EQ((*other)->Picture->Sensor(), nullptr);
    }
}
