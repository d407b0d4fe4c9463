// The View tab in the window: the marks and readout of the pixel under the pointer (never in
// an export), the clipped pixels painted over the picture from a worker, the log count axis,
// the tab's place, key tip and shortcuts, and the choices remembered outside the record.
#include "app_core.h"
#include "commands.h"
#include "hist_export.h"
#include "hist_painter.h"
#include "hist_panel.h"
#include "hist_readout.h"
#include "image_view.h"
#include "main_ribbon.h"
#include "main_window.h"
#include "neighbour_preparer.h"
#include "ribbon_bar.h"
#include "ribbon_page.h"
#include "settings_location.h"
#include "status_bar.h"
#include "view_choices.h"
#include "view_options.h"

#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include "dng_maker.h"
#include "raw_with_preview.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

class ViewTab : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        OpenUserSettings()->clear();
        test::StoreNormalWindow({1021, 780});
        Start();
    }
    void TearDown() override {
        if (Window)
            Window->close();
    }
    void Start() {
        Core = std::make_unique<TAppCore>();
        test::ShowNewWindow(*Core, Window);
    }
    void Restart() {
        Window->close();
        Window.reset();
        Start();
    }
    // Saves the picture losslessly and opens it in the window.
    void Open(const QImage& picture, const QString& name = QStringLiteral("picture.bmp")) {
        const QString path = QDir(Dir.path()).filePath(name);
        ASSERT_TRUE(picture.save(path, "BMP"));
        test::OpenAndWait(*Window, path);
    }
    QAction* Cmd(C id) const { return Window->Commands()[id]; }
    THistPanel* Panel() const { return Window->HistPanel(); }
    TImageView* View() const { return Window->MainImage(); }
    // The pointer over the middle of stored pixel (x, y) of an upright picture, as the
    // image panel gets it (the view lets the moves through).
    void PointAt(int x, int y) {
        const QRect r = View()->PictureRect();
        const QSize size = View()->Image().size();
        const QPointF inView(r.left() + (x + 0.5) * r.width() / size.width(),
                             r.top() + (y + 0.5) * r.height() / size.height());
        Send(QPointF(View()->mapTo(Window->ImagePanel(), QPoint(0, 0))) + inView);
    }
    void Send(QPointF at) {
        QWidget* panel = Window->ImagePanel();
        QMouseEvent move(QEvent::MouseMove, at, panel->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(panel, &move);
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(Window->ImagePanel(), &leave);
    }
    QString Text() const { return Window->StatusBar()->ReadoutText(); }
    QByteArray Exported() const {
        const std::unique_ptr<QBuffer> png = Window->Export().HistToPngStream();
        return png ? png->data() : QByteArray();
    }

    QTemporaryDir Dir;
    std::unique_ptr<TAppCore> Core;
    std::unique_ptr<TfrmMain> Window;
};

// Mid-grey, with a known colour at (50, 10), white at the top-left and black at the
// bottom-right.
QImage Marked() {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(QColor(120, 120, 120));
    picture.setPixel(50, 10, qRgb(201, 143, 88));
    picture.setPixel(0, 0, qRgb(255, 255, 255));
    picture.setPixel(63, 47, qRgb(0, 0, 0));
    return picture;
}

} // namespace

TEST_F(ViewTab, ThePixelUnderThePointerIsMarkedOnScreenAndNamedButNeverExported) {
    Open(Marked());
    const QByteArray before = Exported();
    ASSERT_FALSE(before.isEmpty());
    PointAt(50, 10);
    EXPECT_EQ(Text(), THistReadout::PixelText(50, 10, 201, 143, 88));
    // The worked example: hue 29.2° counted in the quarter-degree bin of 29.25°, L* 63.97,
    // a* 15.95, b* 37.72 (whole units from the bins of half units).
    EXPECT_EQ(Text(), "x 50 y 10: RGB 201 143 88, H 29.25° S 56 % V 79 %, L 64 a 16 b 38");
    EXPECT_EQ(Panel()->Marks(), PixelMarks(201, 143, 88));
    EXPECT_EQ(Panel()->Marks().size(), 12u); // three on the sum, one on each of the others

    // On screen each mark is a column of its colour; the export is the panel without them.
    const QImage screen = Panel()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage exported = HistPanelImage(Panel()->Scene());
    for (const THistMark& m : Panel()->Marks()) {
        const QRect r = MarkRect(Panel()->Scene(), m);
        ASSERT_FALSE(r.isEmpty()) << ChannelName(m.Channel);
        const QPoint mid(r.left(), r.center().y());
        EXPECT_EQ(screen.pixel(mid), m.Colour.rgb()) << ChannelName(m.Channel);
        EXPECT_NE(exported.pixel(mid), m.Colour.rgb()) << ChannelName(m.Channel);
    }
    EXPECT_EQ(Exported(), before);

    PointAt(0, 0);
    EXPECT_EQ(Text(), THistReadout::PixelText(0, 0, 255, 255, 255));
    EXPECT_EQ(Exported(), before);
    Leave();
    EXPECT_TRUE(Text().isEmpty());
    EXPECT_TRUE(Panel()->Marks().empty());
    // Beside the picture, where the view's proportions leave a margin: no marks.
    PointAt(50, 10);
    const QRect r = View()->PictureRect();
    ASSERT_TRUE(r.left() > 0 || r.top() > 0);
    const QPoint beside =
        r.left() > 0 ? QPoint(r.left() - 1, r.center().y()) : QPoint(r.center().x(), r.top() - 1);
    Send(QPointF(View()->mapTo(Window->ImagePanel(), beside)));
    EXPECT_TRUE(Panel()->Marks().empty());
    EXPECT_TRUE(Text().isEmpty());
    EXPECT_EQ(Exported(), before);
}

TEST_F(ViewTab, ClippedPixelsArePaintedFromAWorkerAndFollowThePicture) {
    Open(Marked());
    EXPECT_TRUE(View()->Overlay().isNull()) << "off by default";
    Cmd(C::acShowClipping)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !View()->Overlay().isNull(); }));
    const QImage overlay = View()->Overlay();
    ASSERT_EQ(overlay.size(), QSize(64, 48));
    EXPECT_EQ(overlay.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(overlay.pixel(63, 47), qRgb(0, 0, 255));
    EXPECT_EQ(qAlpha(overlay.pixel(50, 10)), 0);
    // The histograms and the export do not change.
    const QByteArray withOverlay = Exported();
    Cmd(C::acShowClipping)->trigger();
    EXPECT_TRUE(View()->Overlay().isNull());
    EXPECT_EQ(Exported(), withOverlay);

    // A new picture while it is on gets its own overlay.
    Cmd(C::acShowClipping)->trigger();
    QImage plain(32, 16, QImage::Format_RGB32);
    plain.fill(QColor(90, 90, 90));
    Open(plain, QStringLiteral("plain.bmp"));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !View()->Overlay().isNull(); }));
    EXPECT_EQ(View()->Overlay().size(), QSize(32, 16));
    EXPECT_EQ(qAlpha(View()->Overlay().pixel(0, 0)), 0);
}

// The bar heights of a histogram's picture, column by column.
std::vector<int> Heights(const THistImage& image) {
    std::vector<int> heights;
    for (int x = 0; x < image.Picture().width(); ++x) {
        int h = 0;
        for (int y = 0; y < image.Picture().height(); ++y)
            h += image.Picture().pixel(x, y) != image.Background().rgb();
        heights.push_back(h);
    }
    return heights;
}

TEST_F(ViewTab, TheLogAxisRedrawsTheHistogramsAndTheExportFollows) {
    Open(Marked());
    const QByteArray linear = Exported();
    const std::vector<int> linearR = Heights(Panel()->Image(TChannel::R));
    Cmd(C::acLogScale)->trigger();
    EXPECT_EQ(Panel()->CountScale(), TCountScale::Log);
    EXPECT_NE(Exported(), linear);
    // ln(1 + v) / ln(1 + max) is never below v / max: no bar is lower, and the small
    // counts beside the grey's peak are higher.
    const std::vector<int> logR = Heights(Panel()->Image(TChannel::R));
    ASSERT_EQ(logR.size(), linearR.size());
    int higher = 0;
    for (std::size_t x = 0; x < logR.size(); ++x) {
        EXPECT_GE(logR[x], linearR[x]) << "column " << x;
        higher += logR[x] > linearR[x];
    }
    EXPECT_GT(higher, 0);
    Cmd(C::acLogScale)->trigger();
    EXPECT_EQ(Exported(), linear);
}

TEST_F(ViewTab, HasATabOfItsOwnWithAnUnusedKeyTipAndShortcutsThatLeaveTheOthersAlone) {
    TRibbonBar* rb = Window->Ribbon();
    ASSERT_EQ(rb->PageCount(), 3);
    EXPECT_EQ(rb->Page(0)->objectName(), "rpMain");
    EXPECT_EQ(rb->Page(1)->objectName(), "rpHelp");
    EXPECT_EQ(rb->Page(2)->objectName(), "rpView");
    EXPECT_EQ(rb->Page(2)->Caption(), "View");
    // The tabs' first letters are their tips: F (File), M, H and now V.
    QSet<QChar> tips{rb->AppMenuKeyTip()};
    for (int i = 0; i < rb->PageCount(); ++i) {
        const QChar tip = rb->Page(i)->Caption().at(0).toUpper();
        EXPECT_FALSE(tips.contains(tip)) << rb->Page(i)->Caption().toStdString();
        tips.insert(tip);
    }
    const QList<QKeySequence> kept = {QKeySequence("Ctrl+O"), QKeySequence("Ctrl+S"),
                                      QKeySequence("Ctrl+C"), QKeySequence("Ctrl+V"),
                                      QKeySequence("F1"),     QKeySequence("Ctrl+F1")};
    for (C id : {C::acLogScale, C::acShowClipping, C::acWholePicture}) {
        const QKeySequence key = Cmd(id)->shortcut();
        ASSERT_FALSE(key.isEmpty()) << CommandEntry(id).Name;
        EXPECT_FALSE(kept.contains(key)) << CommandEntry(id).Name;
        const int bare = key[0].key();
        EXPECT_FALSE((bare >= Qt::Key_Left && bare <= Qt::Key_PageDown)) << CommandEntry(id).Name;
        for (QAction* other : Window->Commands().All())
            if (other != Cmd(id)) {
                EXPECT_NE(other->shortcut(), key) << CommandEntry(id).Name;
            }
        EXPECT_FALSE(Cmd(id)->isChecked()) << "off by default";
    }
}

TEST_F(ViewTab, TheChoicesAreRememberedApartFromTheRecord) {
    Restart(); // the record as this window size leaves it, with both choices off
    const QByteArray record = OpenUserSettings()->value("State").toByteArray();
    ASSERT_EQ(record.size(), 48);
    Cmd(C::acLogScale)->trigger();
    Cmd(C::acShowClipping)->trigger();
    Restart();
    EXPECT_TRUE(Cmd(C::acLogScale)->isChecked());
    EXPECT_TRUE(Cmd(C::acShowClipping)->isChecked());
    EXPECT_EQ(Panel()->CountScale(), TCountScale::Log);
    EXPECT_EQ(Window->ViewChoices()->Options(), (TViewOptions{true, true}));
    Window->close();
    EXPECT_EQ(OpenUserSettings()->value("State").toByteArray(), record);
    EXPECT_EQ(LoadViewOptions(*OpenUserSettings()), (TViewOptions{true, true}));

    // What cannot be read keeps its default.
    OpenUserSettings()->setValue("View/LogScale", "sometimes");
    EXPECT_EQ(LoadViewOptions(*OpenUserSettings()), (TViewOptions{false, true}));
    Window.reset();
}

TEST_F(ViewTab, TheRawChoicesAreRememberedAndWaitForAPictureWithASensorHistogram) {
    Open(Marked());
    const QByteArray plain = Exported();
    for (C id : {C::acRawHistogram, C::acRawLinear}) {
        EXPECT_FALSE(Cmd(id)->isChecked()) << "off by default";
        EXPECT_FALSE(Cmd(id)->isEnabled()) << "a picture without a sensor histogram";
    }
    Window->ViewChoices()->SetRaw(true);
    Window->ViewChoices()->SetRawLinear(true);
    Restart();
    Open(Marked());
    EXPECT_TRUE(Cmd(C::acRawHistogram)->isChecked());
    EXPECT_TRUE(Cmd(C::acRawLinear)->isChecked());
    EXPECT_EQ(Window->ViewChoices()->Options(), (TViewOptions{false, false, true, true}));
    EXPECT_FALSE(Panel()->Scene().RawShown());
    EXPECT_EQ(Exported(), plain) << "without a sensor histogram the panel is as it was";

    // Given one, the panel makes room for the group, on the remembered axis.
    auto sensor = std::make_shared<TSensorHistogram>();
    sensor->White = 1023;
    sensor->Channels.resize(3);
    for (TSensorChannel& c : sensor->Channels)
        c.Counts.assign(1024, 1);
    const int panelHeight = Panel()->PanelHeight();
    Panel()->SetSensor(sensor);
    EXPECT_TRUE(Panel()->Scene().RawShown());
    EXPECT_EQ(Panel()->Scene().Raw().Axis(), TRawAxis::Linear);
    EXPECT_LT(Panel()->PanelHeight(), panelHeight);
    EXPECT_LE(Panel()->Scene().RawTabRect().bottom(), Panel()->height() - 1);
    Panel()->SetSensor(nullptr);
    EXPECT_EQ(Panel()->PanelHeight(), panelHeight);
    EXPECT_EQ(Exported(), plain);

    Window->close();
    EXPECT_EQ(LoadViewOptions(*OpenUserSettings()), (TViewOptions{false, false, true, true}));
    Window.reset();
}

// A camera raw file opened in the window brings its sensor's histogram: the Raw group is
// shown with it, the status bar names the picture shown, and a step to another file drops it.
TEST_F(ViewTab, ARawFileShowsItsSensorsHistogramAndSaysWhichPictureIsShown) {
    test::TDngLayout layout;
    layout.Value = [](int x, int y, int) { return std::uint16_t(100 + 50 * x + 9 * y); };
    const QString raw = QDir(Dir.path()).filePath("b-shot.dng");
    ASSERT_TRUE(test::WriteDng(raw.toStdString(), layout));
    Open(Marked(), "a-picture.bmp");
    Window->ViewChoices()->SetRaw(true);
    test::OpenAndWait(*Window, raw);
    EXPECT_TRUE(Cmd(C::acRawHistogram)->isEnabled());
    EXPECT_TRUE(Panel()->Scene().RawShown());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Developed from raw 64 x 48");
    Open(Marked(), "a-picture.bmp");
    EXPECT_FALSE(Panel()->Scene().RawShown());
    EXPECT_FALSE(Cmd(C::acRawHistogram)->isEnabled());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
}

// Show Clipping on a camera raw file paints what clipped on its sensor, by filter colour,
// and the pointer's readout adds the raw values of the tile under it; a JPEG keeps the
// stored pixels' overlay and readout.
TEST_F(ViewTab, ARawFilesClippingAndReadoutAreItsSensors) {
    test::TDngLayout layout; // 64 × 48 RGGB, developed: no preview
    layout.Value = [](int x, int y, int) {
        const bool corner = x < 8 && y < 8;
        const bool greens = x >= 40 && x < 48 && y >= 24 && y < 32 && (x + y) % 2 == 1;
        return std::uint16_t(corner || greens ? 4095 : 900 + 10 * x + y);
    };
    const QString raw = QDir(Dir.path()).filePath("shot.dng");
    ASSERT_TRUE(test::WriteDng(raw.toStdString(), layout));
    Cmd(C::acShowClipping)->trigger();
    test::OpenAndWait(*Window, raw);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !View()->Overlay().isNull(); }));
    QImage overlay = View()->Overlay();
    ASSERT_EQ(overlay.size(), QSize(64, 48));
    EXPECT_EQ(overlay.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(overlay.pixel(41, 24), qRgb(0, 255, 0));
    EXPECT_EQ(qAlpha(overlay.pixel(20, 30)), 0);

    PointAt(41, 24);
    EXPECT_TRUE(Text().startsWith("x 41 y 24: RGB ")) << Text().toStdString();
    EXPECT_TRUE(Text().endsWith(", Raw R 1324 G 4095 G2 4095 B 1335")) << Text().toStdString();
    PointAt(63, 47); // the last tile: photosites 62..63, 46..47
    EXPECT_TRUE(Text().endsWith(", Raw R 1566 G 1576 G2 1567 B 1577")) << Text().toStdString();

    QImage bright(64, 48, QImage::Format_RGB32);
    bright.fill(QColor(120, 120, 120));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            bright.setPixel(x, y, qRgb(255, 255, 255));
    const QString jpeg = QDir(Dir.path()).filePath("bright.jpg");
    ASSERT_TRUE(bright.save(jpeg, "JPG", 100));
    test::OpenAndWait(*Window, jpeg);
    ASSERT_TRUE(QTest::qWaitFor([this] {
        return !View()->Overlay().isNull() && View()->Overlay().pixel(0, 0) != qRgb(255, 255, 255);
    }));
    EXPECT_EQ(View()->Overlay().pixel(0, 0), qRgb(255, 0, 0));
    PointAt(41, 24);
    EXPECT_FALSE(Text().contains("Raw")) << Text().toStdString();
}

// Develop Raw is a mode of this run: while on, a raw file is shown as LibRaw's development of
// its sensor's values, counted as any picture; off, as the camera's preview. It is available
// only while a raw file's picture is shown.
TEST_F(ViewTab, DevelopRawShowsTheRawFilesDevelopmentWhileOn) {
    const QString raw = QDir(Dir.path()).filePath("b-shot.dng");
    ASSERT_TRUE(test::WriteRawWithPreview(raw.toStdString()));
    const auto countsOf = [&raw](bool developed) {
        const auto opened = OpenImageFile(raw, 0, {}, nullptr, {}, developed);
        EXPECT_TRUE(opened.Ok()) << opened.Reason();
        return opened.Ok() ? (*opened)->Picture->Counts() : TAllChanel{};
    };
    QAction* develop = Cmd(C::acDevelopRaw);
    Open(Marked(), "a-picture.bmp");
    EXPECT_FALSE(develop->isEnabled());
    EXPECT_FALSE(develop->isChecked());
    test::OpenAndWait(*Window, raw);
    EXPECT_TRUE(develop->isEnabled());
    EXPECT_FALSE(develop->isChecked()) << "the program starts on the cameras' previews";
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Camera preview 40 x 30");

    develop->trigger();
    test::WaitOpened(*Window);
    EXPECT_TRUE(develop->isChecked());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Developed from raw 64 x 48");
    EXPECT_EQ(Core->Hist->Raw(), countsOf(true));
    EXPECT_TRUE(develop->isEnabled());
    EXPECT_TRUE(Cmd(C::acRawHistogram)->isEnabled()) << "the sensor's histogram comes along";

    develop->trigger();
    test::WaitOpened(*Window);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Camera preview 40 x 30");
    EXPECT_EQ(Core->Hist->Raw(), countsOf(false));

    // On while another picture is shown: that picture is as it was, the toggle waits.
    develop->trigger();
    test::WaitOpened(*Window);
    Open(Marked(), "a-picture.bmp");
    EXPECT_FALSE(develop->isEnabled());
    EXPECT_TRUE(develop->isChecked());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    test::OpenAndWait(*Window, raw);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Developed from raw 64 x 48");

    // Not remembered.
    Restart();
    EXPECT_FALSE(Cmd(C::acDevelopRaw)->isChecked());
    test::OpenAndWait(*Window, raw);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "Camera preview 40 x 30");
}
