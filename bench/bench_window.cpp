// Median timings of the window, off-screen, on a 24-megapixel photo and a folder of copies
// of it: the view's copy (reduced, turned upright, converted from Adobe RGB), opening,
// stepping to an unprepared and to a prepared neighbour, revisiting from the cache,
// switching smoothing, moving the splitter, counting a region dragged on the picture and
// going back to the whole picture. Each step ends with the picture taken in
// from the worker and the window repainted, so it includes drawing the picture and the
// ten histograms. Every row is also given as a ratio to the decode time of the same image in
// the same run. The "longest pause" rows are the largest gap between two ticks of a 5 ms
// timer on the main thread while a 24- and a 100-megapixel picture open (median over the
// runs), and while the whole 24-megapixel picture is counted as a region: how long the
// window may have stopped answering.
//
//   bench_window [--runs N] [--formats]
//
// With --formats it also opens the photo written as 16-bit PNG, 16-bit TIFF, WebP, HEIC and
// JPEG XL by the formats' own tools, each against its reference decoder writing it out.
//
// The settings go to a temporary folder, never to the user's own.
#include "app_core.h"
#include "commands.h"
#include "decoder.h"
#include "display_copy.h"
#include "image_view.h"
#include "main_window.h"
#include "neighbour_preparer.h"
#include "qt_raster.h"
#include "reduced_copy.h"
#include "region_choice.h"

#include "colour_fixture.h"
#include "photo_like.h"
#include "window_bench.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::bench;

namespace {

// Runs a tool to its end; false when it is missing or fails.
bool RunTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(300'000) && tool.exitStatus() == QProcess::NormalExit &&
           tool.exitCode() == 0;
}

void Row(const char* what, double ms, double decodeMs) {
    std::printf("| %-40s | %8.1f | %8.2f |\n", what, ms, ms / decodeMs);
}

// Runs the event loop, sleeping between events, until the region's count is shown.
void WaitCounted(const TRegionChoice& region) {
    while (region.Counting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The largest gap between two ticks of a 5 ms timer on the main thread while work runs
// (it starts an open and waits for it) and the window repaints.
double LongestPause(const std::function<void()>& work) {
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    ticks.start(5);
    clock.start();
    work();
    const qint64 now = clock.nsecsElapsed();
    return static_cast<double>(std::max(longest, now - last)) / 1e6;
}

// One format: how its tool writes the photo, and its reference decoder writing it out (the
// file's path is appended to each).
struct TFormatCase {
    const char* Name;
    QString Extension;
    QString Maker;
    QStringList MakerArguments; // the source photo and the file follow
    QString Reference;
    QStringList ReferenceArguments; // the file, then the output, follow
};

// The photo in each other format, each run's copy alone in a folder of its own (neither
// cached nor prepared), opened against its reference decoder of the same run.
void OpenOtherFormats(TfrmMain& window, TNeighbourPreparer& preparer, const QString& photo,
                      int runs) {
    QTemporaryDir work;
    const QString png8 = QDir(work.path()).filePath("source.png");
    if (!RunTool("/usr/bin/convert", {photo, png8})) {
        std::printf("\n(no formats: ImageMagick's convert is missing)\n");
        return;
    }
    const TFormatCase cases[] = {
        {"PNG 16-bit", "png", "/usr/bin/convert", {"-depth", "16"}, "pngtopnm", {}},
        {"TIFF 16-bit LZW",
         "tif",
         "/usr/bin/convert",
         {"-depth", "16", "-compress", "LZW"},
         "tifftopnm",
         {}},
        {"WebP lossy", "webp", "cwebp", {"-quiet", "-q", "90"}, "dwebp", {"-quiet", "-ppm"}},
        {"HEIC", "heic", "heif-enc", {"-q", "90"}, "heif-convert", {}},
        {"JPEG XL", "jxl", "cjxl", {}, "djxl", {}},
    };
    std::printf("\nThe photo in other formats: first open against the format's reference "
                "decoder writing it out, median of %d runs\n\n",
                runs);
    std::printf("| %-24s | %14s | %8s | %8s | %8s |\n", "format", "reference", "ms", "open ms",
                "/ ref");
    std::printf("|---|---|---:|---:|---:|\n");
    for (const TFormatCase& c : cases) {
        const QString file = QDir(work.path()).filePath("photo." + c.Extension);
        QStringList make = c.MakerArguments;
        if (c.Maker == "cwebp")
            make << png8 << "-o" << file;
        else if (c.Maker == "heif-enc")
            make << photo << "-o" << file;
        else if (c.Maker == "cjxl")
            make << png8 << file;
        else
            make << photo << file;
        if (!RunTool(c.Maker, make)) {
            std::printf("| %-24s | %14s | (not made) | | |\n", c.Name, qPrintable(c.Reference));
            continue;
        }
        const QString out =
            QDir(work.path())
                .filePath(c.Reference == "heif-convert" ? QStringLiteral("out.y4m")
                                                        : QStringLiteral("out.ppm"));
        std::vector<double> reference, open;
        for (int r = 0; r < runs; ++r) {
            const QString sub = QStringLiteral("%1-%2").arg(c.Extension).arg(r);
            QDir(work.path()).mkdir(sub);
            const QString copy = QDir(work.path()).filePath(sub + "/IMG." + c.Extension);
            std::error_code error;
            std::filesystem::create_hard_link(PathOf(file), PathOf(copy), error);
            if (error && !QFile::copy(file, copy))
                return;
            QStringList decodeArgs = c.ReferenceArguments;
            if (c.Reference == "pngtopnm" || c.Reference == "tifftopnm") {
                reference.push_back(Ms([&] {
                    QProcess tool;
                    tool.setStandardOutputFile(out);
                    tool.start(c.Reference, decodeArgs << file);
                    tool.waitForFinished(300'000);
                }));
            } else {
                decodeArgs << file;
                if (c.Reference == "dwebp")
                    decodeArgs << "-o";
                decodeArgs << out;
                reference.push_back(Ms([&] { RunTool(c.Reference, decodeArgs); }));
            }
            Settle(preparer);
            open.push_back(Ms([&] {
                window.LoadImageFile(copy);
                WaitOpened(window);
                window.repaint();
            }));
        }
        const double ref = Median(reference), opened = Median(open);
        std::printf("| %-24s | %14s | %8.1f | %8.1f | %8.2f |\n", c.Name, qPrintable(c.Reference),
                    ref, opened, opened / ref);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    TOffscreenApplication app(argc, argv);
    int runs = 7;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i)
        if (args[i] == "--runs")
            runs = std::max(1, args[++i].toInt());

    QTemporaryDir folder;
    std::printf("Generating a 6000 x 4000 photo-like JPEG and a folder of %d copies ...\n",
                4 * runs + 2);
    const QString first = QDir(folder.path()).filePath("IMG_0000.jpg");
    const QImage photo = PhotoLike(6000, 4000);
    if (!WriteJpeg(photo, first, false)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(first));
        return 1;
    }
    // 100 megapixels: the photo mirrored into a 2 x 2 tiling. For the pauses, each run
    // opens a copy of either picture that is alone in its folder, so that it is neither
    // cached nor prepared, and has no neighbours to prepare.
    QTemporaryDir large;
    const QString huge = QDir(large.path()).filePath("IMG_LARGE.jpg");
    {
        QImage tiled(12000, 8334, QImage::Format_BGR888);
        for (int y = 0; y < tiled.height(); ++y) {
            const int sy = y < 4000 ? y : y < 8000 ? 7999 - y : y - 8000;
            const uchar* src = photo.constScanLine(sy);
            uchar* dst = tiled.scanLine(y);
            for (int x = 0; x < 12000; ++x) {
                const int sx = x < 6000 ? x : 11999 - x;
                std::copy(src + 3 * sx, src + 3 * sx + 3, dst + 3 * x);
            }
        }
        if (!WriteJpeg(tiled, huge, false)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(huge));
            return 1;
        }
    }
    // The same photo as a progressive JPEG, whose rows all come in its last scan's pass.
    const QString progressive = QDir(large.path()).filePath("IMG_PROGRESSIVE.jpg");
    if (!WriteJpeg(photo, progressive, true)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(progressive));
        return 1;
    }
    std::vector<QString> alone24, alone100, aloneProgressive;
    for (int r = 0; r < runs; ++r)
        for (const auto& [source, list] : {std::pair{first, &alone24}, std::pair{huge, &alone100},
                                           std::pair{progressive, &aloneProgressive}}) {
            const QString sub = QStringLiteral("%1-%2")
                                    .arg(list == &alone24    ? QStringLiteral("24")
                                         : list == &alone100 ? QStringLiteral("100")
                                                             : QStringLiteral("progressive"))
                                    .arg(r);
            QDir(large.path()).mkdir(sub);
            const QString copy = QDir(large.path()).filePath(sub + "/IMG.jpg");
            std::error_code error;
            std::filesystem::create_hard_link(PathOf(source), PathOf(copy), error);
            if (error && !QFile::copy(source, copy)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(copy));
                return 1;
            }
            list->push_back(copy);
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
    // The reference, decoded in each run beside the steps it is compared with, so that a
    // machine busy with other work slows both alike; the view's copy as an open makes it
    // once the picture is decoded (on the worker, beside the open's other steps).
    std::vector<double> decode, reduce, turn, convert;
    const auto reference = [&] {
        TDecodeResult decoded = TDecodeResult::Failure("not decoded");
        decode.push_back(Ms([&] { decoded = DecodeJpegFile(PathOf(first)); }));
        const QImage image = ToQImage(decoded.Ok() ? std::move(decoded).Value() : TRaster());
        reduce.push_back(Ms([&] { TRowReducer::Reduce(RasterOf(image), 2560); }));
        turn.push_back(Ms([&] { upright.Apply(TRowReducer::Reduce(RasterOf(image), 2560)); }));
        convert.push_back(Ms([&] { adobe.Apply(TRowReducer::Reduce(RasterOf(image), 2560)); }));
    };

    TAppCore core;
    core.Cache = std::make_unique<TCache>(std::int64_t{1} << 30); // room for a run's pictures
    TfrmMain window(core, {});
    StartWindow(window);
    TNeighbourPreparer& preparer = *window.Preparer();
    const auto shown = [&window](const std::function<void()>& step) {
        return Ms([&] {
            step();
            window.repaint();
        });
    };

    std::vector<double> open, unprepared, prepared, revisit, smoothing, splitter, pause24, pause100,
        idle, quarter, whole, pauseRegion, decodeProgressive, openProgressive;
    TRegionChoice& region = *window.RegionChoice();
    // A drag over the picture between two shares of its width and height.
    const auto dragOver = [&window, &region](double from, double to) {
        const QRectF pic(window.MainImage()->PictureRect());
        region.SelectInView(pic.topLeft() + QPointF(from * pic.width(), from * pic.height()),
                            pic.topLeft() + QPointF(to * pic.width(), to * pic.height()));
        WaitCounted(region);
    };
    QSplitter* spl = window.Splitter();
    for (int r = 0; r < runs; ++r) {
        const int k = 4 * r + 1; // files[k - 1] and files[k + 3] are only neighbours' neighbours
        Settle(preparer);
        reference();
        open.push_back(shown([&] {
            window.LoadImageFile(files[k]);
            WaitOpened(window);
        }));
        Settle(preparer); // files[k + 1] prepared
        prepared.push_back(shown([&] {
            window.ShowNeighbor(TNeighbor::nNext);
            WaitOpened(window);
        }));
        Settle(preparer);
        preparer.Want({}, 0); // as without preparation
        unprepared.push_back(shown([&] {
            window.ShowNeighbor(TNeighbor::nNext);
            WaitOpened(window);
        }));
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
        Settle(preparer);
        quarter.push_back(shown([&] { dragOver(0.25, 0.75); }));
        whole.push_back(shown([&] { region.WholePicture(); }));
    }
    // The pauses, each open started from a window at rest.
    for (int r = 0; r < runs; ++r)
        for (auto [alone, pauses] :
             {std::pair{&alone24, &pause24}, std::pair{&alone100, &pause100}}) {
            Settle(preparer);
            pauses->push_back(LongestPause([&, path = (*alone)[r]] {
                window.LoadImageFile(path);
                WaitOpened(window);
                window.repaint();
            }));
        }
    for (int r = 0; r < runs; ++r) {
        Settle(preparer);
        pauseRegion.push_back(LongestPause([&] {
            dragOver(0, 1);
            window.repaint();
        }));
        region.WholePicture();
    }
    // A 100 MP picture named on the command line: the window starts while it decodes,
    // timed from the window's first paint until the picture is shown.
    std::vector<double> pauseNamed;
    for (int r = 0; r < runs; ++r) {
        Settle(preparer);
        TAppCore started;
        started.Cache = std::make_unique<TCache>(std::int64_t{1} << 30);
        TfrmMain named(started, {alone100[static_cast<std::size_t>(r)]});
        named.showNormal();
        named.resize(1500, 900);
        QCoreApplication::processEvents();
        pauseNamed.push_back(LongestPause([&named] {
            while (!named.StartUpDone())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            named.repaint();
        }));
        named.close();
    }
    // A progressive picture, alone in its folder, against its own decode.
    for (int r = 0; r < runs; ++r) {
        Settle(preparer);
        decodeProgressive.push_back(Ms([&] { (void)DecodeJpegFile(PathOf(progressive)); }));
        Settle(preparer);
        openProgressive.push_back(shown([&] {
            window.LoadImageFile(aloneProgressive[static_cast<std::size_t>(r)]);
            WaitOpened(window);
        }));
    }
    // The same timer with nothing to do: what the machine itself costs the window (other
    // programs taking the cores), below which no pause can go.
    for (int r = 0; r < runs; ++r)
        idle.push_back(LongestPause([] {
            QEventLoop rest;
            QTimer::singleShot(300, &rest, &QEventLoop::quit);
            rest.exec();
        }));

    const double decodeMs = Median(decode);
    std::printf("\n6000 x 4000 baseline JPEG (100 MP: 12000 x 8334), window 1500 x 900, median of "
                "%d runs\n\n",
                runs);
    std::printf("| %-40s | %8s | %8s |\n", "step", "ms", "/ decode");
    std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(10, '-').c_str(),
                std::string(10, '-').c_str());
    Row("decode (JPEG, reference)", decodeMs, decodeMs);
    Row("reduced copy for the view (one thread)", Median(reduce), decodeMs);
    Row("the same, turned upright", Median(turn), decodeMs);
    Row("the same, turned, Adobe RGB to sRGB", Median(convert), decodeMs);
    Row("first open", Median(open), decodeMs);
    Row("step to an unprepared neighbour", Median(unprepared), decodeMs);
    Row("step to a prepared neighbour", Median(prepared), decodeMs);
    Row("revisit from the cache", Median(revisit), decodeMs);
    Row("smoothing off and on (each)", Median(smoothing), decodeMs);
    Row("splitter move (layout, ten histograms)", Median(splitter), decodeMs);
    Row("region of a quarter, dragged and counted", Median(quarter), decodeMs);
    Row("region left for the whole picture", Median(whole), decodeMs);
    Row("longest pause, 24 MP open", Median(pause24), decodeMs);
    Row("longest pause, 100 MP open", Median(pause100), decodeMs);
    Row("longest pause, 100 MP, command line", Median(pauseNamed), decodeMs);
    Row("longest pause, 24 MP counted as a region", Median(pauseRegion), decodeMs);
    Row("timer's longest gap, nothing opening", Median(idle), decodeMs);
    const double progressiveMs = Median(decodeProgressive);
    Row("decode (progressive JPEG, its reference)", progressiveMs, progressiveMs);
    Row("first open, progressive", Median(openProgressive), progressiveMs);
    if (args.contains("--formats"))
        OpenOtherFormats(window, preparer, first, runs);
    window.close();
    return 0;
}
