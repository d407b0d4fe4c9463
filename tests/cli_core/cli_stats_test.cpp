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
