// Preparing the neighbours of the current image: the holding and dropping of preparations,
// and stepping onto a prepared image against opening the same file directly.
#include "image_opener.h"
#include "image_view.h"
#include "neighbour_preparer.h"
#include "opener_steps.h"
#include "reduced_copy.h"

#include "qt_raster.h"
#include "ucache.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace tonalyx;
using namespace tonalyx::test;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

constexpr int Patience = 20000; // ms: generous, for a loaded machine

// A preparation that reports when it starts and finishes only when let go; it counts the
// pictures alive, so the memory bound can be checked.
class TGatedPrepare {
  public:
    std::shared_ptr<TPreparedImage> operator()(const QString& path, int, std::stop_token cancel,
                                               TFileStamp stamp = {}) {
        std::unique_lock lock(Mutex);
        Started << path;
        Changed.notify_all();
        // A cancel wakes the wait.
        Changed.wait(lock, cancel, [&] { return Open || Released.contains(path); });
        SawCancel = SawCancel || cancel.stop_requested();
        if (path.endsWith("unreadable.jpg"))
            return nullptr;
        ++Alive;
        MaxAlive = std::max(MaxAlive, Alive);
        auto* prepared = new TPreparedImage;
        TRaster pixels = TRaster::Allocate(2, 2);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) {
                std::uint8_t* pixel = pixels.Row(y) + 3 * x; // blue, green, red
                pixel[0] = pixel[1] = 0;
                pixel[2] = static_cast<std::uint8_t>(path.size() % 256);
            }
        prepared->Picture = std::make_shared<const TPicture>(
            TPictureSource::File(PathOf(path), stamp), std::move(pixels), TAllChanel{});
        return {prepared, [this](TPreparedImage* p) {
                    delete p;
                    std::lock_guard held(Mutex);
                    --Alive;
                }};
    }
    void Release(const QString& path) {
        std::lock_guard lock(Mutex);
        Released << path;
        Changed.notify_all();
    }
    void OpenAll() {
        std::lock_guard lock(Mutex);
        Open = true;
        Changed.notify_all();
    }
    // Preparations start from the event loop, so it runs while waiting.
    void WaitStarted(const QString& path) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                std::lock_guard lock(Mutex);
                return Started.contains(path);
            },
            Patience));
    }
    int AliveNow() {
        std::lock_guard lock(Mutex);
        return Alive;
    }
    int MaxAliveSoFar() {
        std::lock_guard lock(Mutex);
        return MaxAlive;
    }

    std::mutex Mutex;
    std::condition_variable_any Changed;
    QStringList Started, Released;
    bool Open = false, SawCancel = false;
    int Alive = 0, MaxAlive = 0;
};

struct PreparerTest : testing::Test {
    std::shared_ptr<TGatedPrepare> Gate = std::make_shared<TGatedPrepare>();
    std::unique_ptr<TNeighbourPreparer> Preparer = std::make_unique<TNeighbourPreparer>(
        [g = Gate](const QString& p, int side, std::stop_token c, const TAdmission&, bool) {
            return (*g)(p, side, c);
        });
};

} // namespace

TEST_F(PreparerTest, HoldsTwoHandsEachOverOnceAndDropsWhatIsLeftBehind) {
    QStringList prepared;
    Preparer->SetOnPrepared([&](const QString& path) { prepared << path; });
    Preparer->Want({"/f/b.jpg", "/f/a.jpg", "/f/c.jpg"}, 0);
    EXPECT_EQ(Preparer->Held(), QStringList({"/f/b.jpg", "/f/a.jpg"}));
    Gate->OpenAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return prepared.size() == 2; }, Patience));
    EXPECT_EQ(prepared, QStringList({"/f/b.jpg", "/f/a.jpg"})); // in the order wanted
    // Files that do not exist: the stamp check is what turns them away, tested below.
    EXPECT_TRUE(Preparer->IsPrepared("/f/b.jpg"));
    EXPECT_EQ(Preparer->Take("/f/x.jpg"), nullptr);
    Preparer->Want({"/f/c.jpg", "/f/b.jpg"}, 0); // a stepped away from: dropped
    EXPECT_EQ(Preparer->Held(), QStringList({"/f/c.jpg", "/f/b.jpg"}));
    EXPECT_TRUE(Preparer->IsPrepared("/f/b.jpg")); // kept, not prepared again
    ASSERT_TRUE(QTest::qWaitFor([&] { return prepared.size() == 3; }, Patience));
    EXPECT_EQ(Gate->Started, QStringList({"/f/b.jpg", "/f/a.jpg", "/f/c.jpg"}));
    EXPECT_EQ(Gate->MaxAliveSoFar(), 2);
    Preparer->Want({}, 0);
    EXPECT_TRUE(Preparer->Held().isEmpty());
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return Gate->AliveNow() == 0; }, Patience)); // freed by the worker
}

TEST_F(PreparerTest, ATakeDuringPreparationWaitsForIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath("b.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    // The real stamp of the file, so that the stamp check passes.
    Preparer = std::make_unique<TNeighbourPreparer>(
        [g = Gate](const QString& p, int side, std::stop_token c, const TAdmission&, bool) {
            return (*g)(p, side, c, StampOf(PathOf(p)));
        });
    Preparer->Want({path}, 0);
    Gate->WaitStarted(path);
    std::atomic<bool> taking = false;
    std::thread release([&] {
        while (!taking)
            std::this_thread::yield();
        Gate->Release(path);
    });
    taking = true;
    const std::shared_ptr<TPreparedImage> prepared = Preparer->Take(path);
    release.join();
    ASSERT_NE(prepared, nullptr);
    EXPECT_EQ(PictureImage(prepared->Picture).pixel(0, 0),
              qRgb(static_cast<int>(path.size() % 256), 0, 0));
    EXPECT_TRUE(Preparer->Held().isEmpty());
    EXPECT_EQ(Preparer->Take(path), nullptr); // handed over once

    // A file rewritten after it was read is not handed over.
    Preparer->Want({path}, 0);
    Gate->Release(path);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Preparer->IsPrepared(path); }, Patience));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("more");
    file.close();
    EXPECT_EQ(Preparer->Take(path), nullptr);
}

TEST_F(PreparerTest, ADroppedPreparationIsCancelledAndNeverCountsTowardsTheBound) {
    Preparer->Want({"/f/a.jpg", "/f/b.jpg"}, 0);
    Gate->WaitStarted("/f/a.jpg");
    Preparer->Want({"/f/c.jpg", "/f/d.jpg"}, 0); // a, under way, and b are dropped
    Gate->Release("/f/a.jpg");
    Gate->WaitStarted("/f/c.jpg");
    EXPECT_TRUE(Gate->SawCancel);
    EXPECT_FALSE(Gate->Started.contains("/f/b.jpg"));
    Gate->OpenAll();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Preparer->IsPrepared("/f/d.jpg"); }, Patience));
    EXPECT_LE(Gate->MaxAliveSoFar(), TNeighbourPreparer::MaxHeld);
    // A file that cannot be read is left to the direct open.
    Preparer->Want({"/f/unreadable.jpg"}, 0);
    Gate->WaitStarted("/f/unreadable.jpg");
    EXPECT_EQ(Preparer->Take("/f/unreadable.jpg"), nullptr);
}

TEST_F(PreparerTest, DestroyedWhilePreparingItEndsWithoutReporting) {
    bool reported = false;
    Preparer->SetOnPrepared([&](const QString&) { reported = true; });
    Preparer->Want({"/f/a.jpg"}, 0);
    Gate->WaitStarted("/f/a.jpg");
    Preparer.reset(); // the preparation sees the cancel and ends
    EXPECT_TRUE(Gate->SawCancel);
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
    EXPECT_EQ(Gate->Alive, 0);
}

// ---- stepping through a folder with the real preparation

namespace {

class TView : public TOpenerView {
  public:
    QStringList Log, Recent, Reasons;
    QImage Shown, Preview;
    void SetWaitCursor(bool) override {}
    void SetImgCtrl(bool s, bool navOff) override {
        Log << QStringLiteral("ctrl %1 %2").arg(s).arg(navOff);
    }
    void ShowImage(const QImage& image) override {
        Shown = image;
        Preview = QImage();
        Log << "image";
    }
    void ShowPreparedImage(const QImage& image, const QImage& preview) override {
        Shown = image;
        Preview = preview;
        Log << "image";
    }
    int PreviewSide() const override { return 24; }
    void RedrawHistograms() override { Log << "draw"; }
    void SetAppTitle(const TPictureSource&) override { Log << "title"; }
    void ShowImageSize(QSize, TRawRendition) override {}
    void HideWelcome() override {}
    void RememberRecentImage(const QString& path) override { Recent << path; }
    void Fail(const QString& reason) override { Reasons << reason; }
};

// Gradients, so that every channel has counts in many bins.
QImage Picture(int w, int h, int seed) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y,
                         qRgb((x * 5 + seed * 40) % 256, (y * 7 + seed) % 256, (x + y) % 256));
    return img;
}

struct Stepping : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(Picture(60, 40, i).save(Path(QStringLiteral("p%1.jpg").arg(i)), "JPG"));
        Op.Preparer()->SetOnPrepared([this](const QString& path) { Prepared << path; });
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    bool WaitPrepared(const QString& name) {
        return QTest::qWaitFor([&] { return Op.Preparer()->IsPrepared(Path(name)); }, Patience);
    }
    void Load(const QString& name) { LoadAndSettle(Op, Path(name)); }
    void Step(TNeighbor neighbor) { StepAndSettle(Op, neighbor); }

    QTemporaryDir Dir;
    TCurrentHist Hist;
    TFiles Files;
    TCache Cache{64 << 20};
    TView View;
    TImageOpener Op{Hist, Files, Cache, View, std::make_unique<TNeighbourPreparer>()};
    QStringList Prepared;
};

} // namespace

TEST_F(Stepping, APreparedStepShowsWhatADirectOpenShows) {
    Load("p1.jpg");
    EXPECT_EQ(Op.Preparer()->Held(), QStringList({Path("p2.jpg"), Path("p0.jpg")}));
    ASSERT_TRUE(WaitPrepared("p2.jpg"));
    View.Log.clear();
    Step(TNeighbor::nNext);

    // The same file opened directly, by an opener of its own.
    TCurrentHist hist;
    TFiles files;
    TCache cache{64 << 20};
    TView direct;
    TImageOpener plain(hist, files, cache, direct);
    plain.LoadImageFile(Path("p2.jpg"));
    Settle(plain);

    EXPECT_EQ(View.Log, QStringList({"image", "draw", "ctrl 1 0", "title"}));
    EXPECT_EQ(View.Shown, direct.Shown);
    EXPECT_EQ(View.Shown.format(), QImage::Format_BGR888);
    EXPECT_EQ(Hist.Raw(), hist.Raw());
    EXPECT_EQ(Hist.Display(), hist.Display());
    EXPECT_EQ(View.Preview, direct.Preview);
    EXPECT_EQ(View.Preview.size(), ReducedCopySize(direct.Shown.size(), View.PreviewSide()));
    EXPECT_EQ(View.Recent, QStringList({Path("p1.jpg"), Path("p2.jpg")}));
    EXPECT_EQ(Files.sCurrFile, Path("p2.jpg"));
    const std::optional<TCacheData> cached = Cache.Pop(Path("p2.jpg"));
    ASSERT_TRUE(cached);
    EXPECT_EQ(PictureImage(cached->Picture), direct.Shown);
    EXPECT_EQ(cached->Picture->Counts(), hist.Raw());
    // p1 is cached, so only p3 is prepared now.
    EXPECT_EQ(Op.Preparer()->Held(), QStringList({Path("p3.jpg")}));
}

TEST_F(Stepping, TheFolderChangingUnderThePreparation) {
    Load("p1.jpg");
    ASSERT_TRUE(WaitPrepared("p2.jpg"));
    // Before the first step the folder is read at the step, as without preparation: a
    // file added meanwhile is the next one.
    ASSERT_TRUE(Picture(60, 40, 9).save(Path("p1b.jpg"), "JPG"));
    Step(TNeighbor::nNext);
    EXPECT_EQ(Files.sCurrFile, Path("p1b.jpg"));
    EXPECT_EQ(View.Recent.last(), Path("p1b.jpg"));
    ASSERT_TRUE(WaitPrepared("p2.jpg"));
    // A prepared file deleted before the step fails as a direct open of it does.
    ASSERT_TRUE(QFile::remove(Path("p2.jpg")));
    const QImage before = View.Shown;
    Step(TNeighbor::nNext);
    ASSERT_EQ(View.Reasons.size(), 1);
    EXPECT_TRUE(View.Reasons[0].startsWith("Cannot open p2.jpg")) << View.Reasons[0].toStdString();
    EXPECT_EQ(View.Shown, before);
    EXPECT_EQ(View.Recent, QStringList({Path("p1.jpg"), Path("p1b.jpg")}));
    // The next step goes on from the file that failed.
    EXPECT_EQ(Op.Preparer()->Held(), QStringList({Path("p3.jpg")}));
}

TEST_F(Stepping, APastedPictureHasNothingPrepared) {
    Load("p1.jpg");
    EXPECT_FALSE(Op.Preparer()->Held().isEmpty());
    Op.PasteImage(Picture(10, 10, 1));
    Settle(Op);
    EXPECT_TRUE(Op.Preparer()->Held().isEmpty());
}

// A step onto a neighbour still being prepared waits for the preparation without holding
// the window, and shows what it made.
TEST(SteppingWhilePreparing, WaitsForThePreparationOffTheMainThread) {
    QTemporaryDir dir;
    const auto path = [&](const char* name) { return QDir(dir.path()).filePath(name); };
    ASSERT_TRUE(Picture(60, 40, 1).save(path("p1.jpg"), "JPG"));
    ASSERT_TRUE(Picture(60, 40, 2).save(path("p2.jpg"), "JPG"));
    auto gate = std::make_shared<TGatedPrepare>();
    TCurrentHist hist;
    TFiles files;
    TCache cache{64 << 20};
    TView view;
    TImageOpener op(hist, files, cache, view,
                    std::make_unique<TNeighbourPreparer>(
                        [gate](const QString& p, int side, std::stop_token c, const TAdmission&,
                               bool) { return (*gate)(p, side, c, StampOf(PathOf(p))); }));
    op.LoadImageFile(path("p1.jpg"));
    Settle(op);
    gate->WaitStarted(path("p2.jpg"));
    op.ShowNeighbor(TNeighbor::nNext);
    EXPECT_TRUE(op.IsOpening()); // and this thread goes on
    QCoreApplication::processEvents();
    EXPECT_TRUE(op.IsOpening());
    gate->Release(path("p2.jpg"));
    Settle(op);
    EXPECT_EQ(files.sCurrFile, path("p2.jpg"));
    EXPECT_EQ(view.Shown.size(), QSize(2, 2)); // the preparation's picture, not a decode's
    EXPECT_EQ(view.Recent.last(), path("p2.jpg"));
}

// What the neighbours hold counts against the room they are given, before they are decoded:
// one that would not fit beside the others, or in the memory left, is not prepared (a step
// onto it opens it directly, which makes room or says why not).
TEST(PreparerRoom, ANeighbourThatWouldNotFitIsNotPrepared) {
    QTemporaryDir dir;
    const QString small = QDir(dir.path()).filePath("small.bmp");
    const QString big = QDir(dir.path()).filePath("big.bmp");
    ASSERT_TRUE(Picture(40, 30, 1).save(small));
    ASSERT_TRUE(Picture(400, 300, 2).save(big));
    const std::int64_t smallBytes = OpenBytes(40, 30, 0), bigBytes = OpenBytes(400, 300, 0);
    constexpr std::uint64_t Plenty = std::uint64_t{100} << 30;
    const struct {
        std::int64_t Room;
        std::uint64_t MemoryLeft;
        bool SmallPrepared, BigPrepared;
    } cases[] = {
        {TNeighbourPreparer::Unbounded, Plenty, true, true},
        {smallBytes + bigBytes, Plenty, true, true},
        {smallBytes + bigBytes - 1, Plenty, true, false}, // big comes second: no room beside small
        {smallBytes - 1, Plenty, false, false},
        {TNeighbourPreparer::Unbounded, static_cast<std::uint64_t>(bigBytes - 1), true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Room << " " << c.MemoryLeft);
        TNeighbourPreparer preparer(PrepareImageFile, [left = c.MemoryLeft] { return left; });
        QStringList ended;
        preparer.SetOnPrepared([&](const QString& path) { ended << path; });
        preparer.Want({small, big}, 0, c.Room);
        ASSERT_TRUE(QTest::qWaitFor([&] { return ended.size() == 2; }, Patience));
        EXPECT_EQ(preparer.IsPrepared(small), c.SmallPrepared);
        EXPECT_EQ(preparer.IsPrepared(big), c.BigPrepared);
        EXPECT_EQ(preparer.HeldBytes(),
                  (c.SmallPrepared ? smallBytes : 0) + (c.BigPrepared ? bigBytes : 0));
        EXPECT_LE(preparer.HeldBytes(), c.Room);
    }
}
