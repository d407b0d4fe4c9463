// Median timings of camera raw files, each against a reference of the same run: the sensor's
// histogram against LibRaw's own open and unpack of the file; the window (off-screen) opening
// a raw file, its camera preview and ten histograms shown, against decoding that preview as a
// JPEG file of its own, and with the Raw group shown against the unpack; a step to a prepared
// raw neighbour against a step to a prepared JPEG neighbour.
//
// The raw file is a 6000 x 4000 RGGB DNG of 14-bit photosites, stored uncompressed (the file
// writer has no lossless JPEG), with the photo-like picture of the other benchmarks as its
// full-size preview. An uncompressed sensor unpacks faster than a camera's compressed one, so
// against the unpack this is the hardest case for the counting.
//
//   bench_raw [--runs N]
//   bench_raw --write-dng PATH [--size WxH]   (the raw file alone, for scripts/bench-formats.sh)
//
// The settings go to a temporary folder, never to the user's own.
#include "app_core.h"
#include "byte_source.h"
#include "commands.h"
#include "decoder.h"
#include "hist_panel.h"
#include "input_file.h"
#include "main_window.h"
#include "neighbour_preparer.h"
#include "qt_raster.h"
#include "sensor_count.h"
#include "whole_raster.h"

#include "dng_maker.h"
#include "photo_like.h"
#include "window_bench.h"

#include <libraw.h>

#include <QAction>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::bench;

namespace {

void Row(const char* what, double ms, const char* against, double referenceMs) {
    std::printf("| %-46s | %8.1f | %-24s | %6.2f |\n", what, ms, against, ms / referenceMs);
}

// The photo as a sensor would have recorded it: each photosite the linear light of its
// filter's colour in the picture, between a black level of 512 and a white of 16383, the
// brightest highlights clipped.
bool WriteRawOf(const QImage& photo, const QString& jpeg, const QString& dng) {
    test::TDngLayout layout;
    layout.Width = photo.width();
    layout.Height = photo.height();
    layout.Black = {512};
    layout.White = 16383;
    layout.PreviewJpeg = test::ReadBytes(PathOf(jpeg));
    layout.PreviewWidth = photo.width();
    layout.PreviewHeight = photo.height();
    std::vector<std::uint16_t> linear(256);
    for (int v = 0; v < 256; ++v)
        linear[static_cast<std::size_t>(v)] = static_cast<std::uint16_t>(
            std::min(16383.0, 512 + std::pow(v / 255.0, 2.2) * (16383 - 512) * 1.1));
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB888);
    layout.Value = [&](int x, int y, int) {
        const uchar* p = rgb.constScanLine(y) + 3 * x;
        const int colour = (y % 2) + (x % 2); // RGGB: 0 red, 1 green, 2 blue
        return linear[p[colour]];
    };
    return !layout.PreviewJpeg.empty() && test::WriteDng(PathOf(dng), layout);
}

// LibRaw's own open and unpack of the file, nothing read from what it unpacked.
void OpenAndUnpack(const QString& path) {
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(PathOf(path).c_str()) != LIBRAW_SUCCESS || raw->unpack() != LIBRAW_SUCCESS)
        std::fprintf(stderr, "LibRaw cannot unpack %s\n", qPrintable(path));
}

void OpenOnly(const QString& path) {
    auto raw = std::make_unique<LibRaw>();
    if (raw->open_file(PathOf(path).c_str()) != LIBRAW_SUCCESS)
        std::fprintf(stderr, "LibRaw cannot open %s\n", qPrintable(path));
}

// The sensor's histogram as the command-line tool counts it, or with its photosites kept as
// the window keeps them.
void CountFile(const QString& path, bool keep) {
    TInputFile input(PathOf(path));
    TFileBytes bytes(input);
    if (!(keep ? ReadSensor(bytes).Ok() : CountSensor(bytes).Ok()))
        std::fprintf(stderr, "cannot count %s\n", qPrintable(path));
}

// Copies of one file under the names IMG_0000.ext … in a folder, hard links where they can be.
std::vector<QString> Copies(const QString& file, const QString& folder, const QString& ext,
                            int count) {
    std::vector<QString> copies;
    for (int i = 0; i < count; ++i) {
        const QString copy = QDir(folder).filePath(QString::asprintf("IMG_%04d.", i) + ext);
        std::error_code error;
        std::filesystem::create_hard_link(PathOf(file), PathOf(copy), error);
        if (error)
            std::filesystem::copy_file(PathOf(file), PathOf(copy), error);
        copies.push_back(copy);
    }
    return copies;
}

int WriteDngOnly(const QStringList& args) {
    const QString path = args[args.indexOf("--write-dng") + 1];
    int w = 6000, h = 4000;
    if (const qsizetype at = args.indexOf("--size"); at >= 0 && at + 1 < args.size())
        std::sscanf(qPrintable(args[at + 1]), "%dx%d", &w, &h);
    QTemporaryDir work;
    const QString jpeg = QDir(work.path()).filePath("preview.jpg");
    const QImage photo = PhotoLike(w, h);
    if (!WriteJpeg(photo, jpeg, false) || !WriteRawOf(photo, jpeg, path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    TOffscreenApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (const qsizetype at = args.indexOf("--write-dng"); at >= 0 && at + 1 < args.size())
        return WriteDngOnly(args);
    int runs = 7;
    for (qsizetype i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--runs")
            runs = std::max(1, args[++i].toInt());

    std::printf("Writing a 6000 x 4000 DNG with its preview, and folders of %d copies ...\n",
                3 * runs + 2);
    QTemporaryDir work;
    const QString jpeg = QDir(work.path()).filePath("preview.jpg");
    const QString dng = QDir(work.path()).filePath("raw.dng");
    const QImage photo = PhotoLike(6000, 4000);
    if (!WriteJpeg(photo, jpeg, false) || !WriteRawOf(photo, jpeg, dng)) {
        std::fprintf(stderr, "cannot write the test files\n");
        return 1;
    }
    QDir(work.path()).mkdir("raw");
    QDir(work.path()).mkdir("jpeg");
    const std::vector<QString> raws =
        Copies(dng, QDir(work.path()).filePath("raw"), "dng", 3 * runs + 2);
    const std::vector<QString> jpegs =
        Copies(jpeg, QDir(work.path()).filePath("jpeg"), "jpg", 3 * runs + 2);

    std::vector<double> open, preview, unpack, count, read, decode, openJpeg, openRaw, openRawTab,
        stepJpeg, stepRaw;
    for (int r = 0; r < runs; ++r) {
        open.push_back(Ms([&] { OpenOnly(dng); }));
        preview.push_back(Ms([&] {
            TWholeRaster target;
            (void)target.Finish(StreamRawFile(PathOf(dng), target));
        }));
        unpack.push_back(Ms([&] { OpenAndUnpack(dng); }));
        count.push_back(Ms([&] { CountFile(dng, false); }));
        read.push_back(Ms([&] { CountFile(dng, true); }));
        decode.push_back(Ms([&] { (void)DecodeJpegFile(PathOf(jpeg)); }));
    }

    TAppCore core;
    core.Cache = std::make_unique<TCache>(std::int64_t{1} << 30);
    TfrmMain window(core, {});
    StartWindow(window);
    TNeighbourPreparer& preparer = *window.Preparer();
    QAction& rawGroup = *window.Commands()[TCommandId::acRawHistogram];
    const auto shown = [&window](const std::function<void()>& step) {
        return Ms([&] {
            step();
            WaitOpened(window);
            window.repaint();
        });
    };
    for (int r = 0; r < runs; ++r) {
        const auto k = static_cast<std::size_t>(3 * r);
        for (const auto& [files, opened, stepped] :
             {std::tuple{&jpegs, &openJpeg, &stepJpeg}, std::tuple{&raws, &openRaw, &stepRaw}}) {
            if (rawGroup.isChecked())
                rawGroup.trigger();
            Settle(preparer);
            opened->push_back(shown([&, path = (*files)[k]] { window.LoadImageFile(path); }));
            Settle(preparer); // the next file prepared
            stepped->push_back(shown([&] { window.ShowNeighbor(TNeighbor::nNext); }));
        }
        // The Raw group shown with the picture: the file after the step's, not yet prepared.
        if (!rawGroup.isChecked())
            rawGroup.trigger();
        Settle(preparer);
        preparer.Want({}, 0);
        openRawTab.push_back(shown([&] {
            window.LoadImageFile(raws[k + 2]);
            WaitOpened(window);
            // The sensor's reading joins the picture after it is shown.
            while (!window.HistPanel()->Scene().RawShown())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }));
    }
    window.close();

    const double unpackMs = Median(unpack), decodeMs = Median(decode);
    std::printf("\n6000 x 4000 RGGB DNG, 14-bit uncompressed, with a full-size JPEG preview; "
                "window 1500 x 900; median of %d runs\n\n",
                runs);
    std::printf("| %-46s | %8s | %-24s | %6s |\n", "step", "ms", "against", "ratio");
    std::printf("|---|---:|---|---:|\n");
    Row("LibRaw open_file + unpack", unpackMs, "itself", unpackMs);
    Row("sensor histogram (open, unpack, count)", Median(count), "LibRaw open + unpack", unpackMs);
    Row("the same, its photosites kept (the window's)", Median(read), "LibRaw open + unpack",
        unpackMs);
    Row("preview decoded as a JPEG file", decodeMs, "itself", decodeMs);
    Row("LibRaw open_file alone", Median(open), "LibRaw open + unpack", unpackMs);
    Row("camera preview through the raw decoder", Median(preview), "preview JPEG decode", decodeMs);
    Row("window: open the preview's JPEG file", Median(openJpeg), "preview JPEG decode", decodeMs);
    Row("window: open the raw file (preview shown)", Median(openRaw), "preview JPEG decode",
        decodeMs);
    Row("window: open the raw file, Raw group shown", Median(openRawTab), "LibRaw open + unpack",
        unpackMs);
    Row("window: step to a prepared JPEG neighbour", Median(stepJpeg), "itself", Median(stepJpeg));
    Row("window: step to a prepared raw neighbour", Median(stepRaw), "prepared JPEG step",
        Median(stepJpeg));
    return 0;
}
