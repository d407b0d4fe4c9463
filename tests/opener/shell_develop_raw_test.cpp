// Camera raw files in the opener: shown developed or as the cameras' previews (switching
// re-opens the raw file shown, and neither the cache nor the prepared neighbours ever hand
// out the picture of the other way), and their sensor read beside the picture, joining it
// once read.
#include "image_opener.h"
#include "opener_steps.h"
#include "ucache.h"

#include "qt_environment.h"
#include "raw_with_preview.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

using namespace tonalyx;
using namespace tonalyx::test;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

constexpr int Patience = 60000; // ms: an upper bound only, for a loaded machine

class TView : public TOpenerView {
  public:
    QStringList Reasons;
    QImage Shown;
    QSize Size;
    TRawRendition Rendition = TRawRendition::None;
    int SensorsArrived = 0;
    void SensorArrived() override { ++SensorsArrived; }
    void SetWaitCursor(bool) override {}
    void SetImgCtrl(bool, bool) override {}
    void ShowImage(const QImage& image) override { Shown = image; }
    int PreviewSide() const override { return 24; }
    void RedrawHistograms() override {}
    void SetAppTitle(const TPictureSource&) override {}
    void ShowImageSize(QSize size, TRawRendition rendition) override {
        Size = size;
        Rendition = rendition;
    }
    void HideWelcome() override {}
    void RememberRecentImage(const QString&) override {}
    void Fail(const QString& reason) override { Reasons << reason; }
};

// Every decode the opener and its preparer start, as "name" or "name developed"; the
// preparer's run on its worker.
class TDecodes {
  public:
    void Add(const QString& path, bool developed) {
        std::lock_guard lock(FMutex);
        FLog << QFileInfo(path).fileName() + (developed ? " developed" : "");
    }
    QStringList Take() {
        std::lock_guard lock(FMutex);
        return std::exchange(FLog, {});
    }

  private:
    std::mutex FMutex;
    QStringList FLog;
};

struct DevelopRaw : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(WriteRawWithPreview(Path("a.dng").toStdString(), 0));
        ASSERT_TRUE(WriteRawWithPreview(Path("b.dng").toStdString(), 1));
        ASSERT_TRUE(WriteRawWithPreview(Path("c.dng").toStdString(), 2));
        QImage plain(30, 20, QImage::Format_RGB32);
        plain.fill(qRgb(90, 140, 30));
        ASSERT_TRUE(plain.save(Path("d.bmp"), "BMP"));
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    void Load(const QString& name) { LoadAndSettle(Op, Path(name)); }
    void Switch(bool developed) {
        Op.SetDeveloped(developed);
        Settle(Op);
    }
    bool WaitPrepared(const QString& name) {
        return QTest::qWaitFor([&] { return Op.Preparer()->IsPrepared(Path(name)); }, Patience);
    }
    // The counts of the picture a direct open of the file makes.
    TAllChanel CountsOf(const QString& name, bool developed) const {
        const auto opened = OpenImageFile(Path(name), 24, {}, nullptr, {}, developed);
        EXPECT_TRUE(opened.Ok()) << opened.Reason();
        return opened.Ok() ? (*opened)->Picture->Counts() : TAllChanel{};
    }

    QTemporaryDir Dir;
    TDecodes Decodes;
    // What fails on the worker, for the test of a failed development.
    std::atomic<bool> DevelopmentFails{false};
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{64 << 20};
    TView View;
    TImageOpener Op{
        Hist,
        Files,
        Cache,
        View,
        std::make_unique<TNeighbourPreparer>([this](const QString& path, int side,
                                                    std::stop_token cancel, const TAdmission& admit,
                                                    bool developed) {
            Decodes.Add(path, developed);
            return PrepareImageFile(path, side, std::move(cancel), admit, developed);
        }),
        [this](const QString& path, int side, std::stop_token cancel, TOpenProgress* progress,
               const TAdmission& admit,
               bool developed) -> TOutcome<std::shared_ptr<TPreparedImage>> {
            Decodes.Add(path, developed);
            if (developed && DevelopmentFails)
                return TFailure{"Not enough memory to develop the raw file", {}};
            return OpenImageFile(path, side, std::move(cancel), progress, admit, developed);
        }};
};

} // namespace

TEST_F(DevelopRaw, SwitchingShowsTheRawFilesOtherPictureEachDecodedOnce) {
    Load("a.dng");
    EXPECT_EQ(View.Rendition, TRawRendition::CameraPreview);
    EXPECT_EQ(View.Size, QSize(40, 30));
    const TAllChanel preview = Hist.Raw();
    Decodes.Take();

    Switch(true);
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
    EXPECT_EQ(View.Size, QSize(64, 48));
    EXPECT_EQ(Hist.Raw(), CountsOf("a.dng", true));
    EXPECT_NE(Hist.Raw(), preview);
    EXPECT_EQ(Files.sCurrFile, Path("a.dng"));
    EXPECT_EQ(Decodes.Take().filter("a.dng"), QStringList({"a.dng developed"}));

    // Back and forth: each picture comes from the cache.
    Switch(false);
    EXPECT_EQ(View.Rendition, TRawRendition::CameraPreview);
    EXPECT_EQ(Hist.Raw(), preview);
    Switch(true);
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
    EXPECT_TRUE(Decodes.Take().filter("a.dng").isEmpty());
    EXPECT_TRUE(View.Reasons.isEmpty());
}

TEST_F(DevelopRaw, StepsWhileOnDevelopEveryRawNeighbourAndNeverShowAPreviewMadeBefore) {
    Load("b.dng");
    ASSERT_TRUE(WaitPrepared("c.dng"));
    ASSERT_TRUE(WaitPrepared("a.dng"));
    // The previews prepared are dropped; the neighbours are prepared developed on the
    // preparer's worker once the file shown is.
    Switch(true);
    ASSERT_TRUE(WaitPrepared("c.dng"));
    ASSERT_TRUE(WaitPrepared("a.dng"));
    EXPECT_EQ(Decodes.Take().filter("developed"),
              QStringList({"b.dng developed", "c.dng developed", "a.dng developed"}));
    StepAndSettle(Op, TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("c.dng"));
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
    EXPECT_EQ(Hist.Raw(), CountsOf("c.dng", true));
    EXPECT_TRUE(Decodes.Take().filter("c.dng").isEmpty()) << "taken from the preparer";

    // c's preview is cached now; back on, a step to c shows its development all the same.
    Switch(false);
    EXPECT_EQ(View.Rendition, TRawRendition::CameraPreview);
    StepAndSettle(Op, TNeighbor::nPrev);
    Switch(true);
    EXPECT_EQ(Files.sCurrFile, Path("b.dng"));
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
    StepAndSettle(Op, TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("c.dng"));
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
    EXPECT_EQ(Hist.Raw(), CountsOf("c.dng", true));

    // A picture of another format is as it was, and has no other picture to switch to.
    StepAndSettle(Op, TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("d.bmp"));
    EXPECT_EQ(View.Rendition, TRawRendition::None);
    const QImage shown = View.Shown;
    Decodes.Take();
    Op.SetDeveloped(false);
    EXPECT_FALSE(Op.IsOpening());
    EXPECT_EQ(View.Shown, shown);
    EXPECT_TRUE(Decodes.Take().filter("d.bmp").isEmpty());
    EXPECT_TRUE(View.Reasons.isEmpty());
}

TEST_F(DevelopRaw, ADevelopmentThatFailsKeepsThePictureShown) {
    Load("a.dng");
    const QImage shown = View.Shown;
    const TAllChanel counts = Hist.Raw();
    DevelopmentFails = true;
    Switch(true);
    ASSERT_EQ(View.Reasons.size(), 1);
    EXPECT_EQ(View.Reasons[0], "Cannot open a.dng: not enough memory to develop the raw file");
    EXPECT_EQ(View.Shown, shown);
    EXPECT_EQ(View.Rendition, TRawRendition::CameraPreview);
    EXPECT_EQ(Hist.Raw(), counts);
    EXPECT_EQ(Files.sCurrFile, Path("a.dng"));
    // Still on: the next raw file opened is developed, once it can be.
    DevelopmentFails = false;
    Load("b.dng");
    EXPECT_EQ(View.Rendition, TRawRendition::Developed);
}

// A raw file opened directly is shown as soon as its picture is decoded: its sensor, read
// beside it, joins it afterwards, and the cache weighs the picture again. Another picture
// shown meanwhile cancels the reading; back at the raw file, it is read again.
TEST_F(DevelopRaw, TheSensorJoinsThePictureShownWithoutHoldingItUp) {
    std::atomic<bool> gateOpen = false;
    std::atomic<int> cancelled = 0;
    Op.SetSensorReader([&](const QString& path, const std::function<bool()>& cancel) {
        while (!gateOpen) {
            if (cancel()) {
                ++cancelled;
                return TSensorKept{};
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return ReadSensorOfFile(path, cancel);
    });
    Load("a.dng");
    EXPECT_EQ(View.Rendition, TRawRendition::CameraPreview);
    EXPECT_EQ(Op.CurrentPicture()->Sensor(), nullptr);

    Load("d.bmp");
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancelled == 1; }, Patience));
    gateOpen = true;
    QTest::qWait(50);
    EXPECT_EQ(View.SensorsArrived, 0);

    Load("a.dng"); // from the cache, still without its sensor
    const std::int64_t cacheBefore = Cache.UsedBytes();
    const std::int64_t pictureBefore = Op.CurrentPicture()->Bytes();
    ASSERT_TRUE(QTest::qWaitFor([&] { return View.SensorsArrived == 1; }, Patience));
    const TPictureRef picture = Op.CurrentPicture();
    ASSERT_NE(picture->Sensor(), nullptr);
    EXPECT_EQ(picture->Sensor()->Pattern, "RGGB");
    ASSERT_NE(picture->Mosaic(), nullptr);
    EXPECT_GT(picture->Bytes(), pictureBefore + picture->Mosaic()->Bytes() - 1);
    EXPECT_EQ(Cache.UsedBytes() - cacheBefore, picture->Bytes() - pictureBefore);
}
