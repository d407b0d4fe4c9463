// Opening, revisiting, pasting and stepping, observed through a recording window; opens
// decode on a worker, so each test runs the event loop until the open has been taken in.
#include "image_format.h"
#include "image_opener.h"
#include "layout_adapter.h"
#include "open_reasons.h"
#include "opener_steps.h"

#include "qt_raster.h"
#include "reduced_copy.h"
#include "statistics.h"
#include "ucache.h"

#include "colour_fixture.h"
#include "declared_huge.h"
#include "jpeg_encoder.h"
#include "open_gate.h"
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tonalyx;
using namespace tonalyx::test;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

constexpr int Patience = 60000; // ms: an upper bound only, for a loaded machine

// Records every call as one short line, so a test reads like the sequence it expects.
class TRecordingView : public TOpenerView {
  public:
    QStringList Log;
    QImage Shown;
    bool WelcomeVisible = true;
    QStringList Recent;

    void SetWaitCursor(bool on) override { Log << (on ? "wait" : "cursor"); }
    void SetImgCtrl(bool s, bool navOff) override {
        Log << QStringLiteral("ctrl %1 %2").arg(s).arg(navOff);
        ImageCommands = s;
        Navigation = s && !navOff;
    }
    void ShowImage(const QImage& image) override {
        Shown = image;
        Log << "image";
    }
    void ShowPreparedImage(const QImage& image, const QImage& preview) override {
        Preview = preview;
        ShowImage(image);
    }
    void RedrawHistograms() override { Log << "draw"; }
    void SetAppTitle(const TPictureSource&) override { Log << "title"; }
    void ShowImageSize(QSize size, TRawRendition) override {
        Log << QStringLiteral("size %1x%2").arg(size.width()).arg(size.height());
    }
    void ShowColourSpace(const QString& name) override { Space = name; }
    int PreviewSide() const override { return Side; }
    QImage Preview;
    QString Space;
    int Side = 0; // pictures are shown as they are
    void HideWelcome() override {
        WelcomeVisible = false;
        Log << "hide welcome";
    }
    void RememberRecentImage(const QString& path) override {
        Recent << path;
        Log << "recent";
    }
    void Fail(const QString& reason) override {
        Log << "beep";
        Reasons << reason;
    }
    void ShowNothingCounted(bool nothing) override { NothingCounted = nothing; }
    QStringList Reasons;
    bool NothingCounted = false;

    bool ImageCommands = false;
    bool Navigation = false;
};

QImage Solid(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// What opening leaves behind, everything a failure or a cancel must keep.
struct TOutcomeState {
    QString Current;
    int Cached = 0;
    QStringList Recent;
    QImage Shown;
    TAllChanel Raw;
    bool ImageCommands = false, Navigation = false, Welcome = false;
    QStringList Log; // without the beep
    friend bool operator==(const TOutcomeState&, const TOutcomeState&) = default;
};

// A window of its own over the folder: the engine, the navigation, the cache, the view.
struct TWorld {
    TWorld() = default;
    explicit TWorld(TOpenFunction open) : Op(Hist, Files, Cache, View, nullptr, std::move(open)) {}
    // With a cache of this bound, and as much memory left as memoryLeft says.
    TWorld(std::int64_t cacheBound, TMemoryLeft memoryLeft, TOpenFunction open = OpenImageFile)
        : Cache(cacheBound),
          Op(Hist, Files, Cache, View, nullptr, std::move(open), std::move(memoryLeft)) {}
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{64 << 20};
    TRecordingView View;
    TImageOpener Op{Hist, Files, Cache, View};

    TOutcomeState State() const {
        QStringList log = View.Log;
        log.removeAll("beep");
        return {Files.sCurrFile,    Cache.Count(),   View.Recent,         View.Shown, Hist.Raw(),
                View.ImageCommands, View.Navigation, View.WelcomeVisible, log};
    }
};

class Opener : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(Solid(20, 10, qRgb(200, 0, 0)).save(Path("a.bmp")));
        ASSERT_TRUE(Solid(30, 15, qRgb(0, 0, 200)).save(Path("b.jpg"), "JPG"));
        ASSERT_TRUE(Solid(8, 8, qRgb(0, 200, 0)).save(Path("c.bmp")));
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    TAllChanel& Raw() { return Hist.Engine().Data[Origin]; }
    // Each call as the window makes it, run until the open is taken in.
    void Load(const QString& name) { LoadAndSettle(Op, Path(name)); }
    void Step(TNeighbor neighbor) { StepAndSettle(Op, neighbor); }
    void Paste(const QImage& image) {
        Op.PasteImage(image);
        Settle(Op);
    }
    bool Key(int key) {
        const bool taken = Op.KeyDown(key);
        Settle(Op);
        return taken;
    }

    QTemporaryDir Dir;
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{64 << 20};
    TRecordingView View;
    TImageOpener Op{Hist, Files, Cache, View};
};

} // namespace

TEST_F(Opener, LoadingAFileRunsEveryStepInOrder) {
    Load("a.bmp");
    EXPECT_EQ(View.Log, QStringList({"wait", "ctrl 0 1", "image", "draw", "cursor", "ctrl 1 0",
                                     "title", "size 20x10", "hide welcome", "recent"}));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_EQ(Raw().R.Hist[200], 200u);
    EXPECT_EQ(View.Shown.format(), QImage::Format_BGR888);
    EXPECT_TRUE(Cache.Contains(Path("a.bmp")));
    EXPECT_TRUE(Hist.IsCalculated());
}

TEST_F(Opener, RevisitComesFromTheCacheWithoutTouchingTheFile) {
    Hist.SetSmoothLevel(SmoothLevelMedium);
    Load("a.bmp");
    const TAllChanel firstCounts = Raw();
    const TAllChanel firstDisplay = Hist.Display();
    Load("b.jpg");
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    // Smoothing switched off meanwhile, without a redraw of its own.
    Hist.Engine().SmoothRepeatCnt = SmoothLevels[SmoothLevelOff].RepCnt;
    View.Log.clear();
    Load("a.bmp");
    EXPECT_EQ(View.Log, QStringList({"image", "draw", "title", "size 20x10"}));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_EQ(Raw(), firstCounts);
    EXPECT_EQ(View.Recent.size(), 2); // not remembered again
    // The display copy is rebuilt with the current smoothing from the cached raw counts.
    EXPECT_NE(Hist.Display(), firstDisplay);
    auto expected = std::make_unique<THist>();
    expected->Calc(Origin, RasterOf(View.Shown));
    expected->Calc4Show(Origin, Origin4Show);
    EXPECT_EQ(Hist.Display(), expected->Data[Origin4Show]);
}

TEST_F(Opener, NamesThatDifferOnlyInCaseAreDifferentPictures) {
    ASSERT_TRUE(Solid(4, 4, qRgb(250, 0, 0)).save(Path("x.bmp")));
    ASSERT_TRUE(Solid(4, 4, qRgb(0, 0, 250)).save(Path("X.bmp")));
    Load("x.bmp");
    Step(TNeighbor::nPrev); // X.bmp sorts just before x.bmp
    EXPECT_EQ(Files.sCurrFile, Path("X.bmp"));
    EXPECT_EQ(View.Shown.pixel(0, 0), qRgb(0, 0, 250));
    Load("x.bmp"); // back, from the cache
    EXPECT_EQ(View.Shown.pixel(0, 0), qRgb(250, 0, 0));
}

TEST_F(Opener, FailuresBeepAndKeepThePreviousImage) {
    Load("a.bmp");
    const TAllChanel before = Raw();
    QFile::copy(Path("c.bmp"), Path("liar.jpg")); // a BMP behind a JPEG name
    QFile garbage(Path("broken.bmp"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("BM not really");
    garbage.close();

    for (const QString& name : QStringList{"liar.jpg", "broken.bmp", "missing.jpg"}) {
        View.Log.clear();
        Load(name);
        EXPECT_EQ(View.Log, QStringList({"wait", "ctrl 0 1", "beep", "cursor", "ctrl 1 0"}))
            << name.toStdString();
        EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
        EXPECT_EQ(Raw(), before);
        EXPECT_EQ(View.Shown.size(), QSize(20, 10));
    }
    // Unaccepted extensions beep before anything else happens.
    for (const QString& name : QStringList{"notes.gif", "README", "archive.2015"}) {
        View.Log.clear();
        Load(name);
        EXPECT_EQ(View.Log, QStringList({"beep"}));
    }
    EXPECT_EQ(View.Recent, QStringList({Path("a.bmp")}));
}

// Each failure says why, since the desktop's bell is often muted.
TEST_F(Opener, FailuresSayWhy) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("other")); // out of the folder stepped through
    QFile::copy(Path("c.bmp"), Path("other/liar.jpg"));
    const std::string notOne = "Cannot open notes.gif: not a " + ImageFormatNames(" or ") + " file";
    const struct {
        std::function<void(TImageOpener&)> Do;
        const char* Reason; // the start of it
    } rows[] = {
        {[](TImageOpener& op) { op.ShowNeighbor(TNeighbor::nPrev); }, "No image is open"},
        {[this](TImageOpener& op) { op.LoadImageFile(Path("notes.gif")); }, notOne.c_str()},
        {[this](TImageOpener& op) { op.LoadImageFile(Path("other/liar.jpg")); },
         "Cannot open liar.jpg: this file is not a JPEG picture"},
        {[this](TImageOpener& op) { op.LoadImageFile(Path("missing.bmp")); },
         "Cannot open missing.bmp: "},
        {[this](TImageOpener& op) {
             op.LoadImageFile(Path("c.bmp"));
             op.ShowNeighbor(TNeighbor::nNext);
         },
         "No next image in this folder"},
        {[this](TImageOpener& op) {
             op.LoadImageFile(Path("a.bmp"));
             op.ShowNeighbor(TNeighbor::nPrev);
         },
         "No previous image in this folder"},
        {[](TImageOpener& op) { op.PasteImage(QImage()); },
         "The clipboard holds no picture that can be read"},
        {[](TImageOpener& op) {
             op.PasteImage(Solid(2, 2, qRgb(1, 2, 3)));
             op.ShowNeighbor(TNeighbor::nNext);
         },
         "A pasted picture has no folder to step through"},
    };
    for (const auto& row : rows) {
        View.Reasons.clear();
        row.Do(Op);
        Settle(Op);
        ASSERT_EQ(View.Reasons.size(), 1) << row.Reason;
        EXPECT_TRUE(View.Reasons.first().startsWith(QString::fromUtf8(row.Reason)))
            << View.Reasons.first().toStdString() << " / " << row.Reason;
    }
}

TEST_F(Opener, AFailedFirstLoadStillMakesTheImageCommandsAvailable) {
    Load("missing.bmp");
    EXPECT_TRUE(View.ImageCommands);
    EXPECT_TRUE(View.WelcomeVisible);
    EXPECT_TRUE(Files.sCurrFile.isEmpty());
}

TEST_F(Opener, PasteCountsThePictureButNeitherCachesNorRemembersIt) {
    Paste(Solid(5, 4, qRgb(10, 20, 30)));
    EXPECT_EQ(View.Log, QStringList({"wait", "ctrl 0 1", "hide welcome", "image", "draw", "cursor",
                                     "ctrl 1 1", "title", "size 5x4"}));
    EXPECT_TRUE(Files.sCurrFile.isEmpty()); // no folder to step through
    EXPECT_TRUE(Op.CurrentSource().IsClipboard());
    EXPECT_EQ(Raw().R.Hist[10], 20u);
    EXPECT_EQ(Cache.Count(), 0);
    EXPECT_TRUE(View.Recent.isEmpty());
    EXPECT_FALSE(View.Navigation);
}

TEST_F(Opener, FailedPasteBeepsAndNavigationFollowsWhatIsCurrent) {
    // Nothing shown yet: the welcome panel goes, the image commands come, navigation does not.
    Paste(QImage());
    EXPECT_EQ(View.Log,
              QStringList({"wait", "ctrl 0 1", "hide welcome", "beep", "cursor", "ctrl 1 1"}));
    EXPECT_FALSE(View.WelcomeVisible);
    EXPECT_TRUE(View.ImageCommands);
    EXPECT_TRUE(View.Shown.isNull());

    Load("a.bmp");
    View.Log.clear();
    Paste(QImage());
    EXPECT_EQ(View.Log.last(), "ctrl 1 0");
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_EQ(View.Shown.size(), QSize(20, 10));
}

TEST_F(Opener, CacheHitAfterPasteLeavesNavigationOff) {
    Load("a.bmp");
    Paste(Solid(5, 4, qRgb(1, 2, 3)));
    Load("a.bmp");
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_FALSE(View.Navigation);
    EXPECT_EQ(View.Shown.size(), QSize(20, 10));
}

TEST_F(Opener, SteppingThroughTheFolder) {
    Step(TNeighbor::nNext); // nothing shown yet
    EXPECT_EQ(View.Log, QStringList({"beep"}));
    Load("a.bmp");
    Step(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("b.jpg"));
    Step(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("c.bmp"));
    View.Log.clear();
    Step(TNeighbor::nNext);
    EXPECT_EQ(View.Log, QStringList({"beep"}));
    Step(TNeighbor::nPrev);
    Step(TNeighbor::nPrev);
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    View.Log.clear();
    Step(TNeighbor::nPrev);
    EXPECT_EQ(View.Log, QStringList({"beep"}));
}

TEST(NavigationKeys, StepBackOrForwardAndLeaveEveryOtherKey) {
    const struct {
        int Key;
        std::optional<TNeighbor> Step;
    } rows[] = {
        {Qt::Key_PageUp, TNeighbor::nPrev}, {Qt::Key_Left, TNeighbor::nPrev},
        {Qt::Key_Up, TNeighbor::nPrev},     {Qt::Key_PageDown, TNeighbor::nNext},
        {Qt::Key_Right, TNeighbor::nNext},  {Qt::Key_Down, TNeighbor::nNext},
        {Qt::Key_Home, std::nullopt},       {Qt::Key_End, std::nullopt},
        {Qt::Key_Space, std::nullopt},      {Qt::Key_A, std::nullopt},
        {Qt::Key_Shift, std::nullopt},      {Qt::Key_Return, std::nullopt},
    };
    for (const auto& r : rows)
        EXPECT_EQ(NeighborOfKey(r.Key), r.Step) << r.Key;
}

TEST_F(Opener, KeysStepThroughTheFolderAndBeepWithoutAnImage) {
    EXPECT_TRUE(Key(Qt::Key_Right));
    EXPECT_EQ(View.Reasons, QStringList({"No image is open"}));
    EXPECT_FALSE(Key(Qt::Key_A));
    Load("a.bmp");
    EXPECT_TRUE(Key(Qt::Key_PageDown));
    EXPECT_EQ(Files.sCurrFile, Path("b.jpg"));
    EXPECT_TRUE(Key(Qt::Key_Up));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    // After a paste the keys work although previous and next are unavailable: they beep.
    Paste(Solid(2, 2, qRgb(1, 2, 3)));
    View.Reasons.clear();
    EXPECT_TRUE(Key(Qt::Key_Down));
    EXPECT_EQ(View.Reasons, QStringList({"A pasted picture has no folder to step through"}));
    EXPECT_EQ(View.Log.count("beep"), 2);
}

// A photo taken upright on a phone: stored on its side with Exif orientation 6, in Adobe RGB.
// Large enough that HSV and L*a*b* are sampled on a grid that starts at the stored top-left
// pixel, so counting a turned copy would change them.
TEST_F(Opener, AnUprightPictureIsShownTurnedAndCountedAsStored) {
    const int w = 480, h = 320; // 153,600 pixels: sampled
    std::vector<std::uint8_t> samples;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            samples.insert(samples.end(), {std::uint8_t(x * 255 / w), std::uint8_t(y * 255 / h),
                                           std::uint8_t(x * y % 251)});
    test::TJpegEncoding e;
    const auto write = [&](const QString& name) {
        const std::vector<std::uint8_t> jpeg = test::EncodeWithLibjpeg(w, h, samples, e);
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    };
    write("plain.jpg");
    e.Exif = test::ExifWithOrientation(6);
    e.Icc = test::RgbProfile(test::AdobeRgbSpace, "Adobe RGB (1998)");
    write("portrait.jpg");

    Load("plain.jpg");
    const TAllChanel plainCounts = Raw();
    EXPECT_TRUE(View.Space.isEmpty());
    View.Log.clear();
    Load("portrait.jpg");
    EXPECT_TRUE(View.Log.contains("size 320x480")) << View.Log.join(", ").toStdString();
    EXPECT_EQ(View.Space, QStringLiteral("Adobe RGB (1998)"));
    EXPECT_EQ(View.Shown.size(), QSize(w, h)); // the counted picture, as stored
    EXPECT_EQ(View.Preview.size(), QSize(h, w));
    EXPECT_EQ(Raw(), plainCounts);

    Load("plain.jpg");
    EXPECT_TRUE(View.Space.isEmpty());
    View.Log.clear();
    Load("portrait.jpg"); // from the cache, turned and named as before
    EXPECT_EQ(View.Log.last(), QStringLiteral("size 320x480"));
    EXPECT_EQ(View.Preview.size(), QSize(h, w));
    EXPECT_EQ(View.Space, QStringLiteral("Adobe RGB (1998)"));
    Op.PasteImage(Solid(5, 5, qRgb(1, 2, 3)));
    Settle(Op);
    EXPECT_TRUE(View.Space.isEmpty());
}

// The copy an open makes from the decoder's rows is turned upright and converted to sRGB on
// the worker: the window's thread shows that very copy and makes none of its own.
TEST_F(Opener, TheCopyMadeFromTheRowsIsTurnedAndConvertedOnTheWorker) {
    const int w = 480, h = 320;
    std::vector<std::uint8_t> samples;
    for (int i = 0; i < w * h; ++i)
        samples.insert(samples.end(), {60, 160, 60}); // in Adobe RGB
    test::TJpegEncoding e;
    e.Quality = 100;
    e.Exif = test::ExifWithOrientation(6);
    e.Icc = test::RgbProfile(test::AdobeRgbSpace, "Adobe RGB (1998)");
    const std::vector<std::uint8_t> jpeg = test::EncodeWithLibjpeg(w, h, samples, e);
    QFile f(Path("portrait.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    f.close();

    qint64 made = 0; // the copy the worker made; read once its result is in
    TWorld world([&made](const QString& path, int side, std::stop_token cancel,
                         TOpenProgress* progress, const TAdmission& admit, bool) {
        auto opened = OpenImageFile(path, side, std::move(cancel), progress, admit);
        if (opened.Ok())
            made = opened.Value()->Preview.cacheKey();
        return opened;
    });
    world.View.Side = 200;
    world.Op.LoadImageFile(Path("portrait.jpg"));
    Settle(world.Op);
    const QImage& shown = world.View.Preview;
    EXPECT_EQ(shown.cacheKey(), made);
    EXPECT_EQ(shown.size(), ReducedCopySize(QSize(w, h), 200).transposed());
    EXPECT_EQ(shown.format(), QImage::Format_RGB32); // the format the view scales fastest
    const QColor patch = shown.pixelColor(shown.width() / 2, shown.height() / 2);
    EXPECT_LE(patch.red(), 3);
    EXPECT_NEAR(patch.green(), 161, 3);
    EXPECT_NEAR(patch.blue(), 47, 3);
    EXPECT_EQ(world.View.Shown.size(), QSize(w, h)); // counted as stored
}

// ---- opening off the main thread

TEST(OpenProgress, ShownOnceAnOpenTakesLongerThanHalfASecond) {
    TOpenProgress progress;
    EXPECT_EQ(OpenProgressText("a.jpg", &progress, 499), "");
    EXPECT_EQ(OpenProgressText("a.jpg", &progress, 500), "Opening a.jpg\u2026 (Esc cancels)");
    progress.Height = 400;
    progress.Rows = 100;
    EXPECT_EQ(OpenProgressText("a.jpg", &progress, 900), "Opening a.jpg\u2026 25% (Esc cancels)");
    progress.Rows = 400; // decoded, not yet in
    EXPECT_EQ(OpenProgressText("a.jpg", &progress, 900), "Opening a.jpg\u2026 99% (Esc cancels)");
    EXPECT_EQ(OpenProgressText("a.jpg", nullptr, 900), "Opening a.jpg\u2026 (Esc cancels)");
    EXPECT_EQ(OpenProgressText("", nullptr, 900), "Reading the pasted picture\u2026 (Esc cancels)");
}

// The same start in two worlds: one open fails, the other is cancelled before it is taken
// in. Everything but the beep ends up the same.
TEST_F(Opener, ACancelledOpenLeavesEverythingAsAFailedOne) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("s"));
    const auto writeBroken = [this](const QString& name) {
        QFile garbage(Path(name));
        ASSERT_TRUE(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write("BM not really");
    };
    writeBroken("broken.bmp");
    ASSERT_TRUE(Solid(6, 6, qRgb(9, 9, 9)).save(Path("s/one.bmp")));
    const struct {
        const char* Name;
        std::function<void(TImageOpener&, bool fail)> Start;
    } rows[] = {
        {"direct open",
         [this](TImageOpener& op, bool fail) {
             op.LoadImageFile(Path(fail ? "broken.bmp" : "b.jpg"));
         }},
        {"step", // onto s/two.bmp, broken in the world where it fails
         [&](TImageOpener& op, bool fail) {
             if (fail)
                 writeBroken("s/two.bmp");
             else
                 ASSERT_TRUE(Solid(7, 7, qRgb(1, 1, 1)).save(Path("s/two.bmp")));
             op.LoadImageFile(Path("s/one.bmp"));
             Settle(op);
             op.ShowNeighbor(TNeighbor::nNext);
         }},
        {"paste", [](TImageOpener& op,
                     bool fail) { op.PasteImage(fail ? QImage() : Solid(5, 4, qRgb(1, 2, 3))); }},
    };
    for (const bool first : {true, false}) // with and without a picture shown before
        for (const auto& row : rows) {
            SCOPED_TRACE(testing::Message() << row.Name << (first ? ", first" : ""));
            TWorld failed, cancelled;
            for (TWorld* w : {&failed, &cancelled})
                if (!first) {
                    w->Op.LoadImageFile(Path("c.bmp"));
                    Settle(w->Op);
                }
            row.Start(failed.Op, true);
            Settle(failed.Op);
            row.Start(cancelled.Op, false);
            EXPECT_TRUE(cancelled.Op.IsOpening());
            EXPECT_TRUE(cancelled.Op.CancelOpen());
            EXPECT_FALSE(cancelled.Op.IsOpening());
            QCoreApplication::processEvents(); // nothing of the cancelled open comes late
            EXPECT_EQ(cancelled.State(), failed.State())
                << cancelled.State().Log.join(", ").toStdString() << " / "
                << failed.State().Log.join(", ").toStdString();
            EXPECT_EQ(failed.View.Log.count("beep"), 1);
            EXPECT_EQ(cancelled.View.Log.count("beep"), 0);
        }
}

TEST_F(Opener, EscapeCancelsAnOpenAndOnlyThen) {
    EXPECT_FALSE(Op.KeyDown(Qt::Key_Escape));
    Op.LoadImageFile(Path("b.jpg"));
    EXPECT_TRUE(Op.KeyDown(Qt::Key_Escape));
    Settle(Op);
    EXPECT_TRUE(View.Shown.isNull());
    EXPECT_FALSE(Cache.Contains(Path("b.jpg")));
}

TEST_F(Opener, AnOpenSupersededByAStepShowsTheStepsPicture) {
    // a.bmp is opening and has no previous neighbour: the step beeps, the open goes on.
    Op.LoadImageFile(Path("a.bmp"));
    Step(TNeighbor::nPrev);
    EXPECT_EQ(View.Reasons, QStringList({"No previous image in this folder"}));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_EQ(View.Shown.size(), QSize(20, 10));
    View.Recent.clear();
    // b.jpg is opening: the step goes from it to c.bmp, not from a.bmp to b.jpg.
    Op.LoadImageFile(Path("b.jpg"));
    Step(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("c.bmp"));
    EXPECT_EQ(View.Shown.size(), QSize(8, 8));
    EXPECT_EQ(Raw().G.Hist[200], 64u);
    EXPECT_EQ(View.Recent, QStringList({Path("c.bmp")}));
    EXPECT_FALSE(Cache.Contains(Path("b.jpg")));
}

TEST_F(Opener, TheMainThreadsTimerTicksDuringAnOpen) {
    test::TOpenGate gate;
    TWorld world(gate.Function());
    int ticksWhileOpening = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (world.Op.IsOpening() && ++ticksWhileOpening == 3)
            gate.Release(); // the open ends only once this thread has run the timer
    });
    timer.start(1);
    world.Op.LoadImageFile(Path("b.jpg"));
    Settle(world.Op);
    EXPECT_GE(ticksWhileOpening, 3);
    EXPECT_EQ(world.View.Shown.size(), QSize(30, 15));
    EXPECT_FALSE(gate.SawCancel());
}

TEST_F(Opener, DestroyedDuringAnOpenItStopsTheDecodeAndEnds) {
    test::TOpenGate gate; // never let go: only the cancel ends the wait
    {
        TWorld world(gate.Function());
        world.Op.LoadImageFile(Path("b.jpg"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Started(); }, Patience));
    }
    EXPECT_TRUE(gate.SawCancel());
}

// A file that declares a huge picture is refused from its header, before any of its pixels
// exist, with what it needs and what there is; everything stays as after any failed open. The
// memory left is a stand-in, so that the machine does not matter.
TEST_F(Opener, APictureThatDoesNotFitIsRefusedBeforeItIsDecoded) {
    const std::vector<std::uint8_t> bmp = test::DeclaredHugeRleBmp(20000, 20000);
    {
        QFile file(Path("huge.bmp"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bmp.data()), qint64(bmp.size()));
    }
    {
        QFile small(Path("b.jpg"));
        ASSERT_TRUE(small.open(QIODevice::ReadOnly));
        const QByteArray bytes = small.readAll();
        const std::vector<std::uint8_t> jpeg = test::WithDeclaredSize(
            std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 20000, 20000);
        ASSERT_FALSE(jpeg.empty());
        QFile file(Path("huge.jpg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    }
    constexpr std::int64_t FourGiB = std::int64_t{4} << 30;
    const struct {
        const char* Name;
        std::int64_t CacheBound;
        std::uint64_t MemoryLeft;
        const char* Reason;
    } cases[] = {
        {"huge.bmp", FourGiB, 500'000'000,
         "its 20000 \u00D7 20000 pixels need 1200 MB of memory, and only 500 MB is free"},
        {"huge.jpg", FourGiB, 500'000'000,
         "its 20000 \u00D7 20000 pixels need 1200 MB of memory, and only 500 MB is free"},
        {"huge.bmp", 64 << 20, std::uint64_t{100} << 30,
         "its 20000 \u00D7 20000 pixels need 1200 MB of memory, more than the 67 MB kept for "
         "pictures"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::atomic<int> asked = 0;
        TWorld world(c.CacheBound, [&asked, left = c.MemoryLeft] {
            ++asked;
            return left;
        });
        world.Op.LoadImageFile(Path("a.bmp"));
        Settle(world.Op);
        const TOutcomeState before = world.State();
        world.View.Log.clear();
        world.Op.LoadImageFile(Path(c.Name));
        Settle(world.Op);
        EXPECT_EQ(world.View.Log, QStringList({"wait", "ctrl 0 1", "beep", "cursor", "ctrl 1 0"}));
        ASSERT_EQ(world.View.Reasons.size(), 1);
        EXPECT_EQ(world.View.Reasons[0],
                  QStringLiteral("Cannot open huge.%1: %2")
                      .arg(QFileInfo(c.Name).suffix(), QString::fromUtf8(c.Reason)));
        EXPECT_GE(asked, 1);
        world.View.Log = before.Log;
        EXPECT_EQ(world.State(), before);
    }
}

// Room is made in the cache before the picture is decoded, not once it is taken in: when the
// decoder is let go, the oldest picture has been dropped and what is left fits beside it.
TEST_F(Opener, TheCacheMakesRoomBeforeThePictureIsDecoded) {
    for (const char* name : {"p1.bmp", "p2.bmp", "p3.bmp"})
        ASSERT_TRUE(Solid(400, 300, qRgb(10, 20, 30)).save(Path(name)));
    const std::int64_t entry = OpenBytes(400, 300, 0);
    std::mutex mutex;
    std::condition_variable_any changed;
    bool admitted = false, go = false;
    TWorld world(
        entry * 5 / 2, [] { return std::uint64_t{100} << 30; },
        [&](const QString& path, int side, std::stop_token cancel, TOpenProgress* p,
            const TAdmission& admit, bool) {
            const TAdmission held = [&](int w, int h, std::int64_t decoderBytes) {
                std::optional<TFailure> refusal = admit(w, h, decoderBytes);
                std::unique_lock lock(mutex);
                admitted = true;
                changed.notify_all();
                changed.wait(lock, cancel, [&] { return go || !path.endsWith("p3.bmp"); });
                return refusal;
            };
            return OpenImageFile(path, side, cancel, p, held);
        });
    for (const char* name : {"p1.bmp", "p2.bmp"}) {
        world.Op.LoadImageFile(Path(name));
        Settle(world.Op);
    }
    ASSERT_EQ(world.Cache.Count(), 2);
    {
        std::lock_guard lock(mutex);
        admitted = false;
    }
    world.Op.LoadImageFile(Path("p3.bmp"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::lock_guard lock(mutex);
            return admitted;
        },
        Patience));
    // The decoder waits: p3's pixels do not exist yet.
    EXPECT_FALSE(world.Cache.Contains(Path("p1.bmp")));
    EXPECT_TRUE(world.Cache.Contains(Path("p2.bmp")));
    EXPECT_LE(world.Cache.UsedBytes() + entry, world.Cache.MaxBytes());
    {
        std::lock_guard lock(mutex);
        go = true;
        changed.notify_all();
    }
    Settle(world.Op);
    EXPECT_EQ(world.Files.sCurrFile, Path("p3.bmp"));
    EXPECT_TRUE(world.Cache.Contains(Path("p2.bmp")));
    EXPECT_TRUE(world.Cache.Contains(Path("p3.bmp")));
    EXPECT_LE(world.Cache.UsedBytes(), world.Cache.MaxBytes());
}

namespace {

// A made-up format whose files hold one byte, the alpha of every pixel of a 40 × 30 RGBA
// picture, red left of the middle and green right of it: through the layout adapter as a
// decoder writes it.
TOutcome<TDecodeNotes> DecodeAlphaFile(const std::filesystem::path& path, TRowTarget& target) {
    QFile file(QtPathOf(path));
    if (!file.open(QIODevice::ReadOnly))
        return TOutcome<TDecodeNotes>::Failure("unreadable");
    const auto alpha = static_cast<std::uint8_t>(file.readAll().at(0));
    constexpr int Width = 40, Height = 30;
    TLayoutAdapter rows(target);
    if (!rows.Start(Width, Height, {TSamples::Rgba, 8}))
        return NotEnoughMemory(Width, Height);
    for (int first = 0; first < Height; first += StreamBandRows) {
        const int count = std::min(StreamBandRows, Height - first);
        const TRowBand band = rows.Rows(first, count);
        for (int i = 0; i < count; ++i)
            for (int x = 0; x < Width; ++x) {
                std::uint8_t* px = band.Bits + i * band.Stride + 4 * x;
                px[0] = x < Width / 2 ? 255 : 0;
                px[1] = x < Width / 2 ? 0 : 255;
                px[2] = 0;
                px[3] = x < Width / 2 ? alpha : 255;
            }
        rows.Written(first, count);
    }
    TDecodeNotes notes;
    notes.Meta.StoredAlpha = true;
    return notes;
}

} // namespace

// A transparent pixel is counted nowhere and shows the view's background; a picture with
// nothing visible has empty histograms, and the view is told so.
TEST_F(Opener, TransparentPixelsAreNeitherCountedNorShown) {
    const TAddedImageFormat alphaFormat{
        {"TNA", {".tna"}, {}, DecodeAlphaFile, TRowCounting::AsRowsArrive}};
    const auto write = [this](const QString& name, char alpha) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(&alpha, 1);
    };
    write("cut-out.tna", 0);
    write("half.tna", char(128));
    Load("cut-out.tna");
    EXPECT_EQ(Raw().R.Hist[0], 600u); // the green half alone
    EXPECT_EQ(Raw().G.Hist[255], 600u);
    EXPECT_FALSE(View.NothingCounted);
    ASSERT_TRUE(View.Preview.hasAlphaChannel());
    EXPECT_EQ(qAlpha(View.Preview.pixel(0, 0)), 0);
    EXPECT_EQ(View.Preview.pixel(39, 0), qRgb(0, 255, 0));

    Load("half.tna"); // half transparent still counts
    EXPECT_EQ(Raw().R.Hist[255], 600u);
    EXPECT_EQ(qAlpha(View.Preview.pixel(0, 0)), 128);

    // Green made transparent too: nothing left to count.
    const TAddedImageFormat clearFormat{{"TNC",
                                         {".tnc"},
                                         {},
                                         [](const std::filesystem::path&, TRowTarget& target) {
                                             TLayoutAdapter rows(target);
                                             if (!rows.Start(3, 2, {TSamples::GreyAlpha, 8}))
                                                 return TOutcome<TDecodeNotes>(
                                                     NotEnoughMemory(3, 2));
                                             const TRowBand band = rows.Rows(0, 2);
                                             for (int i = 0; i < 2; ++i)
                                                 std::fill_n(band.Bits + i * band.Stride, 6, 0);
                                             rows.Written(0, 2);
                                             return TOutcome<TDecodeNotes>(TDecodeNotes{});
                                         },
                                         TRowCounting::AsRowsArrive}};
    write("clear.tnc", 0);
    Load("clear.tnc");
    EXPECT_EQ(Files.sCurrFile, Path("clear.tnc"));
    EXPECT_TRUE(View.NothingCounted);
    EXPECT_EQ(CountedPixels(Raw()[TChannel::RGB]), 0u);
    Load("a.bmp");
    EXPECT_FALSE(View.NothingCounted);
}
