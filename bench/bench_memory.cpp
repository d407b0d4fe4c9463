// The peak memory of the window opening a picture, each measured in a fresh child process
// (its VmHWM), so that one measurement's peak does not hide the next: a run-length coded BMP
// of under a kilobyte and a small JPEG that both declare 20000 x 20000 pixels, a 24-megapixel
// photo, and stepping through a folder of six of the BMPs. Each row gives the peak and the
// growth over the window at rest before the open, both as a ratio to the pixels' bytes
// (width x height x 3); a picture refused before it is decoded says so. Opening should hold
// at most 1.3 x the pixels + 200 MB.
//
//   bench_memory
//
// Linux only (it reads /proc/self/status). The settings go to a temporary folder.
#include "app_core.h"
#include "main_window.h"
#include "memory_room.h"
#include "neighbour_preparer.h"

#include "declared_huge.h"
#include "photo_like.h"
#include "window_bench.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace tonalyx;
using namespace tonalyx::bench;

namespace {

// VmHWM of this process, in bytes: the most it has held at once.
double PeakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stod(line.substr(6)) * 1024.0;
    return 0;
}

// The child: opens path in a window and steps `steps` times to the next picture; prints the
// peak at rest, the peak after, and whether every picture was shown.
int Child(const QString& path, int steps) {
    TAppCore core;
    TfrmMain window(core, {});
    StartWindow(window);
    const double idle = PeakBytes();
    window.LoadImageFile(path);
    WaitOpened(window);
    window.repaint();
    bool shown = core.Files->sCurrFile == path;
    for (int i = 0; i < steps && shown; ++i) {
        Settle(*window.Preparer());
        const QString before = core.Files->sCurrFile;
        window.ShowNeighbor(TNeighbor::nNext);
        WaitOpened(window);
        window.repaint();
        shown = core.Files->sCurrFile != before;
    }
    std::printf("%.0f %.0f %d\n", idle, PeakBytes(), shown ? 1 : 0);
    window.close();
    return 0;
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Bytes(const std::vector<std::uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

struct TCase {
    const char* What;
    QString Path;
    double PixelBytes;
    int Steps = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && std::string(argv[1]) == "--child") {
        TOffscreenApplication app(argc, argv);
        return Child(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3]));
    }
    const TOffscreenEnvironment environment; // the children's too
    QCoreApplication app(argc, argv);

    QTemporaryDir files;
    const auto folder = [&](const QString& name) {
        QDir(files.path()).mkdir(name);
        return QDir(files.path()).filePath(name);
    };
    // Each picture alone in its folder, so that no neighbour is prepared beside it.
    const QString bmp = folder("bmp") + "/huge.bmp";
    const QString jpeg = folder("jpeg") + "/huge.jpg";
    const QString photo = folder("photo") + "/IMG_0001.jpg";
    const QString progressive = folder("progressive") + "/huge.jpg";
    const QString photoSmall = folder("small") + "/small.jpg";
    const QString progressiveSmall = folder("small") + "/progressive.jpg";
    std::printf("Generating the pictures ...\n");
    const QByteArray rle = Bytes(test::DeclaredHugeRleBmp(20000, 20000));
    bool written = Write(bmp, rle) && WriteJpeg(PhotoLike(6000, 4000), photo, false) &&
                   WriteJpeg(PhotoLike(600, 400), photoSmall, false) &&
                   WriteJpeg(PhotoLike(600, 400), progressiveSmall, true);
    // The small JPEGs with their frame headers made to declare 20000 x 20000.
    for (const auto& [from, to] : {std::pair{photoSmall, jpeg}, {progressiveSmall, progressive}}) {
        QFile small(from);
        written = written && small.open(QIODevice::ReadOnly);
        const QByteArray bytes = small.readAll();
        const QByteArray huge = Bytes(test::WithDeclaredSize(
            std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 20000, 20000));
        written = written && !huge.isEmpty() && Write(to, huge);
    }
    const QString steps = folder("steps");
    for (int i = 1; i <= 6 && written; ++i)
        written = Write(steps + QString::asprintf("/H%d.bmp", i), rle);
    if (!written) {
        std::fprintf(stderr, "cannot write the pictures in %s\n", qPrintable(files.path()));
        return 1;
    }

    const double hugePixels = 20000.0 * 20000.0 * 3;
    const std::vector<TCase> cases{
        {"RLE BMP, 20000 x 20000 declared", bmp, hugePixels},
        {"JPEG, 20000 x 20000 declared", jpeg, hugePixels},
        {"progressive JPEG, the same", progressive, hugePixels},
        {"JPEG photo, 6000 x 4000", photo, 6000.0 * 4000.0 * 3},
        {"six such BMPs, stepped through", steps + "/H1.bmp", hugePixels, 5},
    };
    const double cacheBound = static_cast<double>(TCache().MaxBytes());
    std::printf("\nPeak memory of the window (VmHWM of a child each), off-screen, window 1500 x "
                "900; %.1f GB of memory left, cache bound %.1f GB\n\n",
                static_cast<double>(MemoryLeftBytes()) / 1e9, cacheBound / 1e9);
    std::printf("| %-34s | %7s | %7s | %8s | %7s | %10s | %9s |\n", "picture", "size KB", "peak MB",
                "/ pixels", "+ MB", "+ / pixels", "bound MB");
    std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(36, '-').c_str(),
                std::string(9, '-').c_str(), std::string(9, '-').c_str(),
                std::string(10, '-').c_str(), std::string(9, '-').c_str(),
                std::string(12, '-').c_str(), std::string(11, '-').c_str());
    for (const TCase& c : cases) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {"--child", c.Path, QString::number(c.Steps)});
        if (!child.waitForFinished(-1) || child.exitCode() != 0) {
            std::fprintf(stderr, "the child for %s failed: %s\n", c.What,
                         child.readAllStandardError().constData());
            return 1;
        }
        double idle = 0, peak = 0;
        int shown = 0;
        const QByteArray out = child.readAllStandardOutput().trimmed();
        if (std::sscanf(out.split('\n').last().constData(), "%lf %lf %d", &idle, &peak, &shown) !=
            3) {
            std::fprintf(stderr, "the child for %s said: %s\n", c.What, out.constData());
            return 1;
        }
        const double grew = peak - idle;
        // What the peak should stay under: one picture at 1.3 x its pixels and 200 MB; when
        // stepping, the cache's bound (which counts the neighbours) and the 200 MB.
        const double bound = c.Steps == 0 ? 1.3 * c.PixelBytes + 200e6 : cacheBound + 200e6;
        std::printf("| %-34s | %7.1f | %7.0f | %8.2f | %7.0f | %10s | %9.0f |\n", c.What,
                    static_cast<double>(QFileInfo(c.Path).size()) / 1e3, peak / 1e6,
                    peak / c.PixelBytes, grew / 1e6,
                    shown ? qPrintable(QString::number(grew / c.PixelBytes, 'f', 2)) : "refused",
                    bound / 1e6);
    }
    return 0;
}
