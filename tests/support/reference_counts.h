// The formats' tests against independent tools: a file made by one tool, decoded by the
// format's reference decoder to a PAM or PNM file, counted here by the rule every decoder
// follows (samples of n bits brought to 8 by SampleTo8, grey as equal channels, a pixel whose
// alpha is 0 left out), and the line `tonalyx-cli counts` prints for the file set against
// the line those counts give, raw and display.
#pragma once

#include "counts_command.h"
#include "layout_adapter.h"
#include "raster.h"
#include "statistics.h"

#include "output_capture.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <bit>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace tonalyx::test {

// Whether a program is on the PATH (the test command installs the reference tools).
inline bool HaveTool(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

#define REQUIRE_TOOL(program)                                                                      \
    do {                                                                                           \
        if (!tonalyx::test::HaveTool(program))                                                     \
            GTEST_SKIP() << "not installed: " << QString(program).toStdString();                   \
    } while (0)

// Runs a tool to its end (at most two minutes); what it wrote to standard error when it
// failed, nothing when it succeeded.
inline std::optional<std::string> RunTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::SeparateChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(120'000)) {
        tool.kill();
        tool.waitForFinished();
        return program.toStdString() + " did not finish";
    }
    if (tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0)
        return std::nullopt;
    return program.toStdString() + " " + arguments.join(' ').toStdString() + ": " +
           tool.readAllStandardError().toStdString();
}

// A netpbm file as the reference decoders write it: P5 (grey), P6 (RGB) or P7 (PAM, with
// TUPLTYPE GRAYSCALE, GRAYSCALE_ALPHA, RGB or RGB_ALPHA); samples of one byte, or two big-
// endian bytes when the largest value is over 255.
struct TReferencePicture {
    int Width = 0, Height = 0;
    int Channels = 0; // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
    std::uint32_t MaxValue = 0;
    std::vector<std::uint16_t> Samples; // Width × Height × Channels
    bool HasAlpha() const { return Channels == 2 || Channels == 4; }
    // The bits of a sample: the reference decoders write largest values of 2^n − 1.
    int Bits() const { return std::bit_width(MaxValue); }
};

inline std::optional<TReferencePicture> ReadNetpbm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    if (!(in >> magic) || (magic != "P5" && magic != "P6" && magic != "P7"))
        return std::nullopt;
    TReferencePicture p;
    if (magic == "P7") {
        std::string key, tuple;
        while (in >> key && key != "ENDHDR") {
            if (key == "WIDTH")
                in >> p.Width;
            else if (key == "HEIGHT")
                in >> p.Height;
            else if (key == "DEPTH")
                in >> p.Channels;
            else if (key == "MAXVAL")
                in >> p.MaxValue;
            else if (key == "TUPLTYPE")
                in >> tuple;
            else
                std::getline(in, key);
        }
    } else {
        p.Channels = magic == "P5" ? 1 : 3;
        for (int* field : {&p.Width, &p.Height}) {
            while (in >> std::ws && in.peek() == '#')
                in.ignore(1 << 20, '\n');
            in >> *field;
        }
        while (in >> std::ws && in.peek() == '#')
            in.ignore(1 << 20, '\n');
        in >> p.MaxValue;
    }
    in.get(); // the one white-space character before the samples
    if (!in || p.Width <= 0 || p.Height <= 0 || p.Channels < 1 || p.Channels > 4 ||
        p.MaxValue < 1 || p.MaxValue > 65535 || !std::has_single_bit(p.MaxValue + 1))
        return std::nullopt;
    const std::size_t count = std::size_t(p.Width) * p.Height * p.Channels;
    const int bytes = p.MaxValue > 255 ? 2 : 1;
    std::vector<char> raw(count * bytes);
    if (!in.read(raw.data(), std::streamsize(raw.size())))
        return std::nullopt;
    p.Samples.resize(count);
    for (std::size_t i = 0; i < count; ++i)
        p.Samples[i] =
            bytes == 1
                ? std::uint8_t(raw[i])
                : std::uint16_t(std::uint8_t(raw[2 * i]) << 8 | std::uint8_t(raw[2 * i + 1]));
    return p;
}

// The picture as the rule makes it: 8-bit blue, green, red, and a coverage where alpha is.
inline TRaster RasterByTheRule(const TReferencePicture& p) {
    TRaster raster = TRaster::Allocate(p.Width, p.Height, p.HasAlpha());
    const int bits = p.Bits();
    for (int y = 0; y < p.Height; ++y) {
        std::uint8_t* row = raster.Row(y);
        std::uint8_t* coverage = raster.CoverageRow(y);
        for (int x = 0; x < p.Width; ++x) {
            const std::uint16_t* px = &p.Samples[(std::size_t(y) * p.Width + x) * p.Channels];
            const bool grey = p.Channels <= 2;
            row[3 * x + 2] = SampleTo8(px[0], bits);
            row[3 * x + 1] = SampleTo8(px[grey ? 0 : 1], bits);
            row[3 * x] = SampleTo8(px[grey ? 0 : 2], bits);
            if (coverage) {
                const bool counted = px[p.Channels - 1] != 0;
                if (x % 8 == 0)
                    coverage[x / 8] = 0;
                coverage[x / 8] |= std::uint8_t(counted << (x % 8));
            }
        }
    }
    return raster;
}

// The line `tonalyx-cli counts` prints for file (and with display, `--display` at the
// default smoothing).
inline std::string CliCountsLine(const std::string& file, bool display) {
    TCountsOptions options;
    options.Images = {file};
    if (display)
        options.Set = TCountSet::Display;
    const TCapturedRun run =
        CaptureOutput([&](std::FILE* out, std::FILE* err) { return RunCounts(options, out, err); });
    return (run.Out + run.Err).trimmed().toStdString();
}

// The line it should print: the reference picture counted by the rule, with the stored
// sample's bits and alpha the file has (the reference decoder's may be wider).
inline std::string ExpectedCountsLine(const std::string& file, const TReferencePicture& p,
                                      bool display, int storedBits, bool storedAlpha,
                                      int orientation = 1) {
    const TRaster raster = RasterByTheRule(p);
    TCurrentHist hist(display ? SmoothLevelMedium : SmoothLevelOff);
    hist.Count(raster.View());
    const auto pixels = static_cast<std::int64_t>(CountedPixels(hist.Raw()[TChannel::R]));
    const TImageFacts facts{p.Width, p.Height, orientation, storedBits, storedAlpha, pixels};
    return CountsJson(file, facts, display ? TCountSet::Display : TCountSet::Origin,
                      SmoothLevelMedium, display ? hist.Display() : hist.Raw());
}

// Both lines, raw and display, for a file and its reference decode.
inline void ExpectCountsAsReference(const std::string& file, const std::string& referencePam,
                                    int storedBits, bool storedAlpha, int orientation = 1) {
    const std::optional<TReferencePicture> reference = ReadNetpbm(referencePam);
    ASSERT_TRUE(reference) << "unreadable reference decode " << referencePam;
    for (const bool display : {false, true}) {
        SCOPED_TRACE(display ? "display" : "raw");
        EXPECT_EQ(
            CliCountsLine(file, display),
            ExpectedCountsLine(file, *reference, display, storedBits, storedAlpha, orientation));
    }
}

} // namespace tonalyx::test
