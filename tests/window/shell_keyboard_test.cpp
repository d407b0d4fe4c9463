// The main window from the keyboard: Alt's key tips reach every command of every tab, the
// arrow keys keep stepping through the folder while tips show, Tab walks the window in
// reading order from ed4Focus, and wherever the focus is, a frame shows it.
#include "app_core.h"
#include "commands.h"
#include "focus_holder.h"
#include "hist_panel.h"
#include "main_ribbon.h"
#include "main_window.h"
#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_key_tip_mode.h"
#include "ribbon_page.h"
#include "ribbon_quick_access.h"
#include "ribbon_tabs.h"
#include "welcome_panel.h"

#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace tonalyx;
using namespace ribbon;
using C = TCommandId;
using L = TRibbonKeyTipLevel;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

class Keyboard : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
            QImage img(16, 12, QImage::Format_RGB32);
            img.fill(qRgb(name[0] * 2, 90, 40));
            ASSERT_TRUE(img.save(QDir(Dir.path()).filePath(QString::fromLatin1(name))));
        }
    }
    void TearDown() override {
        if (Window)
            Window->close();
    }
    void Start() {
        Window = std::make_unique<TfrmMain>(Core, QStringList());
        Window->Beeper = [this] { ++Beeps; };
        Window->WarningMessage = [](const QString&) {};
        test::StoreNormalWindow({1021, 780});
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        ASSERT_TRUE(QTest::qWaitFor([this] { return Window->StartUpDone(); }));
        Window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    }
    QString Path(const char* name) const {
        return QDir(Dir.path()).filePath(QString::fromLatin1(name));
    }
    QAction* Cmd(TCommandId id) const { return Window->Commands()[id]; }
    TRibbonKeyTipMode* Tips() const { return Window->Ribbon()->KeyTips(); }

    // Keys go where a user's would: to the focused widget (or the open popup).
    static QWidget* Receiver(QWidget* window) {
        if (QWidget* popup = QApplication::activePopupWidget())
            return popup->focusWidget() ? popup->focusWidget() : popup;
        return QApplication::focusWidget() ? QApplication::focusWidget() : window;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(Receiver(Window.get()), key, mods);
        test::WaitOpened(*Window);
    }
    void Type(const QString& keys) {
        for (QChar c : keys)
            QTest::keyClick(Receiver(Window.get()), c.toLatin1());
        test::WaitOpened(*Window);
    }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    int Beeps = 0;
};

QWidget* Ed4Focus(QWidget& window) {
    return window.findChild<QWidget*>(QStringLiteral("ed4Focus"));
}

} // namespace

TEST_F(Keyboard, AltShowsTheTopTipsAndEveryCommandOfEveryTabIsReachable) {
    Start();
    test::OpenAndWait(*Window, Path("a.bmp")); // every image command available
    ASSERT_EQ(Window->windowTitle(), "a - Tonalyx");
    Key(Qt::Key_Alt);
    ASSERT_EQ(Tips()->Level(), L::Top);
    EXPECT_EQ(Tips()->ShownTips(), QStringList({"F", "M", "H", "V", "1", "2", "3", "4", "5", "6"}));
    Key(Qt::Key_Escape);
    ASSERT_EQ(Tips()->Level(), L::Off);

    // Each button's tip, typed after its tab's, runs exactly that command.
    struct TRow {
        const char* Tab;
        const char* Tip;
        TCommandId Command;
    };
    const TRow rows[] = {
        {"M", "O", C::acOpenImageFile}, {"M", "SH", C::acSaveHist},    {"M", "G", C::acSocNetHTML},
        {"M", "HF", C::acSocNetFB},     {"M", "E", C::acSocNetGP},     {"M", "A", C::acSocNetTW},
        {"M", "C", C::acCopyHist},      {"M", "P", C::acPasteImage},   {"M", "RP", C::acPrevImage},
        {"M", "N", C::acNextImage},     {"M", "RG", C::acRGB},         {"M", "HS", C::acHSV},
        {"M", "L", C::acLab},           {"M", "SM", C::acSmoothingOn}, {"H", "H", C::acHelpTopic},
        {"H", "A", C::acAbout},         {"V", "C", C::acShowClipping}, {"V", "L", C::acLogScale},
        {"V", "W", C::acWholePicture},  {"V", "R", C::acRawHistogram}, {"V", "N", C::acRawLinear},
        {"V", "D", C::acDevelopRaw},
    };
    // Every tip is on the button of its command (the commands themselves run in the next
    // test: some open dialogs).
    QList<TCommandId> reached;
    for (const TRow& row : rows) {
        Key(Qt::Key_Alt);
        Type(QString::fromLatin1(row.Tab));
        ASSERT_EQ(Tips()->Level(), L::Page) << row.Tab;
        const QList<TRibbonKeyTip>& tips = Tips()->Tips();
        const auto tip = std::find_if(tips.begin(), tips.end(), [&](const TRibbonKeyTip& t) {
            return t.Text == QString::fromLatin1(row.Tip);
        });
        ASSERT_NE(tip, tips.end()) << row.Tip;
        const auto* button = qobject_cast<const TRibbonButton*>(tip->Anchor.data());
        ASSERT_TRUE(button) << row.Tip;
        EXPECT_EQ(button->Action(), Cmd(row.Command)) << row.Tip;
        EXPECT_EQ(tip->Enabled(), Cmd(row.Command)->isEnabled()) << row.Tip;
        reached << row.Command;
        Key(Qt::Key_Escape);
        Key(Qt::Key_Escape);
        EXPECT_EQ(Tips()->Level(), L::Off);
    }
    // Every button of every page is among the rows.
    int buttons = 0;
    for (int i = 0; i < Window->Ribbon()->PageCount(); ++i)
        for (const TRibbonGroup* g : Window->Ribbon()->Page(i)->Groups())
            buttons += static_cast<int>(g->Buttons().size());
    EXPECT_EQ(reached.size(), buttons);
}

TEST_F(Keyboard, TypingATabsTipThenAButtonsTipRunsTheCommand) {
    Start();
    test::OpenAndWait(*Window, Path("a.bmp"));
    QAction* rgb = Cmd(C::acRGB);
    ASSERT_TRUE(rgb->isChecked());
    Key(Qt::Key_Alt);
    Type(QStringLiteral("m"));
    EXPECT_EQ(Tips()->Level(), L::Page);
    Type(QStringLiteral("r"));
    // Half a two-character tip: only the tips that begin with it stay.
    EXPECT_EQ(Tips()->ShownTips(), QStringList({"RP", "RG"}));
    Type(QStringLiteral("g"));
    EXPECT_FALSE(rgb->isChecked());
    EXPECT_EQ(Tips()->Level(), L::Off);

    // The next image from its tip; the title follows.
    Key(Qt::Key_Alt);
    Type(QStringLiteral("mn"));
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    // A quick access item by its number: previous image.
    Key(Qt::Key_Alt);
    Type(QStringLiteral("5"));
    EXPECT_EQ(Window->windowTitle(), "a - Tonalyx");
    EXPECT_EQ(Tips()->Level(), L::Off);
}

TEST_F(Keyboard, FOpensTheApplicationMenuWithTipsOnItsItems) {
    Start();
    Key(Qt::Key_Alt);
    Type(QStringLiteral("f"));
    ASSERT_TRUE(Window->Ribbon()->IsAppMenuOpen());
    ASSERT_EQ(Tips()->Level(), L::AppMenu);
    EXPECT_EQ(Tips()->ShownTips(), QStringList({"O", "P", "A", "E", "X", "T"}));
    // Escape closes the menu and goes back to the first level, then ends the tips.
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Window->Ribbon()->IsAppMenuOpen());
    EXPECT_EQ(Tips()->Level(), L::Top);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Tips()->Level(), L::Off);
}

TEST_F(Keyboard, EscapeLeavesOneLevelAtATimeAndAltOrAClickEndsTheTips) {
    Start();
    Key(Qt::Key_Alt);
    Type(QStringLiteral("h"));
    ASSERT_EQ(Tips()->Level(), L::Page);
    EXPECT_EQ(Window->Ribbon()->CurrentTab(), 1);
    EXPECT_EQ(Tips()->ShownTips(), QStringList({"H", "A"}));
    Key(Qt::Key_Escape);
    EXPECT_EQ(Tips()->Level(), L::Top);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Tips()->Level(), L::Off);
    Key(Qt::Key_Escape); // nothing left to leave
    EXPECT_EQ(Tips()->Level(), L::Off);

    Key(Qt::Key_Alt);
    EXPECT_EQ(Tips()->Level(), L::Top);
    Key(Qt::Key_Alt);
    EXPECT_EQ(Tips()->Level(), L::Off);

    Key(Qt::Key_Alt);
    QTest::mouseClick(Window->Splitter(), Qt::LeftButton);
    EXPECT_EQ(Tips()->Level(), L::Off);

    // Alt as a modifier shows nothing.
    Key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(Tips()->Level(), L::Off);
}

TEST_F(Keyboard, ArrowsAndPageKeysStillStepWhileTipsShow) {
    Start();
    test::OpenAndWait(*Window, Path("a.bmp"));
    Key(Qt::Key_Alt);
    Key(Qt::Key_Right);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(Tips()->Level(), L::Top);
    Type(QStringLiteral("m"));
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Window->windowTitle(), "c - Tonalyx");
    EXPECT_EQ(Tips()->Level(), L::Page);
    Key(Qt::Key_Up);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(Tips()->Level(), L::Page);
    EXPECT_EQ(Beeps, 0);
}

TEST_F(Keyboard, TabStartsAtEd4FocusAndFollowsTheReadingOrder) {
    Start();
    QWidget* first = Ed4Focus(*Window);
    ASSERT_TRUE(first);
    EXPECT_EQ(QApplication::focusWidget(), first);

    // The ribbon top down and left to right (each tab once), then the welcome panel in its
    // own order; then round to ed4Focus.
    const auto reachable = [](QWidget* w) {
        return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus);
    };
    QList<QWidget*> expected;
    for (QWidget* w : Window->Ribbon()->TabStops()) {
        if (!reachable(w))
            continue;
        expected << w;
        if (w == Window->Ribbon()->TabBar())
            for (int i = 1; i < Window->Ribbon()->PageCount(); ++i)
                expected << w;
    }
    const int ribbonStops = static_cast<int>(expected.size());
    for (QWidget* w : Window->Welcome()->findChildren<QWidget*>())
        if (reachable(w))
            expected << w;
    ASSERT_GT(expected.size(), ribbonStops + 5); // open, paste, the links, the social rows...

    QList<QWidget*> chain;
    for (int i = 0; i < 100; ++i) {
        Key(Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == first)
            break;
        chain << now;
    }
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(QApplication::focusWidget(), first);
    // Shift+Tab walks back.
    Key(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), expected.last());
}

TEST_F(Keyboard, TheFocusIsVisibleWhereverItIs) {
    Start();
    QWidget* holder = Ed4Focus(*Window);
    auto* frameHolder = qobject_cast<TFocusHolder*>(holder);
    ASSERT_TRUE(frameHolder);
    EXPECT_FALSE(frameHolder->FrameShown()); // the focus was put there, not moved by a key

    // Every stop looks different with the focus than without it.
    QList<std::pair<QWidget*, QImage>> focused;
    for (int i = 0; i < 100; ++i) {
        Key(Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == holder)
            break;
        focused.append({now, now->grab().toImage()});
    }
    ASSERT_GT(focused.size(), 10);
    for (const auto& [widget, image] : focused)
        EXPECT_NE(image, widget->grab().toImage())
            << widget->metaObject()->className() << " " << widget->objectName().toStdString();
    ASSERT_EQ(QApplication::focusWidget(), holder);
    EXPECT_TRUE(frameHolder->FrameShown()); // came round by Tab: the picture's frame shows
    Key(Qt::Key_Tab);
    EXPECT_FALSE(frameHolder->FrameShown());
}

TEST_F(Keyboard, ArrowsOnAFocusedButtonStepTheFolderAndLeaveTheFocusAlone) {
    Start();
    test::OpenAndWait(*Window, Path("a.bmp"));
    Key(Qt::Key_Tab);
    QWidget* button = QApplication::focusWidget();
    ASSERT_NE(button, Ed4Focus(*Window));
    Key(Qt::Key_Right);
    EXPECT_EQ(Window->windowTitle(), "b - Tonalyx");
    EXPECT_EQ(QApplication::focusWidget(), button);
}
