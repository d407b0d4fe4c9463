// tonalyx-cli stats: the JSON line per image against figures computed from the pixels,
// the table, failures per image and the arguments.
#include "stats_command.h"

#include "output_capture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

test::TCapturedRun RunCli(const TStatsOptions& options) {
    return test::CaptureOutput(
        [&](std::FILE* out, std::FILE* err) { return RunStats(options, out, err); });
}

} // namespace

TEST(CliStats, JsonFiguresMatchThePixels) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // 30 × 20 pixels: red runs 0..255 along the rows with black and white columns for clipping.
    QImage img(30, 20, QImage::Format_RGB888);
    std::vector<int> red;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const int r = x == 0 ? 0 : x == 29 ? 255 : (x * 37 + y * 11) % 256;
            img.setPixel(x, y, qRgb(r, 40, 200));
            red.push_back(r);
        }
    const QString path = dir.filePath("ramp.bmp");
    ASSERT_TRUE(img.save(path, "BMP"));
    double n = static_cast<double>(red.size()), mean = 0, squares = 0, low = 0, high = 0;
    for (int r : red) {
        mean += r / n;
        low += r == 0;
        high += r == 255;
    }
    for (int r : red)
        squares += (r - mean) * (r - mean);
    std::vector<int> sorted = red;
    std::sort(sorted.begin(), sorted.end());

    TStatsOptions options;
    options.Json = true;
    options.Images = {path.toStdString(), dir.filePath("missing.jpg").toStdString()};
    const test::TCapturedRun c = RunCli(options);
    EXPECT_EQ(c.Status, 1);
    EXPECT_TRUE(c.Err.contains("missing.jpg: ")) << c.Err.toStdString();
    const QStringList lines = c.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(R"({"file":)"));
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << lines[0].toStdString();
    EXPECT_EQ(o["file"].toString(), path);
    EXPECT_EQ(o["width"].toInt(), 30);
    EXPECT_EQ(o["height"].toInt(), 20);
    const QJsonObject ch = o["channels"].toObject();
    EXPECT_EQ(ch.keys().size(), 10);
    const QJsonObject r = ch["R"].toObject();
    EXPECT_EQ(r["pixels"].toInteger(), 600);
    EXPECT_NEAR(r["mean"].toDouble(), mean, 1e-9);
    EXPECT_NEAR(r["sd"].toDouble(), std::sqrt(squares / n), 1e-9);
    EXPECT_EQ(r["median"].toDouble(), sorted[299]);
    EXPECT_NEAR(r["low"].toDouble(), low / n, 1e-12);
    EXPECT_NEAR(r["high"].toDouble(), high / n, 1e-12);
    EXPECT_EQ(ch["RGB"].toObject()["pixels"].toInteger(), 1800);
    EXPECT_EQ(ch["G"].toObject()["sd"].toDouble(-1), 0);
    EXPECT_TRUE(ch["H"].toObject()["median"].isNull());
    EXPECT_TRUE(ch["H"].toObject()["mean"].isDouble());
    EXPECT_EQ(ch["B_"].toObject()["pixels"].toInteger(), 600); // small: every pixel counted

    // Without --json: a heading and one row per channel, in the order of counts.
    options.Json = false;
    options.Images.pop_back();
    const QStringList table = RunCli(options).Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(table.size(), 12);
    EXPECT_TRUE(table[0].endsWith("30 x 20"));
    EXPECT_TRUE(table[1].startsWith("channel"));
    EXPECT_TRUE(table[3].startsWith("R ") && table[3].contains(" 600 "));
    EXPECT_TRUE(table[11].startsWith("B_ "));
}

// A region's figures are those of the same pixels cut out, said with the region.
TEST(CliStats, ARegionsFiguresAreThoseOfThePixelsCutOut) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QImage img(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            img.setPixel(x, y, qRgb(x * 4, (x * y) % 256, 255 - y * 5));
    const QString whole = dir.filePath("whole.bmp"), cut = dir.filePath("cut.bmp");
    ASSERT_TRUE(img.save(whole, "BMP"));
    ASSERT_TRUE(img.copy(7, 9, 50, 39).save(cut, "BMP")); // to the bottom edge
    TStatsOptions options;
    options.Json = true;
    options.Images = {cut.toStdString()};
    const QJsonObject ofCut = QJsonDocument::fromJson(RunCli(options).Out.toUtf8()).object();
    options.Region = TRegion{7, 9, 50, 39};
    options.Images = {whole.toStdString()};
    const test::TCapturedRun c = RunCli(options);
    ASSERT_EQ(c.Status, 0) << c.Err.toStdString();
    const QJsonObject ofRegion = QJsonDocument::fromJson(c.Out.toUtf8()).object();
    EXPECT_EQ(ofRegion["channels"], ofCut["channels"]);
    EXPECT_EQ(ofRegion["channels"].toObject()["R"].toObject()["pixels"].toInteger(), 50 * 39);
    EXPECT_EQ(ofRegion["width"].toInt(), 64);
    EXPECT_TRUE(c.Out.contains(R"("orientation":1,"region":{"x":7,"y":9,"width":50,"height":39},)"))
        << c.Out.left(200).toStdString();
    options.Json = false;
    EXPECT_TRUE(RunCli(options).Out.startsWith(whole + "  64 x 48, region 7,9,50,39\n"));
}

TEST(CliStats, Arguments) {
    struct {
        std::vector<std::string> Args;
        bool Ok;
        int Status;
        bool Json;
    } rows[] = {
        {{"stats", "a.jpg"}, true, 0, false},
        {{"stats", "--json", "a.jpg", "b.bmp"}, true, 0, true},
        {{"stats", "--", "--json"}, true, 0, false}, // a file named --json
        {{"stats", "--help"}, false, 0, false},
        {{"stats"}, false, 2, false},
        {{"stats", "--display", "a.jpg"}, false, 2, false},
        {{"stats", "--json", "--region", "1,2,3,4", "a.jpg"}, true, 0, true},
        {{"stats", "--region=1,2,3,4", "a.jpg"}, true, 0, false},
        {{"stats", "--region", "1,2,3,0", "a.jpg"}, false, 2, false},
        {{"stats", "--region", "a.jpg"}, false, 2, false},
        {{"stats", "a.jpg", "--region"}, false, 2, false},
    };
    for (const auto& r : rows) {
        TStatsOptions options;
        int status = -1;
        const test::TStream sink = test::TemporaryStream();
        EXPECT_EQ(ParseStatsArguments(r.Args, options, status, sink.get(), sink.get()), r.Ok)
            << r.Args.size();
        if (r.Ok)
            EXPECT_EQ(options.Json, r.Json);
        else
            EXPECT_EQ(status, r.Status);
    }
}
