// Opening, revisiting, pasting and stepping, observed through a recording window.
#include "image_opener.h"

#include "qt_raster.h"
#include "ucache.h"

#include "colour_fixture.h"
#include "jpeg_encoder.h"
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <memory>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

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
    void SetAppTitle() override { Log << "title"; }
    void ShowImageSize(QSize size) override {
        Log << QStringLiteral("size %1x%2").arg(size.width()).arg(size.height());
    }
    void ShowColourSpace(const QString& name) override { Space = name; }
    QImage Preview;
    QString Space;
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
    QStringList Reasons;

    bool ImageCommands = false;
    bool Navigation = false;
};

QImage Solid(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

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

    QTemporaryDir Dir;
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{64 << 20};
    TRecordingView View;
    TImageOpener Op{Hist, Files, Cache, View};
};

} // namespace

TEST_F(Opener, LoadingAFileRunsEveryStepInOrder) {
    Op.LoadImageFile(Path("a.bmp"));
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
    Op.LoadImageFile(Path("a.bmp"));
    const TAllChanel firstCounts = Raw();
    const TAllChanel firstDisplay = Hist.Display();
    Op.LoadImageFile(Path("b.jpg"));
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    // Smoothing switched off meanwhile, without a redraw of its own.
    Hist.Engine().SmoothRepeatCnt = SmoothLevels[SmoothLevelOff].RepCnt;
    View.Log.clear();
    Op.LoadImageFile(Path("a.bmp"));
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
    Op.LoadImageFile(Path("x.bmp"));
    Op.ShowNeighbor(TNeighbor::nPrev); // X.bmp sorts just before x.bmp
    EXPECT_EQ(Files.sCurrFile, Path("X.bmp"));
    EXPECT_EQ(View.Shown.pixel(0, 0), qRgb(0, 0, 250));
    Op.LoadImageFile(Path("x.bmp")); // back, from the cache
    EXPECT_EQ(View.Shown.pixel(0, 0), qRgb(250, 0, 0));
}

TEST_F(Opener, FailuresBeepAndKeepThePreviousImage) {
    Op.LoadImageFile(Path("a.bmp"));
    const TAllChanel before = Raw();
    QFile::copy(Path("c.bmp"), Path("liar.jpg")); // a BMP behind a JPEG name
    QFile garbage(Path("broken.bmp"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("BM not really");
    garbage.close();

    for (const QString& name : QStringList{"liar.jpg", "broken.bmp", "missing.jpg"}) {
        View.Log.clear();
        Op.LoadImageFile(Path(name));
        EXPECT_EQ(View.Log, QStringList({"wait", "ctrl 0 1", "beep", "cursor", "ctrl 1 0"}))
            << name.toStdString();
        EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
        EXPECT_EQ(Raw(), before);
        EXPECT_EQ(View.Shown.size(), QSize(20, 10));
    }
    // Unaccepted extensions beep before anything else happens.
    for (const QString& name : QStringList{"notes.png", "README", "archive.2015"}) {
        View.Log.clear();
        Op.LoadImageFile(Path(name));
        EXPECT_EQ(View.Log, QStringList({"beep"}));
    }
    EXPECT_EQ(View.Recent, QStringList({Path("a.bmp")}));
}

// Each failure says why, since the desktop's bell is often muted.
TEST_F(Opener, FailuresSayWhy) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir("other")); // out of the folder stepped through
    QFile::copy(Path("c.bmp"), Path("other/liar.jpg"));
    const struct {
        std::function<void(TImageOpener&)> Do;
        const char* Reason; // the start of it
    } rows[] = {
        {[](TImageOpener& op) { op.ShowNeighbor(TNeighbor::nPrev); }, "No image is open"},
        {[this](TImageOpener& op) { op.LoadImageFile(Path("notes.png")); },
         "Cannot open notes.png: not a JPEG or BMP file"},
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
        ASSERT_EQ(View.Reasons.size(), 1) << row.Reason;
        EXPECT_TRUE(View.Reasons.first().startsWith(QString::fromUtf8(row.Reason)))
            << View.Reasons.first().toStdString() << " / " << row.Reason;
    }
}

TEST_F(Opener, AFailedFirstLoadStillMakesTheImageCommandsAvailable) {
    Op.LoadImageFile(Path("missing.bmp"));
    EXPECT_TRUE(View.ImageCommands);
    EXPECT_TRUE(View.WelcomeVisible);
    EXPECT_TRUE(Files.sCurrFile.isEmpty());
}

TEST_F(Opener, PasteCountsThePictureButNeitherCachesNorRemembersIt) {
    Op.PasteImage(Solid(5, 4, qRgb(10, 20, 30)));
    EXPECT_EQ(View.Log, QStringList({"wait", "ctrl 0 1", "hide welcome", "image", "draw", "cursor",
                                     "ctrl 1 1", "title", "size 5x4"}));
    EXPECT_EQ(Files.sCurrFile, PastedImageName());
    EXPECT_EQ(Raw().R.Hist[10], 20u);
    EXPECT_EQ(Cache.Count(), 0);
    EXPECT_TRUE(View.Recent.isEmpty());
    EXPECT_FALSE(View.Navigation);
}

TEST_F(Opener, FailedPasteBeepsAndNavigationFollowsWhatIsCurrent) {
    // Nothing shown yet: the welcome panel goes, the image commands come, navigation does not.
    Op.PasteImage(QImage());
    EXPECT_EQ(View.Log,
              QStringList({"wait", "ctrl 0 1", "hide welcome", "beep", "cursor", "ctrl 1 1"}));
    EXPECT_FALSE(View.WelcomeVisible);
    EXPECT_TRUE(View.ImageCommands);
    EXPECT_TRUE(View.Shown.isNull());

    Op.LoadImageFile(Path("a.bmp"));
    View.Log.clear();
    Op.PasteImage(QImage());
    EXPECT_EQ(View.Log.last(), "ctrl 1 0");
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_EQ(View.Shown.size(), QSize(20, 10));
}

TEST_F(Opener, CacheHitAfterPasteLeavesNavigationOff) {
    Op.LoadImageFile(Path("a.bmp"));
    Op.PasteImage(Solid(5, 4, qRgb(1, 2, 3)));
    Op.LoadImageFile(Path("a.bmp"));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    EXPECT_FALSE(View.Navigation);
    EXPECT_EQ(View.Shown.size(), QSize(20, 10));
}

TEST_F(Opener, SteppingThroughTheFolder) {
    Op.ShowNeighbor(TNeighbor::nNext); // nothing shown yet
    EXPECT_EQ(View.Log, QStringList({"beep"}));
    Op.LoadImageFile(Path("a.bmp"));
    Op.ShowNeighbor(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("b.jpg"));
    Op.ShowNeighbor(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("c.bmp"));
    View.Log.clear();
    Op.ShowNeighbor(TNeighbor::nNext);
    EXPECT_EQ(View.Log, QStringList({"beep"}));
    Op.ShowNeighbor(TNeighbor::nPrev);
    Op.ShowNeighbor(TNeighbor::nPrev);
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    View.Log.clear();
    Op.ShowNeighbor(TNeighbor::nPrev);
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
    EXPECT_TRUE(Op.KeyDown(Qt::Key_Right));
    EXPECT_EQ(View.Reasons, QStringList({"No image is open"}));
    EXPECT_FALSE(Op.KeyDown(Qt::Key_A));
    Op.LoadImageFile(Path("a.bmp"));
    EXPECT_TRUE(Op.KeyDown(Qt::Key_PageDown));
    EXPECT_EQ(Files.sCurrFile, Path("b.jpg"));
    EXPECT_TRUE(Op.KeyDown(Qt::Key_Up));
    EXPECT_EQ(Files.sCurrFile, Path("a.bmp"));
    // After a paste the keys work although previous and next are unavailable: they beep.
    Op.PasteImage(Solid(2, 2, qRgb(1, 2, 3)));
    View.Reasons.clear();
    EXPECT_TRUE(Op.KeyDown(Qt::Key_Down));
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

    Op.LoadImageFile(Path("plain.jpg"));
    const TAllChanel plainCounts = Raw();
    EXPECT_TRUE(View.Space.isEmpty());
    View.Log.clear();
    Op.LoadImageFile(Path("portrait.jpg"));
    EXPECT_TRUE(View.Log.contains("size 320x480")) << View.Log.join(", ").toStdString();
    EXPECT_EQ(View.Space, QStringLiteral("Adobe RGB (1998)"));
    EXPECT_EQ(View.Shown.size(), QSize(w, h)); // the counted picture, as stored
    EXPECT_EQ(View.Preview.size(), QSize(h, w));
    EXPECT_EQ(Raw(), plainCounts);

    Op.LoadImageFile(Path("plain.jpg"));
    EXPECT_TRUE(View.Space.isEmpty());
    View.Log.clear();
    Op.LoadImageFile(Path("portrait.jpg")); // from the cache, turned and named as before
    EXPECT_EQ(View.Log.last(), QStringLiteral("size 320x480"));
    EXPECT_EQ(View.Preview.size(), QSize(h, w));
    EXPECT_EQ(View.Space, QStringLiteral("Adobe RGB (1998)"));
    Op.PasteImage(Solid(5, 5, qRgb(1, 2, 3)));
    EXPECT_TRUE(View.Space.isEmpty());
}
