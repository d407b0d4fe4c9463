// A region dragged on the picture, in the window: counted on a worker exactly as the same
// pixels cropped and opened as a picture of their own (colour models sampled, a turned JPEG
// mapped back to its stored pixels), exported as shown, named in the status bar; moved,
// resized, left by a click outside, Escape, the command or another picture, while the
// picture's own counts stay as they were.
#include "accumulate.h"
#include "app_core.h"
#include "commands.h"
#include "hist_export.h"
#include "image_view.h"
#include "main_window.h"
#include "region_choice.h"
#include "status_bar.h"

#include "colour_fixture.h"
#include "jpeg_encoder.h"
#include "open_gate.h"
#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <algorithm>
#include <memory>
#include <vector>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

// Gradients with a little noise in every primary: no two regions count alike, and the
// colour models' sampling has something to settle on.
QImage Varied(int width, int height) {
    QImage picture(width, height, QImage::Format_RGB32);
    std::uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1664525u + 1013904223u;
            picture.setPixel(x, y,
                             qRgb((x * 220 / width + int(seed >> 27)) & 255,
                                  (y * 200 / height + int((seed >> 19) & 31)) & 255,
                                  ((x + y) * 120 / (width + height) + int((seed >> 9) & 63))));
        }
    return picture;
}

std::vector<QRgb> SortedPixels(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<QRgb> pixels;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x)
            pixels.push_back(rgb.pixel(x, y));
    std::sort(pixels.begin(), pixels.end());
    return pixels;
}

QByteArray Exported(const TfrmMain& window) {
    const std::unique_ptr<QBuffer> png = window.Export().HistToPngStream();
    return png ? png->data() : QByteArray();
}

class Region : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        OpenUserSettings()->clear();
        test::StoreNormalWindow({1021, 780});
    }
    void TearDown() override {
        for (std::unique_ptr<TfrmMain>* w : {&Window, &Other})
            if (*w)
                (*w)->close();
    }
    void Start() { test::ShowNewWindow(Core, Window); }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    void SaveBmp(const QImage& picture, const QString& name) {
        ASSERT_TRUE(picture.save(Path(name), "BMP"));
    }
    // A JPEG whose file says it is shown turned a quarter clockwise.
    void SaveTurnedJpeg(const QImage& picture, const QString& name) {
        std::vector<std::uint8_t> samples;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x) {
                const QRgb p = picture.pixel(x, y);
                samples.insert(samples.end(), {std::uint8_t(qRed(p)), std::uint8_t(qGreen(p)),
                                               std::uint8_t(qBlue(p))});
            }
        test::TJpegEncoding e;
        e.Exif = test::ExifWithOrientation(6);
        const std::vector<std::uint8_t> jpeg =
            test::EncodeWithLibjpeg(picture.width(), picture.height(), samples, e);
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    }

    TRegionChoice* Choice() const { return Window->RegionChoice(); }
    TImageView* View() const { return Window->MainImage(); }
    // A point of the view at the given shares of the picture's width and height.
    QPointF At(double fx, double fy) const {
        const QRectF r(View()->PictureRect());
        return {r.left() + fx * r.width(), r.top() + fy * r.height()};
    }
    // The pointer as the image panel gets it (the view lets it through), at a point of the view.
    void Mouse(QEvent::Type type, QPointF inView, Qt::MouseButtons buttons) {
        QWidget* panel = Window->ImagePanel();
        const QPointF at = inView + QPointF(View()->mapTo(panel, QPoint(0, 0)));
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, at, panel->mapToGlobal(at), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(panel, &e);
    }
    void Drag(QPointF from, QPointF to) {
        Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
        Mouse(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
        Mouse(QEvent::MouseMove, to, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    void Click(QPointF at) { Drag(at, at); }
    void WaitCounted() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return Choice()->Counted() && !Choice()->Counting(); },
                                    test::OpenPatience));
    }
    // Drags from one point to another and waits for the count of the region it leaves.
    TRegion DragAndCount(QPointF from, QPointF to) {
        Drag(from, to);
        WaitCounted();
        return Choice()->Region().value_or(TRegion{});
    }
    void Key(Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : Window.get(),
                        key);
    }
    QString Note() const { return Window->StatusBar()->RegionNote(); }
    void ExpectWholePicture(const TAllChanel& raw, const QByteArray& exported) {
        EXPECT_EQ(Choice()->Counted(), nullptr);
        EXPECT_FALSE(Choice()->Region());
        EXPECT_TRUE(View()->Selection().isEmpty());
        EXPECT_TRUE(Note().isEmpty());
        EXPECT_FALSE(Window->Commands()[C::acWholePicture]->isEnabled());
        EXPECT_TRUE(Core.Hist->Raw() == raw) << "the picture's own counts";
        EXPECT_EQ(Exported(*Window), exported);
    }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    TAppCore OtherCore;
    std::unique_ptr<TfrmMain> Other;
};

struct TPictureCase {
    const char* Name;
    bool TurnedJpeg; // stored 900 x 600, shown upright 600 x 900; else an upright BMP
};

class RegionOf : public Region, public testing::WithParamInterface<TPictureCase> {};

TEST_P(RegionOf, CountsAsTheSameRegionCroppedAndOpenedAsAPicture) {
    const bool turned = GetParam().TurnedJpeg;
    const QString name = turned ? QStringLiteral("turned.jpg") : QStringLiteral("upright.bmp");
    if (turned)
        SaveTurnedJpeg(Varied(900, 600), name);
    else
        SaveBmp(Varied(800, 500), name);
    Start();
    test::OpenAndWait(*Window, Path(name));
    const auto wholeRaw = std::make_unique<TAllChanel>(Core.Hist->Raw());
    const QByteArray wholeExport = Exported(*Window);
    EXPECT_FALSE(Window->Commands()[C::acWholePicture]->isEnabled());

    const TRegion region = DragAndCount(At(0.2, 0.25), At(0.8, 0.7));
    // Large enough that the colour models are sampled, in the region as in a picture.
    ASSERT_GT(std::int64_t{region.Width} * region.Height, FullCountLimit(TSampledModel::HSV));
    const QImage stored = View()->Image();
    ASSERT_TRUE(RegionFits(region, stored.width(), stored.height()));
    EXPECT_EQ(Note(), TRegionChoice::StatusText(region, false));
    EXPECT_EQ(Note(), QStringLiteral("Region %1,%2 \u2013 %3 x %4")
                          .arg(region.X)
                          .arg(region.Y)
                          .arg(region.Width)
                          .arg(region.Height));
    EXPECT_TRUE(Window->Commands()[C::acWholePicture]->isEnabled());
    EXPECT_FALSE(View()->Selection().isEmpty());

    // The rectangle drawn on the upright picture holds the very pixels counted.
    const QRect upright = Choice()->UprightRect();
    const QImage shown = turned ? stored.transformed(QTransform().rotate(90)) : stored;
    EXPECT_NEAR(upright.left(), 0.2 * shown.width(), 2);
    EXPECT_NEAR(upright.bottom(), 0.7 * shown.height(), 2);
    const QImage cropped = stored.copy(region.X, region.Y, region.Width, region.Height);
    EXPECT_EQ(SortedPixels(shown.copy(upright)), SortedPixels(cropped));

    // The same pixels as a 24-bit BMP of their own, opened in a second window.
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("crop")));
    const QString cropPath = Path(QStringLiteral("crop/region.bmp"));
    ASSERT_TRUE(cropped.save(cropPath, "BMP"));
    QFile bmp(cropPath);
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_EQ(bmp.read(30).at(28), 24) << "bits a pixel";
    test::ShowNewWindow(OtherCore, Other);
    test::OpenAndWait(*Other, cropPath);

    const THist& counted = Choice()->Counted()->Engine();
    const THist& opened = OtherCore.Hist->Engine();
    for (const TImageType set : {Origin, Origin4Show})
        for (const TChannel c : AllChannels)
            EXPECT_TRUE(counted.Data[set][c] == opened.Data[set][c])
                << ChannelName(c) << (set == Origin ? " raw" : " display");
    // The panel, its exports and the clipping line show the region's counts.
    EXPECT_EQ(Exported(*Window), Exported(*Other));
    EXPECT_NE(Exported(*Window), wholeExport);
    EXPECT_EQ(Window->StatusBar()->ClippingText(), Other->StatusBar()->ClippingText());
    EXPECT_TRUE(Core.Hist->Raw() == *wholeRaw) << "the picture's own counts";

    Other->close();
    Other.reset();
    Key(Qt::Key_Escape);
    ExpectWholePicture(*wholeRaw, wholeExport);
}

INSTANTIATE_TEST_SUITE_P(Pictures, RegionOf,
                         testing::Values(TPictureCase{"UprightBmp", false},
                                         TPictureCase{"TurnedJpeg", true}),
                         [](const testing::TestParamInfo<TPictureCase>& p) {
                             return std::string(p.param.Name);
                         });

TEST_F(Region, IsMovedAndResizedAndLeftByAClickOutsideOrTheCommand) {
    SaveBmp(Varied(400, 300), QStringLiteral("a.bmp"));
    Start();
    test::OpenAndWait(*Window, Path(QStringLiteral("a.bmp")));
    const auto wholeRaw = std::make_unique<TAllChanel>(Core.Hist->Raw());
    const QByteArray wholeExport = Exported(*Window);

    // A click is no region.
    Click(At(0.5, 0.5));
    EXPECT_FALSE(Choice()->Region());
    // Dragged beyond the picture, it stops at its edges.
    const TRegion edge = DragAndCount(At(0.5, 0.5), At(1.5, 1.5));
    EXPECT_EQ(edge.X + edge.Width, 400);
    EXPECT_EQ(edge.Y + edge.Height, 300);
    const TRegion first = DragAndCount(At(0.1, 0.1), At(0.4, 0.5));
    const QByteArray firstExport = Exported(*Window);

    // Dragged from inside, it travels whole; the export follows the new count.
    const QRectF before = View()->SelectionRect();
    Drag(before.center(), before.center() + QPointF(40, 20));
    ASSERT_TRUE(Choice()->Region());
    const TRegion moved = *Choice()->Region();
    // Until its count is in, the histograms of the region before stay.
    EXPECT_EQ(Note(), TRegionChoice::StatusText(moved, true));
    EXPECT_EQ(Exported(*Window), firstExport);
    WaitCounted();
    EXPECT_EQ(Note(), TRegionChoice::StatusText(moved, false));
    EXPECT_GT(moved.X, first.X);
    EXPECT_GT(moved.Y, first.Y);
    EXPECT_NEAR(moved.Width, first.Width, 1);
    EXPECT_NEAR(moved.Height, first.Height, 1);
    EXPECT_NE(Exported(*Window), firstExport);

    // By its bottom-right corner it grows, its top-left corner staying.
    const TRegion resized = DragAndCount(View()->SelectionRect().bottomRight(),
                                         View()->SelectionRect().bottomRight() + QPointF(30, 25));
    EXPECT_EQ(resized.X, moved.X);
    EXPECT_EQ(resized.Y, moved.Y);
    EXPECT_GT(resized.Width, moved.Width);
    EXPECT_GT(resized.Height, moved.Height);
    // By its left side past its right one, it turns over and stays within the picture.
    const QRectF r = View()->SelectionRect();
    const TRegion turned = DragAndCount(QPointF(r.left(), r.center().y()), At(0.98, 0.5));
    EXPECT_NEAR(turned.X, resized.X + resized.Width, 1);
    EXPECT_EQ(turned.Height, resized.Height);
    // A click inside changes nothing; one outside goes back to the whole picture.
    Click(View()->SelectionRect().center());
    EXPECT_EQ(Choice()->Region(), turned);
    EXPECT_NE(Choice()->Counted(), nullptr);
    Click(At(0.05, 0.05));
    ExpectWholePicture(*wholeRaw, wholeExport);

    DragAndCount(At(0.3, 0.3), At(0.6, 0.6));
    Window->Commands()[C::acWholePicture]->trigger();
    ExpectWholePicture(*wholeRaw, wholeExport);
}

TEST_F(Region, AnotherPictureShowsItsOwnCountsAndTheCacheKeepsThePictures) {
    SaveBmp(Varied(300, 200), QStringLiteral("a.bmp"));
    SaveBmp(Varied(200, 300), QStringLiteral("b.bmp"));
    Start();
    test::OpenAndWait(*Window, Path(QStringLiteral("a.bmp")));
    const auto wholeRaw = std::make_unique<TAllChanel>(Core.Hist->Raw());
    const QByteArray wholeExport = Exported(*Window);
    DragAndCount(At(0.2, 0.2), At(0.7, 0.7));
    // The region's histograms follow the smoothing switch like the picture's.
    Window->Commands()[C::acSmoothingOn]->trigger();
    EXPECT_EQ(Choice()->Counted()->SmoothLevel(), Core.Hist->SmoothLevel());
    Window->Commands()[C::acSmoothingOn]->trigger();
    EXPECT_EQ(Choice()->Counted()->SmoothLevel(), Core.Hist->SmoothLevel());

    Window->ShowNeighbor(TNeighbor::nNext);
    test::WaitOpened(*Window);
    EXPECT_EQ(Choice()->Counted(), nullptr);
    EXPECT_TRUE(View()->Selection().isEmpty());
    EXPECT_TRUE(Note().isEmpty());
    EXPECT_EQ(View()->Image().size(), QSize(200, 300));
    // Back from the cache: the record holds the whole picture's counts, as counted.
    Window->ShowNeighbor(TNeighbor::nPrev);
    test::WaitOpened(*Window);
    ExpectWholePicture(*wholeRaw, wholeExport);
}

TEST_F(Region, EscapeCancelsAnOpenFirstAndThenLeavesTheRegion) {
    // b in a folder of its own: as a's neighbour it would be prepared, not opened.
    SaveBmp(Varied(300, 200), QStringLiteral("a.bmp"));
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("other")));
    SaveBmp(Varied(200, 300), QStringLiteral("other/b.bmp"));
    test::TOpenGate gate;
    int opens = 0;
    Core.OpenFile = [&, gated = gate.Function()](const QString& path, int side,
                                                 std::stop_token cancel, TOpenProgress* p,
                                                 const TAdmission& admit, bool developed) {
        return ++opens == 1 ? OpenImageFile(path, side, cancel, p, admit, developed)
                            : gated(path, side, cancel, p, admit, developed);
    };
    Start();
    test::OpenAndWait(*Window, Path(QStringLiteral("a.bmp")));
    const TRegion region = DragAndCount(At(0.2, 0.2), At(0.7, 0.7));
    Window->LoadImageFile(Path(QStringLiteral("other/b.bmp")));
    ASSERT_TRUE(Window->Opening());
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.Started(); }));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Window->Opening());
    EXPECT_EQ(Choice()->Region(), region);
    EXPECT_NE(Choice()->Counted(), nullptr);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Choice()->Counted(), nullptr);
    EXPECT_TRUE(Note().isEmpty());
    Window->close(); // before the gate goes: its open has to have returned
    Window.reset();
}

} // namespace
