// The main window as a user meets it: start-up, opening, pasting, dropping, stepping,
// keys, the context menu, smoothing, and histograms drawn exactly as the engine draws them.
#include "engine/render.h"
#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "shell/app_core.h"
#include "shell/commands.h"
#include "shell/hist_panel.h"
#include "shell/image_view.h"
#include "shell/main_window.h"
#include "shell/status_bar.h"
#include "shell/welcome_panel.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <memory>

using namespace tonalyx;
using namespace ribbon;

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
        Window->resize(1021, 780);
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    QAction* Cmd(const char* name) const { return Window->Commands()[QString::fromLatin1(name)]; }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : Window.get();
        QTest::keyClick(target, static_cast<Qt::Key>(key), mods);
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
    for (const char* name : {"acSaveHist", "acCopyHist", "acRGB", "acHSV", "acLab", "acSmoothingOn",
                             "acPrevImage", "acNextImageQAT", "acSocNetTW"})
        EXPECT_FALSE(Cmd(name)->isEnabled()) << name;
    EXPECT_TRUE(Cmd("acOpenImageFile")->isEnabled());
    for (const char* name : {"acRGB", "acHSV", "acLab", "acSmoothingOn"})
        EXPECT_TRUE(Cmd(name)->isChecked()) << name;
    EXPECT_EQ(Core.Hist->SmoothRepeatCnt, 3);
    EXPECT_EQ(Window->StatusBar()->LEDState(), TLEDState::lsGreen);
    EXPECT_TRUE(Window->StatusBar()->ImageSizeText().isEmpty());
    // The welcome panel sits in the middle of the image panel.
    const QRect area = Window->ImagePanel()->rect();
    const QRect welcome = Window->Welcome()->geometry();
    EXPECT_LE(std::abs(welcome.center().x() - area.center().x()), 1);
    EXPECT_LE(std::abs(welcome.center().y() - area.center().y()), 1);
    // Before any image every histogram is blank.
    const THistImage* r = Window->HistPanel()->Image(TChannel::R);
    EXPECT_EQ(r->Picture().pixelColor(r->Picture().width() / 2, r->Picture().height() - 1),
              r->Background());
}

TEST_F(MainWindow, CommandLineImageOpensAtStartUp) {
    Start({Path("a.bmp"), Path("ignored.jpg")});
    EXPECT_FALSE(Window->Welcome()->isVisible());
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->Ribbon()->DocumentName(), "a");
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_TRUE(Cmd("acNextImage")->isEnabled());
    EXPECT_TRUE(Warnings.isEmpty());
}

TEST_F(MainWindow, CommandLineWithAnUnsupportedFormatNamesIt) {
    Start({Path("scan.tiff")});
    EXPECT_EQ(Warnings, QStringList({"Format TIFF not supported."}));
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
        const THistImage* shown = panel->Image(c);
        const QColor bg = shown->Background();
        TRasterTarget expected(shown->width(), shown->height(),
                               TRgb{static_cast<std::uint8_t>(bg.red()),
                                    static_cast<std::uint8_t>(bg.green()),
                                    static_cast<std::uint8_t>(bg.blue())});
        expected.Clear();
        DrawChannel(expected, Core.Hist->Data[Origin4Show][c], BarColour(c));
        const QImage& picture = shown->Picture();
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
    EXPECT_EQ(panel->Image(TChannel::L)->Picture().height(),
              panel->Image(TChannel::L)->height() - 1);
}

TEST_F(MainWindow, RevisitFromTheCacheFollowsTitleAndSizeOnly) {
    Start();
    Window->LoadImageFile(Path("a.bmp"));
    Window->LoadImageFile(Path("b.jpg"));
    ASSERT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    Window->PasteImage();                  // a failed paste: navigation stays as it was, a beep
    Cmd("acPrevImage")->setEnabled(false); // mark the state a cache hit must not touch
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    Window->LoadImageFile(Path("a.bmp"));
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48");
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
    EXPECT_FALSE(Cmd("acPrevImage")->isEnabled());
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    EXPECT_EQ(Window->RecentItemsFull(), QStringList({Path("a.bmp"), Path("b.jpg")}));
}

TEST_F(MainWindow, FailedLoadKeepsThePreviousImage) {
    Start({Path("a.bmp")});
    QFile::copy(Path("c.bmp"), Path("liar.jpg"));
    Window->LoadImageFile(Path("liar.jpg"));
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
    EXPECT_TRUE(Cmd("acSaveHist")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindow, PasteFollowsTheClipboardPoll) {
    Start();
    PollClipboard();
    EXPECT_FALSE(Cmd("acPasteImage")->isEnabled());
    EXPECT_FALSE(Cmd("acPasteImageQAT")->isEnabled());
    Cmd("acPasteImageWelcome")->trigger(); // nothing to paste: the welcome button beeps
    EXPECT_EQ(Beeps, 1);
    EXPECT_TRUE(Window->Welcome()->isVisible());

    QGuiApplication::clipboard()->setImage(Solid(7, 5, qRgb(9, 9, 9)));
    PollClipboard();
    EXPECT_TRUE(Cmd("acPasteImage")->isEnabled());
    EXPECT_TRUE(Cmd("acPasteImageQAT")->isEnabled());
    Cmd("acPasteImageQAT")->trigger();
    EXPECT_FALSE(Window->Welcome()->isVisible());
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "7 x 5");
    EXPECT_EQ(Window->windowTitle(), Window->Ribbon()->DocumentName() + " - Tonalyx");
    EXPECT_TRUE(Cmd("acSaveHist")->isEnabled());
    EXPECT_FALSE(Cmd("acNextImage")->isEnabled());
    EXPECT_TRUE(Window->Ribbon()->RecentItems().isEmpty());

    QGuiApplication::clipboard()->clear();
    PollClipboard();
    EXPECT_FALSE(Cmd("acPasteImage")->isEnabled());
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
    EXPECT_TRUE(Cmd("acPasteImage")->isEnabled());
    Cmd("acPasteImage")->trigger();
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->MainImage()->Image().size(), QSize(64, 48));
}

TEST_F(MainWindow, DropOpensTheFirstFileOnly) {
    Start();
    Drop({Path("b.jpg"), Path("a.bmp"), Path("c.bmp")});
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b"}));
    Drop({Path("notes.txt"), Path("a.bmp")});
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
}

TEST_F(MainWindow, ArrowAndPageKeysStepThroughTheFolderWithAnyModifier) {
    Start();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    Key(Qt::Key_Right);
    EXPECT_EQ(Beeps, 1); // no image yet
    Window->LoadImageFile(Path("a.bmp"));
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
    Window->LoadImageFile(Path("a.bmp"));
    EXPECT_EQ(enabledItems(), 5);
    for (const char* name : {"acRGB", "acHSV", "acLab"}) // the last one stays on by itself
        Cmd(name)->trigger();
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
    const TAllChanel medium = Core.Hist->Data[Origin4Show];
    // A count that only the raw record holds shows whether the image was counted again.
    Core.Hist->Data[Origin].R.Hist[7] += 1000;
    const TAllChanel raw = Core.Hist->Data[Origin];
    Cmd("acSmoothingOn")->trigger();
    EXPECT_FALSE(Cmd("acSmoothingOn")->isChecked());
    EXPECT_EQ(Core.Hist->SmoothRepeatCnt, 0);
    EXPECT_EQ(Core.Hist->Data[Origin], raw);
    EXPECT_NE(Core.Hist->Data[Origin4Show], medium);
    Cmd("acSmoothingOn")->trigger();
    EXPECT_EQ(Core.Hist->SmoothRepeatCnt, 3);
    EXPECT_EQ(Core.Hist->Data[Origin], raw);
}

TEST_F(MainWindow, ModelCommandsAndTheSplitter) {
    Start({Path("a.bmp")});
    QSplitter* spl = Window->Splitter();
    EXPECT_EQ(spl->handleWidth(), 11);
    EXPECT_FALSE(spl->childrenCollapsible());
    EXPECT_TRUE(spl->opaqueResize());
    EXPECT_GE(Window->ImagePanel()->minimumWidth(), 100);
    EXPECT_GE(Window->HistPanel()->minimumWidth(), 100);
    Cmd("acHSV")->trigger();
    EXPECT_FALSE(Window->HistPanel()->GroupVisible(TColorModel::HSV));
    Cmd("acHSV")->trigger();
    EXPECT_TRUE(Window->HistPanel()->GroupVisible(TColorModel::HSV));
}

TEST_F(MainWindow, CloseReleasesTheLongLivedObjects) {
    Start({Path("a.bmp")});
    Cmd("acExit")->trigger();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Core.Hist, nullptr);
    EXPECT_EQ(Core.Cache, nullptr);
    EXPECT_EQ(Core.Files, nullptr);
}

TEST_F(MainWindow, CommandTableCaptionsHintsShortcutsAndHandlers) {
    Start();
    struct {
        const char* name;
        const char* caption;
        const char* tip;
        QKeySequence shortcut;
        const char* category;
    } rows[] = {
        {"acOpenImageFile", "Open Image", "Open Image File", QKeySequence("Ctrl+O"), "Image"},
        {"acSaveHist", "Save Histogram", "", QKeySequence("Ctrl+S"), "Image"},
        {"acSocNetHTML", "Get Link", "Get Link (HTML code) for Website and Blogs", {}, "Image"},
        {"acCopyHist", "Copy Histogram", "Copy Histogram to Clipboard", QKeySequence("Ctrl+C"),
         "Image"},
        {"acPasteImageQAT", "Paste Image", "Paste Image from Clipboard", QKeySequence("Ctrl+V"),
         "Image"},
        {"acPrevImageQAT", "Prev Image", "Previous Image File", {}, "Image"},
        {"acSmoothingOn", "Smoothing On/Off", "Switsh Historgam Smoothing On/Off", {}, "Historgam"},
        {"acLab", "LAB", "Turn Lab histogram on/off", {}, "Historgam"},
        {"acHelpTopic", "Help Topic F1", "Help Topic", QKeySequence("F1"), "Help"},
        {"FileExit2", "E&xit", "Exit", {}, ""},
        {"acGoToCompanyPage", "Varnel Solutions Products && News", "", {}, "Welcome"},
    };
    for (const auto& r : rows) {
        QAction* a = Cmd(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->text(), r.caption) << r.name;
        if (*r.tip) { // without a hint Qt shows the caption as the tool tip
            EXPECT_EQ(a->toolTip(), r.tip) << r.name;
        }
        EXPECT_EQ(a->shortcut(), r.shortcut) << r.name;
        EXPECT_EQ(a->property("category").toString(), r.category) << r.name;
        EXPECT_FALSE(a->icon().isNull()) << r.name;
    }
    EXPECT_EQ(Cmd("FileExit2")->statusTip(), "Quits the application");
    EXPECT_EQ(Window->Commands().All().size(), 27);
    // Twins share their handler; the self-toggling commands start checked.
    EXPECT_EQ(TCommands::HandlerOf(Cmd("acSocNetFB")), TCommands::HandlerOf(Cmd("acSocNetTW")));
    EXPECT_EQ(TCommands::HandlerOf(Cmd("acOpenImageFileQAT")), "acOpenImageFileExecute");
    EXPECT_EQ(TCommands::HandlerOf(Cmd("acHSV")), "HistSetVisibleAndHeightCorr");
    EXPECT_FALSE(Cmd("acOpenImageFile")->isCheckable());
}

TEST_F(MainWindow, CommandsArePlacedOnEverySurface) {
    Start();
    const auto captions = [](TRibbonGroup* g) {
        QStringList c;
        for (TRibbonButton* b : g->Buttons())
            c << b->Caption();
        return c;
    };
    TRibbonBar* rb = Window->Ribbon();
    ASSERT_EQ(rb->PageCount(), 2);
    EXPECT_EQ(rb->Page(0)->Caption(), "Main");
    EXPECT_EQ(rb->Page(1)->Caption(), "Help");
    TRibbonGroup* image = rb->Page(0)->Groups().value(0);
    TRibbonGroup* hist = rb->Page(0)->Groups().value(1);
    TRibbonGroup* help = rb->Page(1)->Groups().value(0);
    EXPECT_EQ(image->Caption(), "Image");
    EXPECT_EQ(captions(image),
              QStringList({"&Open Image", "&Save Histogram", "&Get Link", "S&hare via Facebook",
                           "Shar&e via Google+", "Sh&are via Twitter", "&Copy Histogram",
                           "&Paste Image", "P&revious Image", "&Next Image"}));
    EXPECT_EQ(image->Layout(), "BB|BBBB|BB|BB");
    EXPECT_EQ(hist->Caption(), "Histogram");
    EXPECT_EQ(captions(hist), QStringList({"&RGB", "&HSV", "&Lab ", "&Smoothing On/Off"}));
    EXPECT_EQ(hist->Layout(), "BBB|B");
    EXPECT_EQ(captions(help), QStringList({"&Help Topic F1", "&About"}));
    EXPECT_EQ(rb->HelpAction(), Cmd("acHelpTopic"));

    TRibbonQuickAccess* qat = rb->QuickAccess();
    ASSERT_EQ(qat->ItemCount(), 6);
    const char* twins[] = {"acOpenImageFileQAT", "acSaveHistQAT",  "acCopyHistQAT",
                           "acPasteImageQAT",    "acPrevImageQAT", "acNextImageQAT"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(qat->ItemAction(i), Cmd(twins[i]));

    QStringList menu;
    for (TRibbonMenuItem* item : rb->AppMenu()->Items())
        menu << item->Caption();
    EXPECT_EQ(menu, QStringList({"&Open Image", "&Paste Image", "&About", "&Exit"}));
    QStringList footer;
    for (TRibbonMenuItem* item : rb->AppMenu()->FooterButtons())
        footer << item->Action()->objectName();
    EXPECT_EQ(footer, QStringList({"FileExit2", "acOptionsAppOptions"}));
    EXPECT_EQ(rb->AppMenuKeyTip(), u'F');

    EXPECT_EQ(Window->Welcome()->TargetButton()->defaultAction(), Cmd("acGoToCompanyPage"));
}

TEST_F(MainWindow, TimersOfTheWindow) {
    Start();
    struct {
        const char* name;
        int interval;
        bool running;
    } rows[] = {{"tmMain", 100, true},
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
    Window->LoadImageFile(Path("a.bmp"));
    Window->LoadImageFile(Path("other/a.bmp"));
    Window->LoadImageFile(Path("b.jpg"));
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"b", "a"}));
    emit Window->Ribbon()->recentItemClicked("a", 1);
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "64 x 48"); // the first one appended
    ASSERT_TRUE(QFile::remove(Path("a.bmp")));
    Window->LoadImageFile(Path("b.jpg"));
    emit Window->Ribbon()->recentItemClicked("a", 1);
    // The vanished file is passed over silently for the next one of that name.
    EXPECT_EQ(Window->StatusBar()->ImageSizeText(), "11 x 11");
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Beeps, 0);
}

TEST_F(MainWindow, ThePanelsTakeTheWorkspaceColourOfTheRibbonTheme) {
    Start();
    const auto windowColour = [](const QWidget* w) { return w->palette().color(QPalette::Window); };
    EXPECT_EQ(windowColour(Window->ImagePanel()), QColor(215, 228, 242)); // the default look
    for (const TRibbonTheme theme : {rtObsidan, rtSilver, rtLuna}) {
        Window->Ribbon()->SetTheme(theme);
        const QColor workspace = RibbonThemeColours(theme).Workspace;
        EXPECT_EQ(windowColour(Window->ImagePanel()), workspace)
            << RibbonThemeName(theme).toStdString();
        EXPECT_EQ(windowColour(Window->HistPanel()), workspace)
            << RibbonThemeName(theme).toStdString();
    }
}

TEST_F(MainWindow, NeverNarrowerThanTheRibbonAtItsNarrowest) {
    Start();
    EXPECT_GE(Window->minimumSize().width(), Window->Ribbon()->minimumSizeHint().width());
}
