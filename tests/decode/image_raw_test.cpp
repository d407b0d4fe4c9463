// Camera raw files as pictures: the camera's embedded preview when it is large enough,
// decoded as the JPEG it is and turned by the raw file's orientation; otherwise, and when
// asked, LibRaw's development of the sensor's data. DNGs made by the tests.
#include "byte_source.h"
#include "decoder.h"
#include "image_format.h"
#include "open_reasons.h"
#include "streamed_count.h"
#include "whole_raster.h"

#include "dng_maker.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::test;

namespace {

class RawPictures : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    std::string In(const char* name) const { return Dir.filePath(name).toStdString(); }

    // A JPEG of the given size made by ImageMagick, as a camera's preview; empty without it.
    std::vector<std::uint8_t> Jpeg(int width, int height) {
        const std::string path = In("preview.jpg");
        const int status =
            QProcess::execute("/usr/bin/convert", {"-size", QString("%1x%2").arg(width).arg(height),
                                                   "gradient:red-blue", "-quality", "90",
                                                   QString::fromStdString(path)});
        return status == 0 ? ReadBytes(path) : std::vector<std::uint8_t>{};
    }
    static TDngLayout Sensor() {
        TDngLayout layout;
        layout.Value = [](int x, int y, int) { return std::uint16_t(200 + 40 * x + 13 * y); };
        return layout;
    }
    QTemporaryDir Dir;
};

TDecodeResult Decode(const std::string& path, bool develop = false) {
    TWholeRaster target;
    return target.Finish(develop ? StreamRawDevelopedFile(path, target)
                                 : StreamImageFile(path, target));
}

bool SamePixels(const TRaster& a, const TRaster& b) {
    const TRasterView va = a.View(), vb = b.View();
    if (va.Width != vb.Width || va.Height != vb.Height)
        return false;
    for (int y = 0; y < va.Height; ++y)
        if (!std::equal(va.Row(y), va.Row(y) + 3 * va.Width, vb.Row(y)))
            return false;
    return true;
}

} // namespace

TEST_F(RawPictures, TheCameraPreviewIsShownWhenLargeEnoughElseTheRawIsDeveloped) {
    const std::vector<std::uint8_t> large = Jpeg(40, 30), small = Jpeg(24, 18);
    if (large.empty() || small.empty())
        GTEST_SKIP() << "no ImageMagick to make the previews";
    const TDecodeResult largeAlone = DecodeJpegMemory(large.data(), large.size(), {});
    ASSERT_TRUE(largeAlone.Ok());
    const struct {
        const char* Name;
        std::vector<std::uint8_t> Preview;
        int Orientation; // the DNG's
        bool Develop;
        TRawRendition Rendition;
        int Width, Height, ShownOrientation;
    } cases[] = {
        // 40 is at least half of the sensor's 64
        {"a large preview", large, 1, false, TRawRendition::CameraPreview, 40, 30, 1},
        {"a large preview, turned", large, 6, false, TRawRendition::CameraPreview, 40, 30, 6},
        {"a large preview, upside down", large, 3, false, TRawRendition::CameraPreview, 40, 30, 3},
        {"a small preview", small, 8, false, TRawRendition::Developed, 64, 48, 8},
        {"no preview", {}, 1, false, TRawRendition::Developed, 64, 48, 1},
        {"developed when asked", large, 6, true, TRawRendition::Developed, 64, 48, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TDngLayout layout = Sensor();
        layout.PreviewJpeg = c.Preview;
        layout.PreviewWidth = c.Preview == large ? 40 : 24;
        layout.PreviewHeight = c.Preview == large ? 30 : 18;
        layout.Orientation = c.Orientation;
        ASSERT_TRUE(WriteDng(In("shot.dng"), layout));
        const TDecodeResult r = Decode(In("shot.dng"), c.Develop);
        ASSERT_TRUE(r.Ok()) << r.Reason() << " " << r.Detail();
        EXPECT_EQ(r->Meta().Rendition, c.Rendition);
        EXPECT_EQ(r->Width(), c.Width);
        EXPECT_EQ(r->Height(), c.Height);
        EXPECT_EQ(r->Meta().Orientation, c.ShownOrientation);
        if (c.Rendition == TRawRendition::CameraPreview) {
            EXPECT_TRUE(SamePixels(*r, *largeAlone)) << "not the preview as stored";
        }
    }
}

// The tools' band counter counts the picture the window shows, or the development when asked.
TEST_F(RawPictures, TheToolsCountThePreviewOrTheDevelopment) {
    TDngLayout layout = Sensor();
    layout.PreviewJpeg = Jpeg(40, 30);
    if (layout.PreviewJpeg.empty())
        GTEST_SKIP() << "no ImageMagick to make the preview";
    layout.PreviewWidth = 40;
    layout.PreviewHeight = 30;
    ASSERT_TRUE(WriteDng(In("counted.dng"), layout));
    for (const bool developed : {false, true}) {
        TPictureMeta meta;
        const TOutcome<TStreamedCounts> counted =
            StreamAndCount(In("counted.dng"), &meta, AdmitInMemoryLeft(), developed);
        ASSERT_TRUE(counted.Ok()) << counted.Reason();
        EXPECT_EQ(counted->Width(), developed ? 64 : 40);
        EXPECT_EQ(meta.Rendition,
                  developed ? TRawRendition::Developed : TRawRendition::CameraPreview);
    }
}

// A development follows the sensor: a brighter exposure of the same scene is brighter.
TEST_F(RawPictures, ADevelopmentFollowsTheSensorsValues) {
    const auto mean = [this](int scale) {
        TDngLayout layout = Sensor();
        layout.Value = [scale](int x, int, int) { return std::uint16_t(scale * (8 + x % 4)); };
        EXPECT_TRUE(WriteDng(In("exposure.dng"), layout));
        const TDecodeResult r = Decode(In("exposure.dng"));
        EXPECT_TRUE(r.Ok()) << r.Reason();
        if (!r.Ok())
            return 0.0;
        double sum = 0;
        const TRasterView v = r->View();
        for (int y = 0; y < v.Height; ++y)
            for (int x = 0; x < 3 * v.Width; ++x)
                sum += v.Row(y)[x];
        return sum / (3.0 * v.Width * v.Height);
    };
    const double dark = mean(10), bright = mean(40);
    EXPECT_GT(dark, 0.0);
    EXPECT_GT(bright, dark * 1.5);
}

// Files whose colour filter pattern does not fill the repeat stated beside it (found by the
// fuzzer: a 6 × 6 pattern over a 6 × 85 repeat, over a repeat outside the file, in a
// directory cut short) make the raw reader write past its tables: they are refused before it
// reads them.
TEST(RawFiles, AFilterPatternBeyondItsRepeatIsRefusedBeforeTheRawReaderSeesIt) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TONALYX_RAW_DATA)) {
        SCOPED_TRACE(entry.path().filename().string());
        ++files;
        const TDecodeResult r = Decode(entry.path().string());
        ASSERT_FALSE(r.Ok());
        EXPECT_EQ(r.Reason(), BrokenHeader({}).Reason) << r.Detail();
        EXPECT_NE(r.Detail().find("colour filter"), std::string::npos) << r.Detail();
    }
    EXPECT_EQ(files, 3);
}

// Files that are no raw file, or a damaged one, are refused in plain words.
TEST_F(RawPictures, OtherFilesAreRefusedInPlainWords) {
    TDngLayout layout = Sensor();
    ASSERT_TRUE(WriteDng(In("good.dng"), layout));
    const std::vector<std::uint8_t> good = ReadBytes(In("good.dng"));
    const struct {
        const char* Name;
        std::vector<std::uint8_t> Bytes;
        std::string Reason;
    } bad[] = {
        {"words.nef",
         {'n', 'o', 't', ' ', 'a', ' ', 'r', 'a', 'w', ' ', 'f', 'i', 'l', 'e'},
         NotPictureOf("camera raw", {}).Reason},
        {"empty.cr2", {}, EmptyFile().Reason},
        {"cut.dng", {good.begin(), good.begin() + std::ptrdiff_t(good.size() / 3)}, ""},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.Name);
        std::ofstream(In(b.Name), std::ios::binary)
            .write(reinterpret_cast<const char*>(b.Bytes.data()), std::streamsize(b.Bytes.size()));
        const TDecodeResult r = Decode(In(b.Name));
        ASSERT_FALSE(r.Ok());
        if (!b.Reason.empty()) {
            EXPECT_EQ(r.Reason(), b.Reason) << r.Detail();
        }
    }
}
