// The about box on its own (the version line for each state of the feed, the links and
// their colours, the keys) and in the window (created once, shown by both About items, its
// Tell and Follow buttons on the welcome panel's handlers), and the help opened alike by
// F1, the ribbon's help button and "Local Help Index".
#include "about_box.h"
#include "app_core.h"
#include "commands.h"
#include "help_about.h"
#include "help_file.h"
#include "links.h"
#include "main_window.h"
#include "ribbon_app_menu.h"
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_page.h"
#include "welcome_panel.h"
#include "window_opens.h"

#include "qt_environment.h"
#include "stored_window_state.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

const QColor Blue(0, 0, 255), Red(255, 0, 0), Purple(128, 0, 128);

// Opens a modal dialog with open and, once it is up, hands it to checkAndClose.
void WhileModal(const std::function<void()>& open,
                const std::function<void(QDialog&)>& checkAndClose) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ran = true;
            checkAndClose(*dialog);
        }
    });
    open();
    EXPECT_TRUE(ran) << "no modal dialog came up";
}

class AboutBox : public testing::Test {
  protected:
    void SetUp() override {
        SetLinkOpener([this](const QString& t) { Opened << t; });
    }
    void TearDown() override { SetLinkOpener({}); }

    std::unique_ptr<TAB> Make() {
        QPixmap logo(48, 48);
        logo.fill(Qt::darkCyan);
        return std::make_unique<TAB>(nullptr, TAboutSources{logo,
                                                            QStringLiteral("Varnel"),
                                                            {},
                                                            [this] { return Running; },
                                                            [this] { return Announced; }});
    }
    static void ShowAgain(TAB& box) {
        box.hide();
        box.show();
    }

    QString Running = QStringLiteral("1.0.3");
    QString Announced;
    QStringList Opened;
};

class AboutInWindow : public testing::Test {
  protected:
    void SetUp() override {
        SetLinkOpener([this](const QString& t) { Opened << t; });
        SetHelpOpener([this](const QString& p) { Help << p; });
        test::StoreNormalWindow({1021, 780});
        test::ShowNewWindow(Core, Window);
    }
    void TearDown() override {
        Window->close();
        SetLinkOpener({});
        SetHelpOpener({});
        SetChmViewerQuery({});
    }
    TAB* About() const { return Window->HelpAbout()->About(); }
    template <typename T> T* ButtonFor(const QList<T*>& buttons, C id) const {
        for (T* b : buttons)
            if (b->Action() == Window->Commands()[id])
                return b;
        return nullptr;
    }

    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
    QStringList Opened;
    QStringList Help;
};

} // namespace

TEST_F(AboutBox, VersionLineForEachStateOfTheFeed) {
    struct {
        const char* announced;
        QString line;
        bool link; // "[announced]" at the right of the line
    } rows[] = {
        {"", "1.0.3", false},                                     // no feed read yet
        {"1.0.4", "1.0.3", true},                                 // newer
        {"1.0.3", TAB::CurrentVersionPrefix() + " 1.0.3", false}, // the running one
        {"1.0.2", "1.0.3", true},                                 // older ones too
        {"1.0.3.0", "1.0.3", true},                               // compared as exact text
    };
    for (const auto& r : rows) {
        Announced = r.announced;
        const std::unique_ptr<TAB> box = Make();
        box->show();
        EXPECT_EQ(box->VersionLine()->text(), r.line) << r.announced;
        EXPECT_EQ(box->NewVersionLink()->isVisible(), r.link) << r.announced;
        if (r.link) {
            EXPECT_EQ(box->NewVersionLink()->text(), QStringLiteral("[%1]").arg(r.announced));
            EXPECT_EQ(box->NewVersionLink()->toolTip(), "New version is available!");
        }
    }
}

TEST_F(AboutBox, EachShowingRereadsTheVersionsAndTheLinkStaysOnceShown) {
    const std::unique_ptr<TAB> box = Make();
    box->show();
    EXPECT_FALSE(box->NewVersionLink()->isVisible());
    Announced = "1.0.4";
    ShowAgain(*box);
    EXPECT_EQ(box->NewVersionLink()->text(), "[1.0.4]");
    Running = Announced; // updated meanwhile: the line says so, and the link stays
    ShowAgain(*box);
    EXPECT_EQ(box->VersionLine()->text(), TAB::CurrentVersionPrefix() + " 1.0.4");
    EXPECT_TRUE(box->NewVersionLink()->isVisible());
}

TEST_F(AboutBox, LinksOpenTheirTargetsAndTurnPurpleForTheRestOfItsLife) {
    Announced = "1.0.4";
    const std::unique_ptr<TAB> box = Make();
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    const TLinkTable& t = ProgramLinkTable();
    struct {
        TAboutLink* link;
        QString target;
    } rows[] = {
        {box->ProductLink(), LinkTarget(t, LinkProductPage, {})},
        {box->SupportLink(), LinkTarget(t, LinkSupportMail, "1.0.3")},
        {box->CompanyLink(), LinkTarget(t, LinkCompanyHome, {})},
        {box->NewVersionLink(), LinkTarget(t, LinkDownload, {})},
    };
    EXPECT_TRUE(rows[1].target.endsWith("?subject=Tonalyx_1.0.3"));
    for (const auto& r : rows) {
        const QString name = r.link->objectName();
        EXPECT_EQ(r.link->Colour(), Blue) << name.toStdString();
        QTest::mousePress(r.link, Qt::RightButton);
        QTest::mouseRelease(r.link, Qt::RightButton);
        EXPECT_EQ(r.link->Colour(), Blue) << "other buttons change nothing";
        QTest::mousePress(r.link, Qt::LeftButton);
        EXPECT_EQ(r.link->Colour(), Red) << name.toStdString();
        Opened.clear();
        QTest::mouseRelease(r.link, Qt::LeftButton);
        EXPECT_EQ(r.link->Colour(), Purple) << name.toStdString();
        EXPECT_EQ(Opened, QStringList{r.target}) << name.toStdString();
    }
    ShowAgain(*box);
    for (const auto& r : rows)
        EXPECT_EQ(r.link->Colour(), Purple) << r.link->objectName().toStdString();
}

TEST_F(AboutBox, FixedSizeWithTheLogoCopiedAndEnterOrEscapeCloseWithOK) {
    const std::unique_ptr<TAB> box = Make();
    EXPECT_EQ(box->size(), TAB::ClientSize);
    const QPixmap logo = box->Logo()->pixmap();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.height(), 45); // the square logo as large as 76 x 45 allows
    EXPECT_EQ(logo.toImage().pixelColor(20, 20), QColor(Qt::darkCyan));
    EXPECT_TRUE(box->CloseButton()->isDefault());
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        WhileModal([&] { box->exec(); }, [key](QDialog& d) { QTest::keyClick(&d, key); });
        EXPECT_EQ(box->result(), QDialog::Accepted) << key;
        EXPECT_FALSE(box->isVisible());
    }
}

TEST_F(AboutInWindow, CreatedOnceAndShownCentredByBothAboutItems) {
    TAB* about = About();
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(about->isVisible());
    EXPECT_EQ(Window->findChildren<TAB*>().size(), 1);
    // The copy of the welcome panel's logo, made when the box was created.
    EXPECT_FALSE(about->Logo()->pixmap().isNull());
    ribbon::TRibbonBar* rb = Window->Ribbon();
    QList<ribbon::TRibbonButton*> helpTab;
    for (int page = 0; page < rb->PageCount(); ++page)
        if (rb->Page(page)->objectName() == "rpHelp")
            for (ribbon::TRibbonGroup* g : rb->Page(page)->Groups())
                helpTab << g->Buttons();
    QAbstractButton* items[] = {ButtonFor(helpTab, C::acAbout),
                                ButtonFor(rb->AppMenu()->Items(), C::acAbout)};
    for (QAbstractButton* item : items) {
        ASSERT_NE(item, nullptr);
        WhileModal([&] { item->click(); },
                   [&](QDialog& d) {
                       EXPECT_EQ(&d, about);
                       const QPoint off =
                           d.frameGeometry().center() - Window->frameGeometry().center();
                       EXPECT_LE(off.manhattanLength(), 2);
                       d.accept();
                   });
    }
    EXPECT_EQ(Window->findChildren<TAB*>().size(), 1);
}

TEST_F(AboutInWindow, TellAndFollowButtonsOpenWhatTheWelcomePanelsOpen) {
    for (const char* name :
         {"tbTellFB", "tbTellGP", "tbTellTW", "tbFollowFB", "tbFollowGP", "tbFollowTW"}) {
        auto* welcome = Window->Welcome()->findChild<QToolButton*>(name);
        auto* about = About()->findChild<QToolButton*>(name);
        ASSERT_NE(welcome, nullptr) << name;
        ASSERT_NE(about, nullptr) << name;
        EXPECT_FALSE(about->icon().isNull()) << name;
        Opened.clear();
        welcome->click();
        about->click();
        ASSERT_EQ(Opened.size(), 2) << name;
        EXPECT_EQ(Opened[0], Opened[1]) << name;
    }
    QObject stranger;
    stranger.setObjectName("tbSomething");
    EXPECT_EQ(NetworkOfButton(&stranger),
              NetworkOfButton(About()->findChild<QObject*>("tbTellFB")));
}

TEST_F(AboutInWindow, F1TheRibbonHelpButtonAndLocalHelpIndexOpenTheFileBesideTheProgram) {
    SetChmViewerQuery([] { return true; });
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));

    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : Window.get(),
                    Qt::Key_F1);
    auto* helpButton =
        ButtonFor(Window->Ribbon()->findChildren<ribbon::TRibbonQuickButton*>(), C::acHelpTopic);
    ASSERT_NE(helpButton, nullptr);
    QTest::mouseClick(helpButton, Qt::LeftButton);
    auto* index = Window->Welcome()->findChild<QWidget*>("lblLocalHelp");
    ASSERT_NE(index, nullptr);
    QTest::mouseClick(index, Qt::LeftButton);
    ASSERT_TRUE(QDir::setCurrent(before));

    ASSERT_EQ(Help.size(), 3);
    EXPECT_EQ(Help[0], Help[1]);
    EXPECT_EQ(Help[0], Help[2]);
    // The test program has no help beside it: the place it would be is opened.
    EXPECT_EQ(Help[0], QDir(QCoreApplication::applicationDirPath()).filePath(HelpFileName));
}
