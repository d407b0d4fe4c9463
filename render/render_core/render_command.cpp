#include "render_command.h"

#include "byte_source.h"
#include "counting_room.h"
#include "current_hist.h"
#include "hist_export.h"
#include "hist_painter.h"
#include "hist_scene.h"
#include "image_format.h"
#include "input_file.h"
#include "joined_thread.h"
#include "open_reasons.h"
#include "paths.h"
#include "qt_raster.h"
#include "save_copy.h"
#include "sensor_count.h"
#include "streamed_count.h"
#include "ufiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

namespace tonalyx {

namespace {

// The help around the formats' names, which are the table's (image_format.h).
const char* const HelpHead = "Usage: tonalyx-render [OPTIONS] IMAGE...\n"
                             "\n"
                             "Writes the histogram panel of each ";
const char* const HelpTail =
    " image as a PNG file, the same picture\n"
    "that Save Histogram writes in the window for a panel of that size. The file is named\n"
    "as Save proposes it: photo.jpg gives photo_histogram.png.\n"
    "\n"
    "Options:\n"
    "  --size WxH              the panel's size in pixels (default 243x459; at least\n"
    "                          20x150, at most 8192 either way)\n"
    "  --models rgb,hsv,lab    the colour models shown, in any order (default all three);\n"
    "                          raw adds the histogram of a camera raw file's sensor\n"
    "  --smoothing on|off      smoothing of the curves (default on)\n"
    "  --scale linear|log      the bars' heights in proportion to the counts or to their\n"
    "                          logarithms (default linear)\n"
    "  --region X,Y,W,H        count only the W x H pixels whose top left pixel is at X,Y\n"
    "                          of the stored picture (before any Exif turn), as a picture\n"
    "                          of its own; an image it does not lie within fails\n"
    "  --output DIR            the folder written to (default the current folder)\n"
    "  --force                 replace files that exist (by default they are left alone)\n"
    "  --help, -h              this text\n"
    "  --version               the version of the program\n"
    "\n"
    "Prints the path of each file written. Images that cannot be read are reported on\n"
    "standard error; the others are still written, and the exit status is 1. Usage errors\n"
    "and an output folder that cannot be written give exit status 2.\n";

std::string HelpText() {
    return HelpHead + ImageFormatNames(" or ") + HelpTail;
}

constexpr int MinWidth = 20, MinHeight = 150; // below this the layout draws nothing
// The window's panel is never larger than its screen in logical pixels, at which Save draws
// it: MaxRenderSide holds a panel filling an 8K screen (7680 × 4320) with room to spare, and
// keeps the drawing under a gigabyte (PanelDrawingBytes), admitted against the memory left.
static_assert(MaxRenderSide >= 7680);

bool Fail(std::FILE* err, int& exitStatus, const QString& why) {
    std::fprintf(err, "tonalyx-render: %s\n\n%s", why.toLocal8Bit().constData(),
                 HelpText().c_str());
    exitStatus = 2;
    return false;
}

// One image counted on a worker thread: only the histograms; the picture is never held whole.
struct TCounted {
    std::optional<TCurrentHist> Hist;
    // The sensor's histogram of a camera raw file, when the Raw group is drawn.
    std::shared_ptr<const TSensorHistogram> Sensor;
    QString Error;
};

// Worker thread: decodes and counts in the room it is admitted to; the drawing stays on the
// main thread.
void CountInto(TCounted& result, const QString& path, bool smoothing,
               const std::optional<TRegion>& region, bool sensor, TCountingRoom& room) {
    TRoomShare share(room); // given back once the decode is over
    TPictureMeta meta;
    const TOutcome<TStreamedCounts> counted =
        region ? StreamAndCount(PathOf(path), *region, &meta, nullptr, share.Admission())
               : StreamAndCount(PathOf(path), &meta, share.Admission());
    if (!counted.Ok()) {
        result.Error = QString::fromStdString(counted.Reason());
        return;
    }
    result.Hist.emplace(SmoothLevelOfSwitch(smoothing));
    result.Hist->Count(*counted);
    if (sensor && meta.Rendition != TRawRendition::None) {
        // A raw file whose sensor cannot be counted is drawn without the Raw group.
        TInputFile input(PathOf(path));
        TFileBytes bytes(input);
        if (!input.IsOpen())
            return;
        if (TOutcome<TSensorHistogram> s = CountSensor(bytes); s.Ok())
            result.Sensor = std::make_shared<const TSensorHistogram>(std::move(s).Value());
    }
}

TCounted CountImage(const QString& path, bool smoothing, std::optional<TRegion> region, bool sensor,
                    TCountingRoom& room) noexcept {
    TCounted result;
    try {
        CountInto(result, path, smoothing, region, sensor, room);
    } catch (const std::exception& e) { // memory or threads running out: this image fails
        result.Hist.reset();
        result.Error = QString::fromLocal8Bit(e.what());
    }
    return result;
}

// One image counted ahead on a thread of its own, or on the main thread once it is due when
// no thread could be had.
class TCountAhead {
  public:
    TCountAhead(QString path, const TRenderOptions& options, TCountingRoom& room)
        : FPath(std::move(path)), FSmoothing(options.Smoothing), FRegion(options.Region),
          FSensor(options.Raw), FRoom(room) {
        try {
            FThread.Start(
                [this] { FResult = CountImage(FPath, FSmoothing, FRegion, FSensor, FRoom); });
        } catch (const std::system_error&) { // counted by Take
        }
    }

    // Main thread, once: the image's counts.
    TCounted Take() {
        if (FThread.Running())
            FThread.Join(); // CountImage throws nothing
        else
            FResult = CountImage(FPath, FSmoothing, FRegion, FSensor, FRoom);
        return std::move(FResult);
    }

  private:
    const QString FPath;
    const bool FSmoothing;
    const std::optional<TRegion> FRegion;
    const bool FSensor; // the sensor's histogram of a raw file wanted too
    TCountingRoom& FRoom;
    TCounted FResult;
    TJoinedThread FThread; // last: joined first
};

// The histogram panel of the given size and models, without a widget; main thread only.
class TPanelPicture {
  public:
    explicit TPanelPicture(const TRenderOptions& options) {
        FScene.SetSize(options.Size);
        FScene.ShowModels({options.Rgb, options.Hsv, options.Lab});
        FScene.ShowRaw(options.Raw);
        FScene.SetCountScale(options.Scale);
        FScene.HistHeightCorrect();
    }

    TPngResult Render(TCurrentHist& hist, std::shared_ptr<const TSensorHistogram> sensor) {
        const bool rawWasShown = FScene.RawShown();
        FScene.SetSensor(std::move(sensor));
        if (rawWasShown || FScene.RawShown())
            FScene.HistHeightCorrect();
        hist.Show(FScene);
        const QImage picture = HistPanelImage(FScene);
        if (picture.isNull())
            return TPngResult::Failure(
                QStringLiteral("There is not enough memory to draw a panel of %1 \u00D7 %2 pixels")
                    .arg(FScene.Size().width())
                    .arg(FScene.Size().height())
                    .toStdString());
        return EncodePngImage(picture);
    }

  private:
    THistScene FScene;
};

bool FolderIsWritable(const QString& folder) {
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tonalyx-render-XXXXXX")));
    return probe.open();
}

} // namespace

QSize DefaultRenderSize() {
    return {THistScene::DesignWidth, THistScene::DesignHeight};
}

std::int64_t PanelDrawingBytes(QSize size) {
    // 4 bytes a pixel for the panel, 4 at most for the histograms within it, 3 for the
    // 24-bit copy the PNG is encoded from and 3 for a PNG that compresses nothing.
    return std::int64_t{std::max(size.width(), 0)} * std::max(size.height(), 0) * (4 + 4 + 3 + 3);
}

QString RenderTargetName(const QString& imagePath) {
    return WithPngExtension(AddPostFix(FileBaseName(imagePath), QStringLiteral("_histogram")));
}

bool ParseRenderArguments(const QStringList& args, TRenderOptions& options, int& exitStatus,
                          std::FILE* out, std::FILE* err) {
    options = TRenderOptions{};
    options.Size = DefaultRenderSize();
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(HelpText().c_str(), out);
            exitStatus = 0;
            return false;
        } else if (a == QLatin1String("--version")) {
            std::fputs("tonalyx-render " TONALYX_VERSION "\n", out);
            exitStatus = 0;
            return false;
        } else if (a == QLatin1String("--force")) {
            options.Force = true;
        } else if (a == QLatin1String("--size")) {
            const auto v = value();
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(v.value_or(""));
            if (!m.hasMatch())
                return Fail(err, exitStatus,
                            QStringLiteral("--size takes WIDTHxHEIGHT, e.g. 243x459"));
            options.Size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
            if (options.Size.width() < MinWidth || options.Size.height() < MinHeight)
                return Fail(err, exitStatus,
                            QStringLiteral("the panel must be at least %1 pixels wide and %2 high")
                                .arg(MinWidth)
                                .arg(MinHeight));
            if (options.Size.width() > MaxRenderSide || options.Size.height() > MaxRenderSide)
                return Fail(err, exitStatus,
                            QStringLiteral("the panel must be at most %1 pixels wide and %1 high")
                                .arg(MaxRenderSide));
        } else if (a == QLatin1String("--models")) {
            const auto v = value();
            options.Rgb = options.Hsv = options.Lab = options.Raw = false;
            for (const QString& m : v.value_or("").split(u',', Qt::SkipEmptyParts)) {
                const QString model = m.trimmed().toLower();
                if (model == QLatin1String("rgb"))
                    options.Rgb = true;
                else if (model == QLatin1String("hsv"))
                    options.Hsv = true;
                else if (model == QLatin1String("lab"))
                    options.Lab = true;
                else if (model == QLatin1String("raw"))
                    options.Raw = true;
                else
                    return Fail(err, exitStatus, QStringLiteral("unknown model \"%1\"").arg(m));
            }
            if (!options.Rgb && !options.Hsv && !options.Lab)
                return Fail(err, exitStatus,
                            QStringLiteral("--models needs at least one of rgb, hsv, lab"));
        } else if (a == QLatin1String("--smoothing")) {
            const QString v = value().value_or("");
            if (v != QLatin1String("on") && v != QLatin1String("off"))
                return Fail(err, exitStatus, QStringLiteral("--smoothing takes on or off"));
            options.Smoothing = v == QLatin1String("on");
        } else if (a == QLatin1String("--scale")) {
            const QString v = value().value_or("");
            if (v != QLatin1String("linear") && v != QLatin1String("log"))
                return Fail(err, exitStatus, QStringLiteral("--scale takes linear or log"));
            options.Scale = v == QLatin1String("log") ? TCountScale::Log : TCountScale::Linear;
        } else if (a == QLatin1String("--region")) {
            const QString v = value().value_or("");
            options.Region = ParseRegion(v.toStdString());
            if (!options.Region)
                return Fail(err, exitStatus,
                            QStringLiteral("--region takes X,Y,WIDTH,HEIGHT in pixels, e.g. "
                                           "0,0,640,480, not \"%1\"")
                                .arg(v));
        } else if (a == QLatin1String("--output")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return Fail(err, exitStatus, QStringLiteral("--output takes a folder"));
            options.OutputDir = *v;
        } else if (a.startsWith(QLatin1String("--"))) {
            return Fail(err, exitStatus, QStringLiteral("unknown option %1").arg(a));
        } else {
            options.Images << a;
        }
    }
    if (options.Images.isEmpty())
        return Fail(err, exitStatus, QStringLiteral("no image given"));
    return true;
}

int RunRender(const TRenderOptions& options, std::FILE* out, std::FILE* err) {
    if (!FolderIsWritable(options.OutputDir)) {
        std::fprintf(err, "tonalyx-render: cannot write to the folder %s\n",
                     options.OutputDir.toLocal8Bit().constData());
        return 2;
    }
    const auto report = [err](const QString& file, const QString& why) {
        std::fprintf(err, "tonalyx-render: %s: %s\n", file.toLocal8Bit().constData(),
                     why.toLocal8Bit().constData());
    };

    // The drawing is admitted first and its room kept for the whole run.
    const std::int64_t drawing = PanelDrawingBytes(options.Size);
    const std::uint64_t memoryLeft = options.MemoryLeft ? options.MemoryLeft() : MemoryLeftBytes();
    if (static_cast<std::uint64_t>(drawing) > memoryLeft) {
        const TAmounts amounts =
            AmountsAlike(drawing, static_cast<std::int64_t>(std::min<std::uint64_t>(
                                      memoryLeft, std::numeric_limits<std::int64_t>::max())));
        std::fprintf(err,
                     "tonalyx-render: a panel of %d \u00D7 %d pixels needs %s of memory "
                     "to draw, and only %s is free\n",
                     options.Size.width(), options.Size.height(), amounts.First.c_str(),
                     amounts.Second.c_str());
        return 2;
    }
    TCountingRoom room(drawing, options.MemoryLeft);

    // Decoding and counting run ahead on worker threads, as many images at a time as there
    // are cores and as fit in the room left, each held as a few bands of rows only (and a
    // progressive JPEG's coefficients); drawing stays on this thread.
    const std::size_t ahead = std::max(1u, std::thread::hardware_concurrency());
    std::deque<TCountAhead> running;
    qsizetype next = 0;
    const auto startMore = [&] {
        while (running.size() < ahead && next < options.Images.size())
            running.emplace_back(options.Images[next++], options, room);
    };

    TPanelPicture panel(options);
    const QDir folder(options.OutputDir);
    QSet<QString> targets;
    int status = 0;
    startMore();
    for (const QString& image : options.Images) {
        TCounted counted = running.front().Take();
        running.pop_front();
        startMore();
        const QString target = folder.filePath(RenderTargetName(image));
        if (!counted.Hist) {
            report(image, counted.Error);
            status = 1;
            continue;
        }
        if (targets.contains(target)) {
            report(image,
                   QStringLiteral("%1 is written for an earlier image; skipped").arg(target));
            status = 1;
            continue;
        }
        targets.insert(target);
        if (!options.Force && QFileInfo::exists(target)) {
            report(image, QStringLiteral("%1 exists; --force replaces it").arg(target));
            status = 1;
            continue;
        }
        const TPngResult png = panel.Render(*counted.Hist, counted.Sensor);
        const TOutcome<void> written = png.Ok() ? WriteWholeFile(target, *png) : png.Error();
        if (!written.Ok()) {
            report(image, QString::fromStdString(written.Reason()));
            status = 1;
            continue;
        }
        std::fprintf(out, "%s\n", target.toLocal8Bit().constData());
    }
    return status;
}

} // namespace tonalyx
