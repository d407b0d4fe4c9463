// The window comes back as it was left: across a restart, by every way of closing, with the
// theme picked in the Options dialog and the recent images.
#include "app_core.h"
#include "commands.h"
#include "hist_panel.h"
#include "main_window.h"
#include "options_dialog.h"

#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include "ribbon_bar.h"
#include "ribbon_quick_access.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

class WindowState : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        for (const char* name : {"one.bmp", "two.bmp", "three.bmp"}) {
            QImage img(16, 12, QImage::Format_RGB32);
            img.fill(qRgb(40, int(qstrlen(name)) * 20, 90));
            ASSERT_TRUE(img.save(QDir(Dir.path()).filePath(name)));
        }
    }
    // A run of the program: a fresh core and window, shown.
    void Start() {
        Core = std::make_unique<TAppCore>();
        test::ShowNewWindow(*Core, Window);
    }
    void Stop() {
        Window->close();
        Window.reset();
        Core.reset();
    }
    QAction* Cmd(C id) const { return Window->Commands()[id]; }
    QByteArray StoredState() const { return OpenUserSettings()->value("State").toByteArray(); }
    QColor ImagePanelColour() const {
        return Window->ImagePanel()->palette().color(QPalette::Window);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TAppCore> Core;
    std::unique_ptr<TfrmMain> Window;
};

} // namespace

TEST_F(WindowState, AFirstRunStartsMaximisedWithEverythingOn) {
    Start();
    EXPECT_TRUE(Window->isMaximized());
    for (C id : {C::acRGB, C::acHSV, C::acLab, C::acSmoothingOn})
        EXPECT_TRUE(Cmd(id)->isChecked());
    EXPECT_EQ(Window->Theme(), 0);
    EXPECT_TRUE(Window->Ribbon()->RecentItems().isEmpty());
    Stop();
    EXPECT_EQ(StoredState().size(), 48);
    EXPECT_EQ(std::uint8_t(StoredState()[10]), 2); // stored maximised
}

TEST_F(WindowState, EverythingComesBackAfterARestart) {
    test::StoreNormalWindow({1000, 700}, 260);
    Start();
    const QSize outer = Window->frameGeometry().size();
    EXPECT_EQ(outer, QSize(1000, 700));
    EXPECT_NE(Window->size(), outer) << "the screen gives windows a frame";
    // The user picks Obsidian in the Options dialog and closes it.
    TfrmOptions* options = Window->Options();
    QTimer::singleShot(0, options, [options] {
        options->ThemeItem(1)->click();
        options->CloseButton()->click();
    });
    Cmd(C::acOptionsAppOptions)->trigger();
    EXPECT_EQ(Window->Theme(), 1);
    EXPECT_EQ(ImagePanelColour(), QColor(214, 222, 225));
    for (const char* name : {"one.bmp", "two.bmp", "three.bmp"}) // the model commands need one
        test::OpenAndWait(*Window, QDir(Dir.path()).filePath(name));
    Cmd(C::acHSV)->trigger();
    Cmd(C::acSmoothingOn)->trigger();
    QSplitter* spl = Window->Splitter();
    spl->setSizes({spl->sizes()[0] - 40, spl->sizes()[1] + 40});
    const int panelWidth = Window->HistPanel()->width();
    Window->Ribbon()->QuickAccess()->SetItemVisible(2, false);
    Window->Ribbon()->SetMinimized(true);
    Cmd(C::acExit)->trigger();
    Window.reset();
    Core.reset();

    Start();
    EXPECT_FALSE(Window->isMaximized());
    EXPECT_EQ(Window->frameGeometry().size(), outer) << "neither grown nor shrunk by its frame";
    EXPECT_EQ(Window->Theme(), 1);
    EXPECT_EQ(ImagePanelColour(), QColor(214, 222, 225));
    EXPECT_FALSE(Cmd(C::acHSV)->isChecked());
    EXPECT_FALSE(Window->HistPanel()->TabShown(THistTab::HSV));
    EXPECT_FALSE(Cmd(C::acSmoothingOn)->isChecked());
    EXPECT_EQ(Core->Hist->Engine().SmoothRepeatCnt, 0);
    EXPECT_EQ(Window->HistPanel()->width(), panelWidth);
    EXPECT_FALSE(Window->Ribbon()->QuickAccess()->ItemVisible(2));
    EXPECT_TRUE(Window->Ribbon()->QuickAccess()->ItemVisible(3));
    EXPECT_TRUE(Window->Ribbon()->IsMinimized());
    EXPECT_EQ(Window->Ribbon()->RecentItems(), QStringList({"three", "two", "one"}));
    // The dialog shows the theme in use.
    Window->Options()->show();
    EXPECT_TRUE(Window->Options()->ThemeItem(1)->isChecked());
    Window->Options()->close();
    Stop();
}

TEST_F(WindowState, EveryWayOfClosingStoresTheSame) {
    QByteArray stored[3];
    const std::function<void(TfrmMain&)> ways[] = {
        [](TfrmMain& w) { w.Commands()[C::acExit]->trigger(); },
        [](TfrmMain& w) { w.Commands()[C::FileExit2]->trigger(); },
        [](TfrmMain& w) { w.close(); },
    };
    for (int i = 0; i < 3; ++i) {
        test::StoreNormalWindow({900, 640}, 250);
        Start();
        test::OpenAndWait(*Window, QDir(Dir.path()).filePath("one.bmp"));
        Cmd(C::acLab)->trigger();
        ways[i](*Window);
        stored[i] = StoredState();
        Window.reset();
        Core.reset();
    }
    EXPECT_EQ(stored[0], stored[1]);
    EXPECT_EQ(stored[0], stored[2]);
    EXPECT_EQ(std::uint8_t(stored[0][26]), 0); // Lab off
}

TEST_F(WindowState, AMinimisedWindowStillStoresItsModelsAsSwitchedOn) {
    test::StoreNormalWindow({900, 640});
    Start();
    Window->showMinimized();
    QCoreApplication::processEvents();
    Stop();
    const QByteArray s = StoredState();
    EXPECT_TRUE(s[24] && s[25] && s[26]);
}

TEST_F(WindowState, PickingAThemeAppliesItAtOnceAndClosingKeepsIt) {
    test::StoreNormalWindow({900, 640});
    Start();
    TfrmOptions* options = Window->Options();
    bool silverWhileOpen = false;
    QTimer::singleShot(0, options, [&] {
        EXPECT_EQ(options->windowTitle(), "Options");
        EXPECT_EQ(options->size(), TfrmOptions::ClientSize);
        EXPECT_TRUE(options->ThemeItem(0)->isChecked()); // the theme in use, not re-applied
        options->ThemeItem(2)->click();
        silverWhileOpen = ImagePanelColour() == QColor(235, 241, 241);
        QTest::keyClick(options, Qt::Key_Escape);
    });
    Cmd(C::acOptionsAppOptions)->trigger();
    EXPECT_TRUE(silverWhileOpen);
    EXPECT_EQ(Window->Theme(), 2);
    // Shown again in the same run: the theme in use, not the one the run started with.
    bool silverPreselected = false;
    QTimer::singleShot(0, options, [&] {
        silverPreselected = options->ThemeItem(2)->isChecked();
        options->CloseButton()->click();
    });
    Cmd(C::acOptionsAppOptions)->trigger();
    EXPECT_TRUE(silverPreselected);
    Window->SetTheme(7); // out of range: nothing changes
    EXPECT_EQ(Window->Theme(), 2);
    Stop();
    EXPECT_EQ(std::uint8_t(StoredState()[47]), 2);
}

TEST_F(WindowState, ACorruptSettingsFileStartsWithTheDefaults) {
    {
        QFile f(OpenUserSettings()->fileName());
        QDir().mkpath(QFileInfo(f).path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\nState=@ByteArray(\\0\\x1\\x2)\n[Recent%20Images]\nCount=999999999\n"
                "Item0=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x18QDate)\n\xff\xfe\x00garbage");
    }
    Start();
    EXPECT_TRUE(Window->isMaximized());
    EXPECT_TRUE(Window->Ribbon()->RecentItems().isEmpty());
    Stop();
}
