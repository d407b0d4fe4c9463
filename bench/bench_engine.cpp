// Median timings of opening an image: decoding, counting, the display copy and drawing, on
// either count axis; and the clipping overlay of the View tab.
//
//   bench_engine [IMAGE.jpg] [--runs N]
//   bench_engine --write OUT.jpg [--size WxH] [--progressive]
//
// Without an image a 24-megapixel photo-like picture is generated and encoded as JPEG.
// --write only writes such a picture (6000 x 4000 unless --size says otherwise), for
// measuring the programs on it (scripts/bench-cli.sh).
// Every row is also given as a ratio to the decode time of the same run.
#include "accumulate.h"
#include "clipping_mask.h"
#include "image_loader.h"
#include "qt_raster.h"
#include "render.h"
#include "streamed_count.h"

#include "photo_like.h"

#include <QCoreApplication>
#include <QSize>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void Row(const char* what, double ms, double decodeMs) {
    std::printf("| %-34s | %10.3f | %8.3f |\n", what, ms, ms / decodeMs);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    int runs = 5;
    QString path, writeTo;
    QSize size(6000, 4000);
    bool progressive = false;
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--runs" && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == "--write" && i + 1 < args.size()) {
            writeTo = args[++i];
        } else if (args[i] == "--size" && i + 1 < args.size()) {
            const QStringList wh = args[++i].split('x');
            size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
        } else if (args[i] == "--progressive") {
            progressive = true;
        } else {
            path = args[i];
        }
    }
    if (!writeTo.isEmpty()) {
        if (size.isEmpty() ||
            !WriteJpeg(PhotoLike(size.width(), size.height()), writeTo, progressive)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(writeTo));
            return 1;
        }
        return 0;
    }
    QTemporaryDir tmp;
    if (path.isEmpty()) {
        std::printf("Generating a 6000 x 4000 photo-like JPEG ...\n");
        path = tmp.filePath("photo-like.jpg");
        if (!WriteJpeg(PhotoLike(6000, 4000), path, false)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }

    TDecodeResult decoded = TDecodeResult::Failure("not decoded");
    const double decodeMs = MedianMs(runs, [&] { decoded = DecodeJpegFile(PathOf(path)); });
    if (!decoded.Ok()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), decoded.Reason().c_str());
        return 1;
    }
    const TRasterView view = decoded->View();
    auto hist = std::make_unique<THist>();
    std::printf("\n%s: %d x %d, median of %d runs\n\n", qPrintable(QFileInfo(path).fileName()),
                view.Width, view.Height, runs);
    std::printf("| %-34s | %10s | %8s |\n", "step", "ms", "/ decode");
    std::printf("|%s|%s|%s|\n", std::string(36, '-').c_str(), std::string(12, '-').c_str(),
                std::string(10, '-').c_str());
    Row("decode (JPEG)", decodeMs, decodeMs);
    Row("decode + primaries while decoding", MedianMs(runs, [&] { DecodeAndCount(PathOf(path)); }),
        decodeMs);
    Row("primaries (R, G, B)", MedianMs(runs, [&] { CountPrimaries(view); }), decodeMs);
    TSampleStats hsvStats, labStats;
    Row("HSV sampled",
        MedianMs(runs,
                 [&] {
                     TModelCounts c;
                     hsvStats = AccumModel(c, TSampledModel::HSV, view);
                 }),
        decodeMs);
    Row("L*a*b* sampled",
        MedianMs(runs,
                 [&] {
                     TModelCounts c;
                     labStats = AccumModel(c, TSampledModel::Lab, view);
                 }),
        decodeMs);
    Row("Calc", MedianMs(runs, [&] { hist->Calc(Origin, view); }), decodeMs);
    // What is left once the rows were counted while decoding: the finer sample levels, if
    // the coarse ones did not settle the shape, and the folding of the counts.
    const TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(path));
    const TRasterView loadedView = loaded->Image.View();
    Row("CalcCounted after decode + count",
        MedianMs(runs, [&] { hist->CalcCounted(Origin, loadedView, loaded->Primaries); }),
        decodeMs);
    // The tools' way: the ten channels without ever holding the picture, against the same
    // made from the whole picture as the window makes them.
    Row("decode + count, picture held",
        MedianMs(runs,
                 [&] {
                     const TOutcome<TLoadedImage> held = DecodeAndCount(PathOf(path));
                     hist->CalcCounted(Origin, held->Image.View(), held->Primaries);
                 }),
        decodeMs);
    int passes = 0;
    Row("decode + count, streamed in bands",
        MedianMs(runs,
                 [&] {
                     const TOutcome<TStreamedCounts> streamed = StreamAndCount(PathOf(path));
                     hist->CalcStreamed(Origin, *streamed);
                     passes = streamed->Passes();
                 }),
        decodeMs);
    // A region is decoded whole but counted alone: the middle quarter of the picture.
    const TRegion middle{view.Width / 4, view.Height / 4, view.Width / 2, view.Height / 2};
    Row("the same, the middle quarter as a region",
        MedianMs(runs,
                 [&] {
                     const TOutcome<TStreamedCounts> streamed =
                         StreamAndCount(PathOf(path), middle);
                     hist->CalcStreamed(Origin, *streamed);
                 }),
        decodeMs);
    for (int level : {0, 2, 3}) {
        hist->SmoothRepeatCnt = SmoothLevels[level].RepCnt;
        const std::string name = std::string("Calc4Show, smoothing ") + SmoothLevels[level].Lbl;
        Row(name.c_str(), MedianMs(runs * 20, [&] { hist->Calc4Show(Origin, Origin4Show); }),
            decodeMs);
    }
    TRasterSurfaces surfaces(233, 39, TRgb{240, 240, 240});
    Row("Show into ten 233 x 39", MedianMs(runs * 20, [&] { hist->Show(Origin4Show, surfaces); }),
        decodeMs);
    Row("the same on the log axis",
        MedianMs(runs * 20,
                 [&] {
                     for (TChannel c : AllChannels) {
                         surfaces.Target(c).Clear();
                         DrawChannel(surfaces.Target(c), hist->Data[Origin4Show][c], BarColour(c),
                                     TCountScale::Log);
                     }
                 }),
        decodeMs);
    // The overlay is made on a worker from the stored picture, for a view copy of 2560 px.
    const QImage stored = ToQImage(std::move(decoded).Value());
    Row("clipping overlay for 2560 px",
        MedianMs(runs, [&] { ClippingOverlay(RasterOf(stored), 2560, {}); }), decodeMs);
    std::printf(
        "\nHSV: coarse level %d, converged at %d; L*a*b*: coarse level %d, converged at %d\n",
        hsvStats.CoarseLevel, hsvStats.ConvergedLevel, labStats.CoarseLevel,
        labStats.ConvergedLevel);
    std::printf("Streamed in %d pass%s over the file\n", passes, passes == 1 ? "" : "es");
    return 0;
}
