// tonalyx-cli raw: the JSON line of a camera raw file's sensor counts, failures per file,
// and the arguments.
#include "raw_command.h"

#include "dng_maker.h"
#include "output_capture.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace tonalyx;

namespace {

test::TCapturedRun RunCli(const TRawOptions& options) {
    return test::CaptureOutput(
        [&](std::FILE* out, std::FILE* err) { return RunRaw(options, out, err); });
}

} // namespace

TEST(CliRaw, OneJsonLinePerFileAndAPlainLineForOneThatFails) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A 2×2 pattern whose values are 10 × the place's number + 20, the last row clipped; a
    // second file all at black, which has no headroom.
    test::TDngLayout layout;
    layout.Width = 24, layout.Height = 24, layout.Pattern = "BGGR", layout.Black = {5},
    layout.White = 900;
    layout.Value = [](int x, int y, int) {
        return std::uint16_t(y == 23 ? 1000 : 10 * ((y % 2) * 2 + x % 2) + 20);
    };
    const std::string made = dir.filePath("made.dng").toStdString();
    ASSERT_TRUE(test::WriteDng(made, layout));
    layout.Value = [](int, int, int) { return std::uint16_t(3); };
    const std::string dark = dir.filePath("dark.dng").toStdString();
    ASSERT_TRUE(test::WriteDng(dark, layout));
    const std::string missing = dir.filePath("missing.nef").toStdString();

    TRawOptions options;
    options.Files = {made, missing, dark};
    const test::TCapturedRun c = RunCli(options);
    EXPECT_EQ(c.Status, 1);
    EXPECT_EQ(c.Err.trimmed().toStdString(),
              "tonalyx-cli: " + missing +
                  ": The file does not exist (it may have been moved or deleted)");
    const QStringList lines = c.Out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2);
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);
    EXPECT_EQ(o["file"].toString().toStdString(), made);
    EXPECT_EQ(o["make"].toString(), "Tonalyx");
    EXPECT_EQ(o["model"].toString(), "Test Sensor");
    EXPECT_EQ(o["pattern"].toString(), "BGGR");
    EXPECT_EQ(o["width"].toInt(), 24);
    EXPECT_EQ(o["height"].toInt(), 24);
    EXPECT_EQ(o["black"].toArray(), QJsonArray({5, 5, 5, 5}));
    EXPECT_EQ(o["white"].toInt(), 900);
    const QJsonObject channels = o["channels"].toObject();
    EXPECT_EQ(channels.keys(), QStringList({"B", "G", "G2", "R"}));
    // Each place's 144 photosites at its value, but for the last row's 12 clipped (G and R,
    // the second row's; the green beside blue is the second).
    const struct {
        const char* Name;
        int Value, Clipped;
    } places[] = {{"B", 20, 0}, {"G2", 30, 0}, {"G", 40, 12}, {"R", 50, 12}};
    for (const auto& p : places) {
        SCOPED_TRACE(p.Name);
        const QJsonObject ch = channels[p.Name].toObject();
        const QJsonArray counts = ch["counts"].toArray();
        // Up to the white level, or the largest value where one lies above it.
        ASSERT_EQ(counts.size(), p.Clipped ? 1001 : 901);
        EXPECT_EQ(counts[p.Value].toInt(), 144 - p.Clipped);
        EXPECT_EQ(counts.last().toInt(), p.Clipped);
        EXPECT_EQ(ch["clipped"].toInt(), p.Clipped);
        EXPECT_EQ(ch["at_black"].toInt(), 0);
        EXPECT_TRUE(ch["headroom_ev"].isDouble());
    }
    const QJsonObject darkLine = QJsonDocument::fromJson(lines[1].toUtf8()).object();
    for (const QJsonValue& ch : darkLine["channels"].toObject()) {
        EXPECT_TRUE(ch.toObject()["headroom_ev"].isNull());
        EXPECT_EQ(ch.toObject()["at_black"].toInt(), 144);
    }
}

TEST(CliRaw, Arguments) {
    struct TCase {
        std::vector<std::string> Args;
        bool Runs;
        int Status;
        std::size_t Files;
    };
    const TCase cases[] = {
        {{"raw", "a.nef", "b.cr2"}, true, 0, 2},
        {{"raw", "--", "--odd.dng"}, true, 0, 1},
        {{"raw", "--help"}, false, 0, 0},
        {{"raw"}, false, 2, 0},
        {{"raw", "--develop", "a.nef"}, false, 2, 0},
    };
    for (const TCase& c : cases) {
        TRawOptions options;
        int status = -1;
        const test::TCapturedRun run = test::CaptureOutput([&](std::FILE* out, std::FILE* err) {
            return ParseRawArguments(c.Args, options, status, out, err) ? 0 : 1;
        });
        EXPECT_EQ(run.Status == 0, c.Runs) << c.Args.back();
        if (!c.Runs) {
            EXPECT_EQ(status, c.Status) << c.Args.back();
        }
        EXPECT_EQ(options.Files.size(), c.Files) << c.Args.back();
    }
}
