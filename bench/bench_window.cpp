// Median timings of the window, off-screen, on a 24-megapixel photo and a folder of copies
// of it: the view's copy (reduced, turned upright, converted from Adobe RGB), opening,
// stepping to an unprepared and to a prepared neighbour, revisiting from the cache,
// switching smoothing, and moving the splitter. Each step ends with the window
// repainted, so it includes drawing the picture and the ten histograms. Every row is also
// given as a ratio to the decode time of the same image in the same run.
//
//   bench_window [--runs N]
//
// The settings go to a temporary folder, never to the user's own.
#include "app_core.h"
#include "app_inform.h"
#include "commands.h"
#include "decoder.h"
#include "display_copy.h"
#include "http_client.h"
#include "image_view.h"
#include "main_window.h"
#include "neighbour_preparer.h"
#include "qt_raster.h"
#include "reduced_copy.h"

#include "colour_fixture.h"
#include "photo_like.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSplitter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

double Ms(const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

void Row(const char* what, double ms, double decodeMs) {
    std::printf("| %-40s | %8.1f | %8.2f |\n", what, ms, ms / decodeMs);
}

// Lets queued work run until every held neighbour is prepared, so that the next step is
// timed on a quiet worker.
void Settle(TNeighbourPreparer& preparer) {
    for (;;) {
        QCoreApplication::processEvents();
        const QStringList held = preparer.Held();
        if (std::all_of(held.begin(), held.end(),
                        [&](const QString& p) { return preparer.IsPrepared(p); }))
            break;
        QThread::msleep(2);
    }
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char* argv[]) {
    // Before the application object: off-screen, no server, settings of its own.
    QTemporaryDir config;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tonalyx"));
    InitHttp();
    InitFeedParser();
    int runs = 7;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--runs")
            runs = std::max(1, args[++i].toInt());

    QTemporaryDir folder;
    std::printf("Generating a 6000 x 4000 photo-like JPEG and a folder of %d copies ...\n",
                4 * runs + 2);
    const QString first = QDir(folder.path()).filePath("IMG_0000.jpg");
    if (!WriteJpeg(PhotoLike(6000, 4000), first, false)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(first));
        return 1;
    }
    std::vector<QString> files{first};
    for (int i = 1; i < 4 * runs + 2; ++i) {
        const QString copy = QDir(folder.path()).filePath(QString::asprintf("IMG_%04d.jpg", i));
        std::error_code error; // same pixels under another name; a copy where links fail
        std::filesystem::create_hard_link(PathOf(first), PathOf(copy), error);
        if (error && !QFile::copy(first, copy)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(copy));
            return 1;
        }
        files.push_back(copy);
    }

    TPictureMeta portrait;
    portrait.Orientation = 6;
    const TDisplayForm upright(portrait, first);
    portrait.IccProfile = test::RgbProfile(test::AdobeRgbSpace, "Adobe RGB (1998)");
    const TDisplayForm adobe(portrait, first);
    std::vector<double> decode, reduce, turn, convert;
    for (int i = 0; i < runs; ++i) {
        TDecodeResult decoded = TDecodeResult::Failure("not decoded");
        decode.push_back(Ms([&] { decoded = DecodeJpegFile(PathOf(first)); }));
        const QImage image = ToQImage(decoded.Ok() ? std::move(decoded).Value() : TRaster());
        reduce.push_back(Ms([&] { ReducedCopy(image, 2560); }));
        turn.push_back(Ms([&] { DisplayCopy(image, 2560, upright); }));
        convert.push_back(Ms([&] { DisplayCopy(image, 2560, adobe); }));
    }
    const double decodeMs = Median(decode);

    TAppCore core;
    core.Cache = std::make_unique<TCache>(std::int64_t{1} << 30); // room for a run's pictures
    TfrmMain window(core, {});
    window.showNormal();
    window.resize(1500, 900);
    while (!window.StartUpDone())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    TNeighbourPreparer& preparer = *window.Preparer();
    const auto shown = [&window](const std::function<void()>& step) {
        return Ms([&] {
            step();
            window.repaint();
        });
    };

    std::vector<double> open, unprepared, prepared, revisit, smoothing, splitter;
    QSplitter* spl = window.Splitter();
    for (int r = 0; r < runs; ++r) {
        const int k = 4 * r + 1; // files[k - 1] and files[k + 3] are only neighbours' neighbours
        Settle(preparer);
        open.push_back(shown([&] { window.LoadImageFile(files[k]); }));
        Settle(preparer); // files[k + 1] prepared
        prepared.push_back(shown([&] { window.ShowNeighbor(TNeighbor::nNext); }));
        Settle(preparer);
        preparer.Want({}, 0); // as without preparation
        unprepared.push_back(shown([&] { window.ShowNeighbor(TNeighbor::nNext); }));
        Settle(preparer);
        revisit.push_back(shown([&] { window.ShowNeighbor(TNeighbor::nPrev); }));
        Settle(preparer);
        for (int i = 0; i < 2; ++i)
            smoothing.push_back(
                shown([&] { window.Commands()[TCommandId::acSmoothingOn]->trigger(); }));
        const QList<int> sizes = spl->sizes();
        for (int dx : {-60, 60})
            splitter.push_back(shown([&] {
                spl->setSizes({spl->sizes()[0] + dx, spl->sizes()[1] - dx});
            }));
        spl->setSizes(sizes);
    }

    std::printf("\n6000 x 4000 baseline JPEG, window 1500 x 900, median of %d runs\n\n", runs);
    std::printf("| %-40s | %8s | %8s |\n", "step", "ms", "/ decode");
    std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(10, '-').c_str(),
                std::string(10, '-').c_str());
    Row("decode (JPEG, reference)", decodeMs, decodeMs);
    Row("reduced copy for the view (2560 pixels)", Median(reduce), decodeMs);
    Row("the same, turned upright", Median(turn), decodeMs);
    Row("the same, turned, Adobe RGB to sRGB", Median(convert), decodeMs);
    Row("first open", Median(open), decodeMs);
    Row("step to an unprepared neighbour", Median(unprepared), decodeMs);
    Row("step to a prepared neighbour", Median(prepared), decodeMs);
    Row("revisit from the cache", Median(revisit), decodeMs);
    Row("smoothing off and on (each)", Median(smoothing), decodeMs);
    Row("splitter move (layout, ten histograms)", Median(splitter), decodeMs);
    window.close();
    return 0;
}
