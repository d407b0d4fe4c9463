// A file's preview made from its rows without holding the picture: the very copy the image
// view shows once the picture is opened, for every kind of file; refused from the header by
// the memory rule before anything of the picture's size is allocated; ended by its token.
#include "file_preview.h"

#include "display_copy.h"
#include "image_loader.h"
#include "open_reasons.h"
#include "qt_raster.h"

#include "colour_fixture.h"
#include "declared_huge.h"
#include "hostile_jpeg.h"
#include "jpeg_encoder.h"
#include "peak_memory.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace tonalyx;

namespace {

using TBytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// Samples of a picture whose blocks differ, so that a reduction shows where each one went.
TBytes Samples(int width, int height, int components) {
    TBytes samples(std::size_t(width) * height * components);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const std::size_t pixel = i / components, x = pixel % width, y = pixel / width;
        samples[i] = static_cast<std::uint8_t>((x * 7 + y * 3 + (i % components) * 60) % 256);
    }
    return samples;
}

TBytes Jpeg(int width, int height, test::TJpegEncoding e = {}) {
    const int components = e.Input == JCS_GRAYSCALE ? 1 : e.Input == JCS_CMYK ? 4 : 3;
    return test::EncodeWithLibjpeg(width, height, Samples(width, height, components), e);
}

class FilePreview : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    QString Write(const char* name, const TBytes& bytes) const {
        const QString path = QDir(Dir.path()).filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return path;
    }
    QTemporaryDir Dir;
};

TEST_F(FilePreview, IsTheCopyTheViewShowsOnceOpened) {
    test::TJpegEncoding progressive, turned, upsideDown, adobe, grey, cmyk;
    progressive.Progressive = true;
    turned.Exif = test::ExifWithOrientation(6);
    upsideDown.Exif = test::ExifWithOrientation(3);
    adobe.Icc = test::RgbProfile(test::AdobeRgbSpace, "Adobe RGB (1998)");
    grey.Input = JCS_GRAYSCALE;
    cmyk.Input = JCS_CMYK;
    QImage bmp(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x)
            bmp.setPixel(x, y, qRgb(x % 256, (y * 5) % 256, (x + y) % 256));
    ASSERT_TRUE(bmp.save(QDir(Dir.path()).filePath("bottom-up.bmp"), "BMP"));
    const struct {
        const char* Name;
        QString Path;
        QSize Shown;
    } rows[] = {
        {"baseline JPEG", Write("baseline.jpg", Jpeg(640, 427)), {640, 427}},
        {"progressive JPEG", Write("progressive.jpg", Jpeg(640, 427, progressive)), {640, 427}},
        {"small, as it is", Write("stamp.jpg", Jpeg(50, 40)), {50, 40}},
        {"long and thin", Write("thin.jpg", Jpeg(2000, 7)), {2000, 7}},
        {"on its side", Write("turned.jpg", Jpeg(640, 427, turned)), {427, 640}},
        {"upside down", Write("upside-down.jpg", Jpeg(333, 250, upsideDown)), {333, 250}},
        {"Adobe RGB, converted", Write("adobe.jpg", Jpeg(500, 300, adobe)), {500, 300}},
        {"grey", Write("grey.jpg", Jpeg(400, 300, grey)), {400, 300}},
        {"CMYK", Write("cmyk.jpg", Jpeg(400, 300, cmyk)), {400, 300}},
        {"BMP, rows bottom up", QDir(Dir.path()).filePath("bottom-up.bmp"), {300, 200}},
        {"run-length BMP", Write("runs.bmp", test::DeclaredHugeRleBmp(700, 500)), {700, 500}},
    };
    for (const auto& row : rows) {
        TOutcome<TLoadedImage> opened = DecodeAndCount(PathOf(row.Path));
        ASSERT_TRUE(opened.Ok()) << row.Name;
        const TDisplayForm form(opened->Image.Meta(), row.Path);
        const auto picture = std::make_shared<const TPicture>(
            TPictureSource(), std::move(opened->Image), TAllChanel{});
        const QImage view = DisplayCopy(picture, 240, form);

        const TFilePreview preview = MakeFilePreview(row.Path, 240);
        EXPECT_FALSE(preview.Failure) << row.Name;
        EXPECT_EQ(preview.Shown, row.Shown) << row.Name;
        EXPECT_EQ(preview.Picture.convertToFormat(QImage::Format_ARGB32),
                  view.convertToFormat(QImage::Format_ARGB32))
            << row.Name;
    }
}

TEST_F(FilePreview, IsRefusedFromTheHeaderWhenItWouldNotFit) {
    test::TJpegEncoding progressive;
    progressive.Progressive = true;
    // 20000 × 20000 in a few kilobytes: as progressive, its decoder would hold 1.2 GB of
    // coefficients; as baseline, a band of rows is all it takes.
    const TBytes small = Jpeg(64, 48, progressive);
    const QString huge = Write("huge.jpg", test::WithDeclaredSize(small, 20000, 20000));
    const QString photo = Write("photo.jpg", Jpeg(640, 427, progressive));
    const struct {
        const char* Name;
        QString Path;
        std::uint64_t MemoryLeft; // 0: the system's
        const char* Starts;
        const char* Ends;
    } rows[] = {
        {"more than a preview may take", huge, 0,
         "Its 20000 \u00D7 20000 pixels need ", // in GB or MB, as the bound reads
         " a preview may take"},
        {"more than the memory left", photo, 1'000'000, "Its 640 \u00D7 427 pixels need ",
         ", and only 1 MB is free"},
    };
    for (const auto& row : rows) {
        const test::TPeakMemory memory;
        const auto start = std::chrono::steady_clock::now();
        const TMemoryLeft memoryLeft = [&row] { return row.MemoryLeft; };
        const TFilePreview preview =
            MakeFilePreview(row.Path, 240, {}, row.MemoryLeft ? memoryLeft : TMemoryLeft());
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << row.Name;
        EXPECT_TRUE(preview.Refused) << row.Name;
        ASSERT_TRUE(preview.Failure) << row.Name;
        const std::string& reason = preview.Failure->Reason;
        EXPECT_EQ(reason.rfind(row.Starts, 0), 0u) << reason;
        EXPECT_EQ(reason.substr(reason.size() - std::min(reason.size(), std::strlen(row.Ends))),
                  row.Ends)
            << reason;
        EXPECT_TRUE(preview.Picture.isNull()) << row.Name;
        EXPECT_LT(memory.Growth(), 64 << 20) << row.Name;
    }
}

TEST_F(FilePreview, WithoutAPictureKeepsWhatTheFileGave) {
    const struct {
        const char* Name;
        QString Path;
        QSize Shown; // as stored: the orientation comes with the rows
        const char* Detail;
    } rows[] = {
        {"scans over the limit",
         Write("bomb.jpg", test::ScanBomb(64, 48, 5000)),
         {64, 48},
         "cover the picture"},
        {"not a picture", Write("notes.jpg", TBytes{'n', 'o', 't', 'e', 's'}), {}, "libjpeg"},
        {"not a picture type", Write("notes.txt", Jpeg(64, 48)), {}, "format .txt"},
        {"missing", QDir(Dir.path()).filePath("gone.jpg"), {}, "errno"},
    };
    for (const auto& row : rows) {
        const TFilePreview preview = MakeFilePreview(row.Path, 240);
        EXPECT_EQ(preview.Shown, row.Shown) << row.Name;
        EXPECT_TRUE(preview.Picture.isNull()) << row.Name;
        EXPECT_FALSE(preview.Refused) << row.Name;
        ASSERT_TRUE(preview.Failure) << row.Name;
        EXPECT_NE(DescribeFailure(*preview.Failure).find(row.Detail), std::string::npos)
            << DescribeFailure(*preview.Failure);
    }
}

// Files that keep a decoder busy for seconds: the scans of a large picture over and over,
// the made-up rows of a picture declared huge. A cancel ends them at their next band.
TEST_F(FilePreview, ACancelEndsTheDecodeAtItsNextBand) {
    const QString bomb = Write("bomb.jpg", test::ScanBomb(4096, 4096, 5000));
    const QString huge = Write("huge.jpg", test::WithDeclaredSize(Jpeg(64, 48), 20000, 20000));
    const QString runs = Write("runs.bmp", test::DeclaredHugeRleBmp(20000, 20000));
    for (const QString& path : {bomb, huge, runs}) {
        std::stop_source stop;
        TFilePreview preview;
        std::thread worker([&] { preview = MakeFilePreview(path, 240, stop.get_token()); });
        std::this_thread::sleep_for(100ms);
        const auto cancelled = std::chrono::steady_clock::now();
        stop.request_stop();
        worker.join();
        EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 500ms) << path.toStdString();
        ASSERT_TRUE(preview.Failure) << path.toStdString();
        EXPECT_EQ(*preview.Failure, DecodingCancelled()) << path.toStdString();
    }
}

} // namespace
