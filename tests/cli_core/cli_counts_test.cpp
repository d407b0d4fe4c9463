// tonalyx-cli counts: the fixed output format, failures per image, and the arguments.
#include "accumulate.h"
#include "counts_command.h"
#include "image_loader.h"
#include "stats_command.h"

#include "colour_fixture.h"
#include "declared_huge.h"
#include "jpeg_encoder.h"
#include "output_capture.h"
#include "peak_memory.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <memory>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

// Runs RunCounts with captured standard output and error.
test::TCapturedRun RunCli(const TCountsOptions& options) {
    return test::CaptureOutput(
        [&](std::FILE* out, std::FILE* err) { return RunCounts(options, out, err); });
}

QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
    return img;
}

class CliCounts : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Bmp = Dir.filePath(QStringLiteral("gradient \"quoted\".bmp"));
        ASSERT_TRUE(Gradient(40, 30).save(Bmp, "BMP"));
        BmpName = Bmp.toStdString();
    }
    std::string In(const QString& name) const { return Dir.filePath(name).toStdString(); }
    QTemporaryDir Dir;
    QString Bmp;
    std::string BmpName; // as the command line gives it
};

} // namespace

TEST_F(CliCounts, OneJsonLinePerImageWithEveryChannelsUsedBins) {
    TCountsOptions options;
    options.Images = {BmpName, BmpName};
    const test::TCapturedRun c = RunCli(options);
    EXPECT_EQ(c.Status, 0);
    EXPECT_TRUE(c.Err.isEmpty());
    const QStringList lines = c.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(c.Out.endsWith('\n'));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[0].left(200).toStdString();
    EXPECT_EQ(o["file"].toString(), Bmp);
    EXPECT_EQ(o["width"].toInt(), 40);
    EXPECT_EQ(o["height"].toInt(), 30);
    EXPECT_EQ(o["set"].toString(), "origin");
    EXPECT_EQ(o["smoothing"].toString(), "medium");
    // Keys in the fixed order, each with its used range of bins.
    EXPECT_TRUE(lines[0].startsWith(R"({"file":)"));
    EXPECT_NE(lines[0].indexOf(R"("channels":{"RGB":[)"), -1);
    const QJsonObject ch = o["channels"].toObject();
    const std::pair<const char*, int> sizes[] = {{"RGB", 256}, {"R", 256}, {"G", 256}, {"B", 256},
                                                 {"H", 1437},  {"S", 601}, {"V", 601}, {"L", 601},
                                                 {"A", 511},   {"B_", 511}};
    for (auto [name, n] : sizes)
        EXPECT_EQ(ch[name].toArray().size(), n) << name;
    qint64 red = 0;
    for (const auto v : ch["R"].toArray())
        red += v.toInteger();
    EXPECT_EQ(red, 40 * 30);
}

TEST_F(CliCounts, TheStoredSizeIsGivenWithTheOrientationAViewerApplies) {
    std::vector<std::uint8_t> samples(size_t(40) * 30 * 3, 128);
    test::TJpegEncoding e;
    e.Exif = test::ExifWithOrientation(8);
    const std::vector<std::uint8_t> jpeg = test::EncodeWithLibjpeg(40, 30, samples, e);
    QFile f(Dir.filePath("turned.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    f.close();
    TCountsOptions options;
    options.Images = {BmpName, In("turned.jpg")};
    const test::TCapturedRun c = RunCli(options);
    const QStringList lines = c.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << c.Err.toStdString();
    const QJsonObject bmp = QJsonDocument::fromJson(lines[0].toUtf8()).object();
    const QJsonObject turned = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    EXPECT_EQ(bmp["orientation"].toInt(), 1);
    EXPECT_EQ(turned["width"].toInt(), 40);
    EXPECT_EQ(turned["height"].toInt(), 30);
    EXPECT_EQ(turned["orientation"].toInt(), 8);
    EXPECT_TRUE(lines[1].contains(
        R"("height":30,"orientation":8,"bits":8,"alpha":false,"pixels":1200,"set":)"));
}

// Both sets name the level chosen; only the display set's numbers follow it.
TEST_F(CliCounts, TheSmoothingLevelChangesTheDisplaySetAlone) {
    const struct {
        TCountSet Set;
        const char* Name;
        bool Changes;
    } rows[] = {{TCountSet::Origin, "origin", false}, {TCountSet::Display, "display", true}};
    test::TCapturedRun high;
    for (const auto& row : rows) {
        TCountsOptions options;
        options.Images = {BmpName};
        options.Set = row.Set;
        options.SmoothLevel = 0;
        const test::TCapturedRun off = RunCli(options);
        options.SmoothLevel = 3;
        high = RunCli(options);
        const QJsonObject o = QJsonDocument::fromJson(high.Out.toUtf8()).object();
        EXPECT_EQ(o["set"].toString(), row.Name);
        EXPECT_EQ(o["smoothing"].toString(), "high") << row.Name;
        EXPECT_EQ(off.Out.section("\"channels\"", 1) != high.Out.section("\"channels\"", 1),
                  row.Changes)
            << row.Name;
    }

    // The display set's numbers at the high level (the last row's) are the engine's display
    // copy at that level.
    const TOutcome<TLoadedImage> loaded = DecodeAndCount(BmpName);
    ASSERT_TRUE(loaded.Ok()) << loaded.Reason();
    auto hist = std::make_unique<THist>();
    hist->Calc(Origin, loaded->Image.View());
    hist->SmoothRepeatCnt = SmoothLevels[3].RepCnt;
    hist->Calc4Show(Origin, Origin4Show);
    EXPECT_EQ(high.Out.trimmed().toStdString(),
              CountsJson(BmpName, {40, 30, 1, 8, false, 40 * 30}, TCountSet::Display, 3,
                         hist->Data[Origin4Show]));
}

TEST_F(CliCounts, UnreadableImagesAreReportedAndTheOthersStillCounted) {
    const QString liar = Dir.filePath("bitmap.jpg"); // a BMP behind a JPEG name
    QFile::copy(Bmp, liar);
    TCountsOptions options;
    options.Images = {In("missing.jpg"), BmpName, liar.toStdString(), In("notes.txt")};
    const test::TCapturedRun c = RunCli(options);
    EXPECT_EQ(c.Status, 1);
    EXPECT_EQ(c.Out.count('\n'), 1);
    const QStringList errors = c.Err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(errors.size(), 3);
    EXPECT_TRUE(errors[0].contains("missing.jpg: ")) << errors[0].toStdString();
    EXPECT_TRUE(errors[1].contains("bitmap.jpg: "));
    EXPECT_TRUE(errors[2].contains("notes.txt: "));
    for (const QString& e : errors)
        EXPECT_GT(e.section(": ", -1).size(), 3) << "no reason given: " << e.toStdString();
}

// A progressive file's decoder keeps the coefficients of the picture it declares: every
// command admits them from the header, a 1 × 1 region too, and refuses a file they would not
// fit for before allocating them; the other images are still counted.
TEST_F(CliCounts, AProgressiveFileTooLargeForTheMemoryLeftIsRefusedFromItsHeader) {
    const QString huge = Dir.filePath("huge.jpg");
    {
        const std::vector<std::uint8_t> bytes = test::DeclaredHugeProgressiveJpeg(20000, 20000);
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    const TMemoryLeft memoryLeft = [] { return std::uint64_t{500'000'000}; };
    const std::vector<std::string> images = {huge.toStdString(), BmpName};
    const std::optional<TRegion> regions[] = {std::nullopt, TRegion{0, 0, 1, 1}};
    for (const bool stats : {false, true})
        for (const std::optional<TRegion>& region : regions) {
            SCOPED_TRACE(testing::Message()
                         << (stats ? "stats" : "counts") << (region ? " with a region" : ""));
            const test::TPeakMemory memory;
            const test::TCapturedRun c = test::CaptureOutput([&](std::FILE* out, std::FILE* err) {
                if (stats)
                    return RunStats({true, region, images, memoryLeft}, out, err);
                TCountsOptions options;
                options.Region = region;
                options.Images = images;
                options.MemoryLeft = memoryLeft;
                return RunCounts(options, out, err);
            });
            EXPECT_LT(memory.Growth(), 64 << 20);
            EXPECT_EQ(c.Status, 1);
            EXPECT_EQ(c.Out.count('\n'), 1); // the BMP's line
            EXPECT_TRUE(
                c.Err.startsWith("tonalyx-cli: " + huge + ": Its 20000 \u00D7 20000 pixels need "))
                << c.Err.toStdString();
            EXPECT_TRUE(c.Err.endsWith(" MB of memory, and only 500 MB is free\n"))
                << c.Err.toStdString();
        }
}

// A region's line has the bins of the same pixels cut out and counted as an image of their own,
// raw and smoothed, with the stored picture's size and the region beside them; a region that
// does not lie within an image fails that image alone.
TEST_F(CliCounts, ARegionCountsAsThePixelsCutOut) {
    const QImage picture = Gradient(600, 400);
    const QString whole = Dir.filePath("whole.bmp"), cut = Dir.filePath("cut.bmp");
    ASSERT_TRUE(picture.save(whole, "BMP"));
    const TRegion region{101, 37, 401, 301}; // sampled: above the full-count limit of HSV
    ASSERT_GT(std::int64_t{region.Width} * region.Height, FullCountLimit(TSampledModel::HSV));
    ASSERT_TRUE(picture.copy(region.X, region.Y, region.Width, region.Height).save(cut, "BMP"));
    const auto channels = [](const QString& line) {
        return QJsonDocument::fromJson(line.toUtf8()).object()["channels"].toObject();
    };
    for (const TCountSet set : {TCountSet::Origin, TCountSet::Display}) {
        TCountsOptions options;
        options.Set = set;
        options.Images = {cut.toStdString()};
        const test::TCapturedRun ofCut = RunCli(options);
        options.Region = region;
        options.Images = {whole.toStdString(), BmpName};
        const test::TCapturedRun ofRegion = RunCli(options);
        EXPECT_EQ(ofRegion.Status, 1);
        const QStringList lines = ofRegion.Out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 1) << ofRegion.Err.toStdString();
        EXPECT_EQ(channels(lines[0]), channels(ofCut.Out));
        EXPECT_TRUE(lines[0].contains(R"("width":600,"height":400,"orientation":1,)"
                                      R"("region":{"x":101,"y":37,"width":401,"height":301},)"
                                      R"("bits":8,"alpha":false,"pixels":120701,"set":)"));
        EXPECT_FALSE(ofCut.Out.contains("region"));
        EXPECT_EQ(ofRegion.Err.trimmed().toStdString(),
                  "tonalyx-cli: " + BmpName +
                      ": The region 101,37,401,301 does not lie within the picture (40 x 30)");
    }
}

TEST(CliJson, FileNamesAreEscapedAndStayUtf8) {
    auto hist = std::make_unique<THist>();
    const struct {
        std::string Name;
        QString Read; // as a JSON reader gives it back
    } rows[] = {
        {"a\"b\\c\nd é.jpg", QStringLiteral("a\"b\\c\nd é.jpg")},
        {"日本 \xF0\x9F\x93\xB7.jpg", QStringLiteral("日本 📷.jpg")},
        {"latin1 \xE9t\xE9.jpg", QStringLiteral("latin1 \uFFFDt\uFFFD.jpg")},
        {"cut \xE6\x97.jpg", QStringLiteral("cut \uFFFD\uFFFD.jpg")},
        {"overlong \xC0\xAF surrogate \xED\xA0\x80",
         QStringLiteral("overlong \uFFFD\uFFFD "
                        "surrogate \uFFFD\uFFFD\uFFFD")},
    };
    for (const auto& r : rows) {
        const std::string line =
            CountsJson(r.Name, {1, 2}, TCountSet::Origin, 0, hist->Data[Origin]);
        QJsonParseError error;
        const QJsonObject o =
            QJsonDocument::fromJson(QByteArray::fromStdString(line), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << r.Name;
        EXPECT_EQ(o["file"].toString(), r.Read) << r.Name;
        EXPECT_EQ(o["smoothing"].toString(), "off");
    }
}

TEST(CliArguments, Parsing) {
    struct {
        std::vector<std::string> args;
        bool ok;
        int status;
    } rows[] = {
        {{"counts", "a.jpg"}, true, 0},
        {{"counts", "--display", "--smoothing", "high", "a.jpg", "b.bmp"}, true, 0},
        {{"counts", "--smoothing=low", "a.jpg"}, true, 0},
        {{"counts", "--", "--display"}, true, 0}, // a file named --display
        {{"--help"}, false, 0},
        {{"--version"}, false, 0},
        {{"counts", "-h"}, false, 0},
        {{}, false, 2},
        {{"count", "a.jpg"}, false, 2},
        {{"counts"}, false, 2},
        {{"counts", "--smoothing", "extreme", "a.jpg"}, false, 2},
        {{"counts", "--smoothing"}, false, 2},
        {{"counts", "--colour", "a.jpg"}, false, 2},
        {{"counts", "--region", "0,0,1,1", "a.jpg"}, true, 0},
        {{"counts", "--region=3,4,5,6", "a.jpg"}, true, 0},
        {{"counts", "--region"}, false, 2},
        {{"counts", "a.jpg", "--region"}, false, 2},
        {{"counts", "--region", "1,2,3", "a.jpg"}, false, 2},
        {{"counts", "--region", "1,2,0,4", "a.jpg"}, false, 2},
        {{"counts", "--region", "-1,2,3,4", "a.jpg"}, false, 2},
        {{"counts", "--region", "1, 2,3,4", "a.jpg"}, false, 2},
        {{"counts", "--region", "1,2,3,4,", "a.jpg"}, false, 2},
        {{"counts", "--region=", "a.jpg"}, false, 2},
    };
    for (const auto& r : rows) {
        TCountsOptions options;
        int status = -1;
        const test::TStream sink = test::TemporaryStream();
        const std::string line = r.args.empty() ? "" : r.args.front() + " …";
        EXPECT_EQ(ParseCountsArguments(r.args, options, status, sink.get(), sink.get()), r.ok)
            << line;
        if (!r.ok) {
            EXPECT_EQ(status, r.status) << line;
        }
    }
    TCountsOptions options;
    int status = 0;
    const test::TStream sink = test::TemporaryStream();
    ASSERT_TRUE(
        ParseCountsArguments({"counts", "--display", "--smoothing", "high", "a.jpg", "--", "--x"},
                             options, status, sink.get(), sink.get()));
    EXPECT_EQ(options.Set, TCountSet::Display);
    EXPECT_EQ(options.SmoothLevel, 3);
    EXPECT_EQ(options.Images, (std::vector<std::string>{"a.jpg", "--x"}));
    EXPECT_FALSE(options.Region);

    // The region is read, or said to be wrong with what it takes.
    ASSERT_TRUE(ParseCountsArguments({"counts", "--region", "3,4,5,6", "a.jpg"}, options, status,
                                     sink.get(), sink.get()));
    EXPECT_EQ(options.Region, (TRegion{3, 4, 5, 6}));
    EXPECT_EQ(options.Images.back(), "a.jpg");
    const test::TCapturedRun bad = test::CaptureOutput([](std::FILE* out, std::FILE* err) {
        TCountsOptions ignored;
        int exit = 0;
        ParseCountsArguments({"counts", "--region", "3,4,5", "a.jpg"}, ignored, exit, out, err);
        return exit;
    });
    EXPECT_EQ(bad.Status, 2);
    EXPECT_TRUE(bad.Err.startsWith("tonalyx-cli: invalid region '3,4,5': --region takes "
                                   "X,Y,WIDTH,HEIGHT"))
        << bad.Err.toStdString();
}
