// The main window as a user meets it: start-up, opening, pasting, dropping, stepping,
// keys, the context menu, smoothing, and histograms drawn exactly as the engine draws them.
#include "app_core.h"
#include "clipboard_watch.h"
#include "commands.h"
#include "hist_panel.h"
#include "image_format.h"
#include "image_view.h"
#include "main_ribbon.h"
#include "main_window.h"
#include "render.h"
#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "status_bar.h"
#include "status_texts.h"
#include "welcome_panel.h"

#include "colour_fixture.h"
#include "jpeg_encoder.h"
#include "open_gate.h"
#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <memory>

using namespace tonalyx;
using namespace ribbon;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

QImage Solid(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QImage Gradient(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x * y) % 256));
    return img;
}

class MainWindow : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(Gradient(64, 48).save(Path("a.bmp")));
        ASSERT_TRUE(Solid(30, 20, qRgb(0, 0, 200)).save(Path("b.jpg"), "JPG"));
        ASSERT_TRUE(Solid(8, 8, qRgb(0, 200, 0)).save(Path("c.bmp")));
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override {
        if (Window)
            Window->close();
    }

    // Creates and shows the window with the given command-line arguments.
    void Start(const QStringList& args = {}) {
        Window = std::make_unique<TfrmMain>(Core, args);
        Window->Beeper = [this] { ++Beeps; };
        Window->WarningMessage = [this](const QString& text) { Warnings << text; };
        test::StoreNormalWindow({1021, 780});
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Window->StartUpDone(); }));
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    QAction* Cmd(TCommandId id) const { return Window->Commands()[id]; }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : Window.get();
        QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
        test::WaitOpened(*Window);
    }
    void Drop(const QStringList& paths) {
        auto* mime = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << QUrl::fromLocalFile(p);
        mime->setUrls(urls);
        const QPoint at = Window->ImagePanel()->mapTo(Window.get(), QPoint(20, 20));
        QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Window.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Window.get(), &drop);
        delete mime;
    }
    void PollClipboard() { QTest::qWait(150); } // longer than the 100 ms poll

    QTemporaryDir Dir;
    test::TOpenGate Gate; // for the tests that hold an open; outlives the window
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    int Beeps = 0;
    QStringList Warnings;
};

} // namespace

TEST_F(MainWindow, FirstStartShowsTheWelcomePanelWithImageCommandsOff) {
    Start();
    EXPECT_TRUE(Window->Welcome()->isVisible());
    EXPECT_EQ(Window->windowTitle(), "Tonalyx");
    EXPECT_EQ(Window->Ribbon()->Caption(), "Varnel Tonalyx");
    for (TCommandId id : {C::acSaveHist, C::acCopyHist, C::acRGB, C::acHSV, C::acLab,
                          C::acSmoothingOn, C::acPrevImage, C::acNextImageQAT, C::acSocNetTW})
        EXPECT_FALSE(Cmd(id)->isEnabled()) << CommandEntry(id).Name;
    EXPECT_TRUE(Cmd(C::acOpenImageFile)->isEnabled());
    for (TCommandId id : {C::acRGB, C::acHSV, C::acLab, C::acSmoothingOn})
        EXPECT_TRUE(Cmd(id)->isChecked()) << CommandEntry(id).Name;
    EXPECT_EQ(Core.Hist->Engine().SmoothRepeatCnt, 3);
    // Green at start-up, then red once the first check finds no server (its port is closed).
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->LEDState() == TLEDState::lsRed; }, 10000));
    EXPECT_TRUE(Window->StatusBar()->ImageSizeText().isEmpty());
    // The welcome panel sits in the middle of the image panel.
    const QRect area = Window->ImagePanel()->rect();
    const QRect welcome = Window->Welcome()->geometry();
    EXPECT_LE(std::abs(welcome.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(welcome.center().y() - area.center().y()), 1);
    // Before any image every histogram is blank.
    const THistImage& r = Window->HistPanel()->Image(TChannel::R);
    EXPECT_EQ(r.Picture().pixelColor(r.Picture().width() / 2, r.Picture().height() - 1),
              r.Background());
}

TEST_F(MainWindow, CommandLineImageOpensAtStartUp) {
    Start({Path("a.bmp"), Path("ignored.jpg")});
    EXPECT_FALSE(Window->Welcome()->isVisible());
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->Ribbon()->DocumentName(), "a");
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_TRUE(Cmd(C::acNextImage)->isEnabled());
    EXPECT_TRUE(Warnings.isEmpty());
}

TEST_F(MainWindow, CommandLineWithAnUnsupportedFormatNamesIt) {
    Start({Path("scan.pcx")});
    EXPECT_EQ(Warnings, QStringList({"Format PCX not supported."}));
    EXPECT_TRUE(Window->Welcome()->isVisible());
    Window->close();
    Window.reset();
    Core = TAppCore();
    Start({Path("README")});
    EXPECT_EQ(Warnings.last(), "Format  not supported.");
}

TEST_F(MainWindow, HistogramsInTheWindowEqualTheEnginesDrawingPixelForPixel) {
    Start({Path("a.bmp")});
    THistPanel* panel = Window->HistPanel();
    for (TChannel c : AllChannels) {
        const THistImage& shown = panel->Image(c);
        const QColor bg = shown.Background();
        TRasterTarget expected(shown.ControlWidth(), shown.ControlHeight(),
                               TRgb{static_cast<std::uint8_t>(bg.red()),
                                    static_cast<std::uint8_t>(bg.green()),
                                    static_cast<std::uint8_t>(bg.blue())});
        expected.Clear();
        DrawChannel(expected, Core.Hist->Engine().Data[Origin4Show][c], BarColour(c));
        const QImage& picture = shown.Picture();
        ASSERT_EQ(picture.width(), expected.Width()) << ChannelName(c);
        ASSERT_EQ(picture.height(), expected.Height()) << ChannelName(c);
        int differing = 0;
        for (int y = 0; y < expected.Height(); ++y)
            for (int x = 0; x < expected.Width(); ++x) {
                const TRgb e = expected.Pixel(x, y);
                if (picture.pixel(x, y) != qRgb(e.r, e.g, e.b))
                    ++differing;
            }
        EXPECT_EQ(differing, 0) << ChannelName(c);
    }
    // A window resize draws them again at the new size.
    const int before = panel->PanelHeight();
    Window->resize(1200, 500);
    QApplication::processEvents();
    EXPECT_NE(panel->PanelHeight(), before);
    EXPECT_EQ(panel->Image(TChannel::L).Picture().height(),
              panel->Image(TChannel::L).ControlHeight() - 1);
}

TEST_F(MainWindow, RevisitFromTheCacheFollowsTitleAndSizeOnly) {
    Start();
    test::OpenAndWait(*Window, Path("a.bmp"));
    test::OpenAndWait(*Window, Path("b.jpg"));
    ASSERT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    Window->PasteImage(); // a failed paste: navigation stays as it was, a beep
    test::WaitOpened(*Window);
    Cmd(C::acPrevImage)->setEnabled(false); // mark the state a cache hit must not touch
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    test::OpenAndWait(*Window, Path("a.bmp"));
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
    EXPECT_FALSE(Cmd(C::acPrevImage)->isEnabled());
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    EXPECT_EQ(Window->RecentItemsFull(), QStringList({Path("a.bmp"), Path("b.jpg")}));
}

TEST_F(MainWindow, APortraitInAdobeRgbIsShownUprightAndItsSpaceNamed) {
    std::vector<std::uint8_t> samples(std::size_t(60) * 40 * 3, 150);
    test::TJpegEncoding e;
    e.Exif = test::ExifWithOrientation(6);
    e.Icc = test::RgbProfile(test::AdobeRgbSpace, "Adobe RGB (1998)");
    const std::vector<std::uint8_t> jpeg = test::EncodeWithLibjpeg(60, 40, samples, e);
    QFile file(Path("portrait.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size()));
    file.close();
    Start({Path("portrait.jpg")});
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "40 x 60");
    EXPECT_EQ(Window->StatusBar()->ColourSpaceText(), "Adobe RGB (1998)");
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(60, 40)); // counted as stored
    const QRect shown = Window->MainImage()->PictureRect();
    EXPECT_NEAR(double(shown.height()) / shown.width(), 1.5, 0.02);
    test::OpenAndWait(*Window, Path("a.bmp"));
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_TRUE(Window->StatusBar()->ColourSpaceText().isEmpty());
}

TEST_F(MainWindow, FailedLoadKeepsThePreviousImage) {
    Start({Path("a.bmp")});
    QFile::copy(Path("c.bmp"), Path("liar.jpg"));
    test::OpenAndWait(*Window, Path("liar.jpg"));
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
    EXPECT_TRUE(Cmd(C::acSaveHist)->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, PasteFollowsTheClipboardPoll) {
    Start();
    PollClipboard();
    EXPECT_FALSE(Cmd(C::acPasteImage)->isEnabled());
    EXPECT_FALSE(Cmd(C::acPasteImageQAT)->isEnabled());
    Cmd(C::acPasteImageWelcome)->trigger(); // nothing to paste: the welcome button beeps
    EXPECT_EQ(Beeps, 1);
    EXPECT_TRUE(Window->Welcome()->isVisible());

    QGuiApplication::clipboard()->setImage(Solid(7, 5, qRgb(9, 9, 9)));
    PollClipboard();
    EXPECT_TRUE(Cmd(C::acPasteImage)->isEnabled());
    EXPECT_TRUE(Cmd(C::acPasteImageQAT)->isEnabled());
    Cmd(C::acPasteImageQAT)->trigger();
    test::WaitOpened(*Window);
    EXPECT_FALSE(Window->Welcome()->isVisible());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "7 x 5");
    EXPECT_EQ(Window->windowTitle(), Window->Ribbon()->DocumentName() + " - Tonalyx");
    EXPECT_TRUE(Cmd(C::acSaveHist)->isEnabled());
    EXPECT_FALSE(Cmd(C::acNextImage)->isEnabled());
    EXPECT_TRUE(Window->Ribbon()->RecentItems().isEmpty());

    QGuiApplication::clipboard()->clear();
    PollClipboard();
    EXPECT_FALSE(Cmd(C::acPasteImage)->isEnabled());
}

TEST_F(MainWindow, CtrlVPastesThroughEitherCommand) {
    Start();
    QGuiApplication::clipboard()->setImage(Solid(3, 2, qRgb(1, 2, 3)));
    PollClipboard();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "3 x 2");
}

TEST_F(MainWindow, UnreadableClipboardPictureIsOfferedButBeeps) {
    Start({Path("a.bmp")});
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("application/x-qt-image"), QByteArray("not a picture"));
    QGuiApplication::clipboard()->setMimeData(mime);
    PollClipboard();
    EXPECT_TRUE(Cmd(C::acPasteImage)->isEnabled());
    Cmd(C::acPasteImage)->trigger();
    test::WaitOpened(*Window);
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
}

TEST_F(MainWindow, TheWindowShowsBeforeTheCommandLineImageDecodes) {
    Core.OpenFile = Gate.Function(); // the picture is decoded only once the window is up
    Window = std::make_unique<TfrmMain>(Core, QStringList{Path("a.bmp")});
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    EXPECT_FALSE(Window->StartUpDone());
    EXPECT_TRUE(Window->Opening());
    EXPECT_TRUE(Window->StatusBar()->ImageSizeText().isEmpty());
    EXPECT_FALSE(Window->Welcome()->isVisible()); // it would only flash before the picture
    Gate.Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return Window->StartUpDone(); }));
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_FALSE(Window->Welcome()->isVisible());
}

TEST_F(MainWindow, ACommandLineImageThatFailsLeavesTheWelcomePanel) {
    Start({Path("missing.jpg")});
    EXPECT_TRUE(Window->Welcome()->isVisible());
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->windowTitle(), "Tonalyx");
}

TEST_F(MainWindow, EscapeCancelsAnOpenAsAFailureWouldEndItButWithoutTheBeep) {
    Core.OpenFile = Gate.Function(); // never let go
    Start();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Window->LoadImageFile(Path("b.jpg"));
    EXPECT_TRUE(Window->Opening());
    EXPECT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(Cmd(C::acSaveHist)->isEnabled());
    // A long open tells how far it has come, and how to stop it.
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->MessageText().startsWith("Opening b.jpg"); },
        test::OpenPatience));
    EXPECT_TRUE(Window->StatusBar()->MessageText().endsWith("(Esc cancels)"));
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Window->Opening());
    EXPECT_TRUE(QTest::qWaitFor([&] { return Gate.SawCancel(); }, test::OpenPatience));
    EXPECT_EQ(Beeps, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Cmd(C::acSaveHist)->isEnabled()); // as after a failed open
    EXPECT_EQ(Window->windowTitle(), "Tonalyx");
    // Neither the progress nor a failure stays (a hint under the pointer may show).
    EXPECT_FALSE(Window->StatusBar()->MessageText().startsWith("Opening"));
    EXPECT_FALSE(Window->StatusBar()->MessageText().startsWith("Cannot"));
    EXPECT_TRUE(Window->Ribbon()->RecentItems().isEmpty());
}

TEST_F(MainWindow, FailuresAndHintsShowBesideTheImageSize) {
    Start({Path("c.bmp")});
    Key(Qt::Key_Right);
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->StatusBar()->MessageText(), "No next image in this folder");
    // A hint under the pointer waits until the failure has been read.
    QStatusTipEvent hover(QStringLiteral("Open Image File"));
    QApplication::sendEvent(Window->Ribbon(), &hover);
    EXPECT_EQ(Window->StatusBar()->MessageText(), "No next image in this folder");
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->StatusBar()->MessageText() != "No next image in this folder"; },
        TStatusBar::FailureShowMs + 2000));
    EXPECT_EQ(Window->StatusBar()->MessageText(), "Open Image File");
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(Window->Ribbon(), &leave);
    EXPECT_TRUE(Window->StatusBar()->MessageText().isEmpty());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "8 x 8");
    for (QWidget* panel : Window->StatusBar()->findChildren<QLabel*>()) {
        if (!panel->objectName().startsWith("imLED")) {
            EXPECT_TRUE(panel->isVisible());
        }
    }
}

// A failure is about the moment: the next picture shown takes it away at once. A picture
// whose file ends early is shown as far as it goes, with a note that lasts while it is the
// one shown, cache hits included.
TEST_F(MainWindow, FailuresGoWithTheNextPictureAndAnIncompleteOneSaysSo) {
    ASSERT_TRUE(Gradient(64, 48).save(Path("d.jpg"), "JPG", 95));
    QFile cut(Path("d.jpg"));
    ASSERT_TRUE(cut.open(QIODevice::ReadWrite));
    ASSERT_TRUE(cut.resize(cut.size() / 2));
    cut.close();
    Start({Path("a.bmp")});
    TStatusBar* bar = Window->StatusBar();
    QStatusTipEvent leave{QString()}; // no hint of a command under the pointer
    QApplication::sendEvent(Window->Ribbon(), &leave);
    test::OpenAndWait(*Window, Path("missing.bmp"));
    EXPECT_TRUE(bar->MessageText().startsWith("Cannot open missing.bmp: "));
    test::OpenAndWait(*Window, Path("c.bmp"));
    EXPECT_TRUE(bar->MessageText().isEmpty()) << bar->MessageText().toStdString();
    test::OpenAndWait(*Window, Path("d.jpg"));
    EXPECT_EQ(bar->ImageSizeText(), "64 x 48");
    EXPECT_EQ(bar->MessageText(), IncompletePictureText());
    QStatusTipEvent hover(QStringLiteral("Open Image File"));
    QApplication::sendEvent(Window->Ribbon(), &hover);
    EXPECT_EQ(bar->MessageText(), "Open Image File");
    QApplication::sendEvent(Window->Ribbon(), &leave);
    EXPECT_EQ(bar->MessageText(), IncompletePictureText());
    test::OpenAndWait(*Window, Path("a.bmp")); // from the cache
    EXPECT_TRUE(bar->MessageText().isEmpty()) << bar->MessageText().toStdString();
    test::OpenAndWait(*Window, Path("d.jpg")); // likewise
    EXPECT_EQ(bar->MessageText(), IncompletePictureText());
    Window->PasteImage(); // nothing to paste: the failure shows, the picture stays
    EXPECT_NE(bar->MessageText(), IncompletePictureText());
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
}

TEST_F(MainWindow, DropOpensTheFirstFileOnly) {
    Start();
    Drop({Path("b.jpg"), Path("a.bmp"), Path("c.bmp")});
    // The file opens after the drop has returned, so the file manager is not held.
    EXPECT_EQ(Window->windowTitle(), "Tonalyx");
    QCoreApplication::processEvents();
    test::WaitOpened(*Window);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b"}));
    Drop({Path("notes.txt"), Path("a.bmp")});
    QCoreApplication::processEvents();
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(Window->StatusBar()->MessageText(),
              QString("Cannot open notes.txt: not a %1 file")
                  .arg(QString::fromStdString(ImageFormatNames(" or "))));
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "30 x 20");
}

TEST_F(MainWindow, ArrowAndPageKeysStepThroughTheFolderWithAnyModifier) {
    Start();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Key(Qt::Key_Right);
    EXPECT_EQ(Beeps, 1); // no image yet
    test::OpenAndWait(*Window, Path("a.bmp"));
    Key(Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    Key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(Window->windowTitle(), "c - Tonalyx");
    Key(Qt::Key_Down);
    EXPECT_EQ(Beeps, 2); // the last image
    Key(Qt::Key_Up);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    Key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(Beeps, 3); // the first image
    Key(Qt::Key_A);
    EXPECT_EQ(Beeps, 3);
}

TEST_F(MainWindow, ContextMenuItemsNeedAnImageAndTheHistograms) {
    Start();
    const auto enabledItems = [this] {
        Window->pmMainPopup();
        int n = 0;
        for (QAction* a : Window->ContextMenu()->actions())
            n += !a->isSeparator() && a->isEnabled();
        return n;
    };
    EXPECT_EQ(enabledItems(), 0);
    test::OpenAndWait(*Window, Path("a.bmp"));
    EXPECT_EQ(enabledItems(), 5);
    for (TCommandId id : {C::acRGB, C::acHSV, C::acLab}) // the last one stays on by itself
        Cmd(id)->trigger();
    ASSERT_TRUE(Window->HistPanel()->isVisible());
    Window->HistPanel()->hide();
    EXPECT_EQ(enabledItems(), 0);
    QStringList captions;
    for (QAction* a : Window->ContextMenu()->actions())
        captions << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(captions, QStringList({"Copy Histogram", "-", "Get Link to Histogram",
                                     "Share Histogram via Facebook", "Share Histogram via Google+",
                                     "Share Histogram via Twitter"}));
}

TEST_F(MainWindow, SmoothingSwitchRedrawsFromTheRawCounts) {
    Start({Path("a.bmp")});
    const TAllChanel medium = Core.Hist->Engine().Data[Origin4Show];
    // A count that only the raw record holds shows whether the image was counted again.
    Core.Hist->Engine().Data[Origin].R.Hist[7] += 1000;
    const TAllChanel raw = Core.Hist->Engine().Data[Origin];
    Cmd(C::acSmoothingOn)->trigger();
    EXPECT_FALSE(Cmd(C::acSmoothingOn)->isChecked());
    EXPECT_EQ(Core.Hist->Engine().SmoothRepeatCnt, 0);
    EXPECT_EQ(Core.Hist->Engine().Data[Origin], raw);
    EXPECT_NE(Core.Hist->Engine().Data[Origin4Show], medium);
    Cmd(C::acSmoothingOn)->trigger();
    EXPECT_EQ(Core.Hist->Engine().SmoothRepeatCnt, 3);
    EXPECT_EQ(Core.Hist->Engine().Data[Origin], raw);
}

TEST_F(MainWindow, ModelCommandsAndTheSplitter) {
    Start({Path("a.bmp")});
    QSplitter* spl = Window->Splitter();
    EXPECT_EQ(spl->handleWidth(), 11);
    EXPECT_FALSE(spl->childrenCollapsible());
    EXPECT_TRUE(spl->opaqueResize());
    EXPECT_GE(Window->ImagePanel()->minimumWidth(), 100);
    EXPECT_GE(Window->HistPanel()->minimumWidth(), 100);
    Cmd(C::acHSV)->trigger();
    EXPECT_FALSE(Window->HistPanel()->GroupVisible(TColorModel::HSV));
    Cmd(C::acHSV)->trigger();
    EXPECT_TRUE(Window->HistPanel()->GroupVisible(TColorModel::HSV));
}

TEST_F(MainWindow, CloseReleasesTheLongLivedObjects) {
    Start({Path("a.bmp")});
    Cmd(C::acExit)->trigger();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Core.Hist, nullptr);
    EXPECT_EQ(Core.Cache, nullptr);
    EXPECT_EQ(Core.Files, nullptr);
}

TEST_F(MainWindow, CommandTableCaptionsHintsShortcutsAndHandlers) {
    Start();
    // Rows the user sees as written, odd spellings included.
    struct {
        TCommandId id;
        const char* caption;
        const char* tip;
        QKeySequence shortcut;
        const char* category;
    } rows[] = {
        {C::acOpenImageFile, "Open Image", "Open Image File", QKeySequence("Ctrl+O"), "Image"},
        {C::acSaveHist, "Save Histogram", "", QKeySequence("Ctrl+S"), "Image"},
        {C::acSocNetHTML, "Get Link", "Get Link (HTML code) for Website and Blogs", {}, "Image"},
        {C::acCopyHist, "Copy Histogram", "Copy Histogram to Clipboard", QKeySequence("Ctrl+C"),
         "Image"},
        {C::acPasteImageQAT, "Paste Image", "Paste Image from Clipboard", QKeySequence("Ctrl+V"),
         "Image"},
        {C::acPrevImageQAT, "Prev Image", "Previous Image File", {}, "Image"},
        {C::acSmoothingOn,
         "Smoothing On/Off",
         "Switsh Historgam Smoothing On/Off",
         {},
         "Historgam"},
        {C::acLab, "LAB", "Turn Lab histogram on/off", {}, "Historgam"},
        {C::acHelpTopic, "Help Topic F1", "Help Topic", QKeySequence("F1"), "Help"},
        {C::FileExit2, "E&xit", "Exit", {}, ""},
        {C::acGoToCompanyPage, "Varnel Solutions Products && News", "", {}, "Welcome"},
    };
    for (const auto& r : rows) {
        QAction* a = Cmd(r.id);
        const char* name = CommandEntry(r.id).Name;
        EXPECT_EQ(a->text(), r.caption) << name;
        if (*r.tip) { // without a hint Qt shows the caption as the tool tip
            EXPECT_EQ(a->toolTip(), r.tip) << name;
        }
        EXPECT_EQ(a->shortcut(), r.shortcut) << name;
        EXPECT_EQ(a->property("category").toString(), r.category) << name;
    }
    EXPECT_EQ(Cmd(C::FileExit2)->statusTip(), "Quits the application");
    // Every action carries its identifier's name, an icon, and starts checked if it toggles,
    // but for the View tab's toggles, which start from what is remembered (off at first).
    for (const TCommandEntry& entry : CommandTable()) {
        QAction* a = Cmd(entry.Id);
        EXPECT_EQ(a->objectName(), entry.Name);
        EXPECT_FALSE(a->icon().isNull()) << entry.Name;
        const bool view = entry.Id == C::acLogScale || entry.Id == C::acShowClipping ||
                          entry.Id == C::acRawHistogram || entry.Id == C::acRawLinear ||
                          entry.Id == C::acDevelopRaw;
        EXPECT_EQ(a->isChecked(), a->isCheckable() && !view) << entry.Name;
    }
    EXPECT_EQ(Window->Commands().All().size(), std::size_t(CommandCount));
    EXPECT_EQ(CommandEntry(C::acSocNetFB).Handler, CommandEntry(C::acSocNetTW).Handler);
    EXPECT_EQ(CommandEntry(C::acOpenImageFileQAT).Handler, THandlerId::acOpenImageFileExecute);
}

// Walks every surface the window built and compares it with the placement tables it was
// built from: each item runs its table's command and shows its table's caption.
TEST_F(MainWindow, CommandsArePlacedOnEverySurface) {
    Start();
    const TMainPlacements& placed = MainPlacements();
    const auto expected = [this](std::span<const TPlacement> items) {
        QList<QAction*> actions;
        QStringList captions;
        QString layout;
        for (const TPlacement& p : items) {
            layout += p.IsSeparator() ? '|' : 'B';
            if (p.IsSeparator())
                continue;
            actions << Cmd(p.Command);
            captions << QString::fromUtf8(p.Caption);
        }
        return std::tuple(actions, captions, layout);
    };
    TRibbonBar* rb = Window->Ribbon();
    std::size_t group = 0;
    for (int page = 0; page < rb->PageCount(); ++page) {
        for (TRibbonGroup* g : rb->Page(page)->Groups()) {
            ASSERT_LT(group, placed.Groups.size());
            const TGroupPlacement& want = placed.Groups[group++];
            EXPECT_EQ(rb->Page(page)->objectName(), want.PageObjectName);
            EXPECT_EQ(rb->Page(page)->Caption(), want.PageCaption);
            EXPECT_EQ(g->objectName(), want.ObjectName);
            EXPECT_EQ(g->Caption(), want.Caption);
            QList<QAction*> actions;
            QStringList captions;
            for (TRibbonButton* b : g->Buttons()) {
                actions << b->Action();
                captions << b->Caption();
            }
            const auto [wantActions, wantCaptions, wantLayout] = expected(want.Items);
            EXPECT_EQ(actions, wantActions) << want.ObjectName;
            EXPECT_EQ(captions, wantCaptions) << want.ObjectName;
            EXPECT_EQ(g->Layout(), wantLayout) << want.ObjectName;
        }
    }
    EXPECT_EQ(group, placed.Groups.size());
    EXPECT_EQ(rb->HelpAction(), Cmd(placed.RibbonHelp));

    const auto menuOf = [](const QList<TRibbonMenuItem*>& items) {
        QList<QAction*> actions;
        QStringList captions;
        for (TRibbonMenuItem* item : items) {
            actions << item->Action();
            captions << item->Caption();
        }
        return std::pair(actions, captions);
    };
    const auto [menuActions, menuCaptions, menuLayout] = expected(placed.AppMenu);
    EXPECT_EQ(menuOf(rb->AppMenu()->Items()), std::pair(menuActions, menuCaptions));
    const auto [footActions, footCaptions, footLayout] = expected(placed.AppMenuFooter);
    EXPECT_EQ(menuOf(rb->AppMenu()->FooterButtons()), std::pair(footActions, footCaptions));
    EXPECT_EQ(rb->AppMenuKeyTip(), u'F');

    TRibbonQuickAccess* qat = rb->QuickAccess();
    const auto [qatActions, qatCaptions, qatLayout] = expected(placed.QuickAccess);
    ASSERT_EQ(qat->ItemCount(), qatActions.size());
    for (int i = 0; i < qat->ItemCount(); ++i)
        EXPECT_EQ(qat->ItemAction(i), qatActions[i]);

    // The context menu's items carry their own names and run their commands.
    QList<QAction*> menuItems = Window->ContextMenu()->actions();
    ASSERT_EQ(menuItems.size(), qsizetype(placed.ContextMenu.size()));
    for (std::size_t i = 0; i < placed.ContextMenu.size(); ++i) {
        const TPlacement& want = placed.ContextMenu[i];
        QAction* item = menuItems[qsizetype(i)];
        EXPECT_EQ(item->isSeparator(), want.IsSeparator());
        if (want.IsSeparator())
            continue;
        EXPECT_EQ(item->objectName(), want.ObjectName);
        EXPECT_EQ(item->text(), want.Caption);
    }
    QSignalSpy copied(Cmd(C::acCopyHist), &QAction::triggered);
    Cmd(C::acCopyHist)->setEnabled(true);
    menuItems.first()->setEnabled(true);
    menuItems.first()->trigger();
    EXPECT_EQ(copied.count(), 1);

    EXPECT_EQ(Window->Welcome()->TargetButton()->defaultAction(), Cmd(C::acGoToCompanyPage));
}

TEST_F(MainWindow, TimersOfTheWindow) {
    Window = std::make_unique<TfrmMain>(Core, QStringList{}); // as created, before the first show
    struct {
        const char* name;
        int interval;
        bool running;
    } rows[] = {// the clipboard poll only where the platform does not report changes
                {"tmMain", 100, !ReportsClipboardChanges(QGuiApplication::platformName())},
                {"tmCheckNews", 1000, true},
                {"tmShowNews", 100, false},
                {"tmRequestQueueIndication", 100, false},
                {"tmUploadImageExpWatch", 100, false},
                {"tmCheckWEBServer", 100000, true}};
    for (const auto& r : rows) {
        auto* t = Window->findChild<QTimer*>(r.name);
        ASSERT_NE(t, nullptr) << r.name;
        EXPECT_EQ(t->interval(), r.interval) << r.name;
        EXPECT_EQ(t->isActive(), r.running) << r.name;
    }
}

TEST_F(MainWindow, RecentItemOpensTheFirstExistingFileOfThatName) {
    Start();
    QDir(Dir.path()).mkdir("other");
    ASSERT_TRUE(Solid(11, 11, qRgb(5, 5, 5)).save(Path("other/a.bmp")));
    test::OpenAndWait(*Window, Path("a.bmp"));
    test::OpenAndWait(*Window, Path("other/a.bmp"));
    test::OpenAndWait(*Window, Path("b.jpg"));
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    emit Window->Ribbon()->recentItemClicked("a", 1);
    test::WaitOpened(*Window);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48"); // the first one appended
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    test::OpenAndWait(*Window, Path("b.jpg"));
    emit Window->Ribbon()->recentItemClicked("a", 1);
    test::WaitOpened(*Window);
    // The vanished file is passed over silently for the next one of that name.
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "11 x 11");
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Beeps, 0);
}

TEST_F(MainWindow, TheImagePanelTakesTheThemesWorkspaceColourTheHistogramsKeepTheirOwn) {
    Start();
    const auto windowColour = [](const QWidget* w) { return w->palette().color(QPalette::Window); };
    EXPECT_EQ(windowColour(Window->ImagePanel()), QColor(215, 228, 242)); // the default look
    for (const TRibbonTheme theme : {rtObsidan, rtSilver, rtLuna}) {
        Window->Ribbon()->SetTheme(theme);
        EXPECT_EQ(windowColour(Window->ImagePanel()), RibbonThemeColours(theme).Workspace)
            << RibbonThemeName(theme).toStdString();
        // What Save writes is the same in every theme.
        EXPECT_EQ(windowColour(Window->HistPanel()), THistPanel::ContainerColour())
            << RibbonThemeName(theme).toStdString();
    }
}

TEST_F(MainWindow, NeverNarrowerThanTheRibbonAtItsNarrowest) {
    Start();
    EXPECT_GE(Window->minimumSize().width(), Window->Ribbon()->minimumSizeHint().width());
}
