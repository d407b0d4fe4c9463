// The ribbon at narrow widths: groups give way instead of overlapping or being cut off, and
// what they fold away stays reachable. The application object is ribbon_test.cpp's.
#include "ribbon_bar.h"
#include "ribbon_button.h"
#include "ribbon_group_popup.h"
#include "ribbon_icon.h"
#include "ribbon_page.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace ribbon;

namespace {

// A page like a photo program's: a wide group of ten commands in four runs and a narrow
// one of four, and a second page with one small group.
struct TNarrowWindow {
    QWidget Window;
    TRibbonBar* Bar;
    QList<QAction*> Actions;

    TNarrowWindow() {
        auto* layout = new QVBoxLayout(&Window);
        layout->setContentsMargins(0, 0, 0, 0);
        Bar = new TRibbonBar(&Window);
        layout->addWidget(Bar);
        layout->addStretch(1);
        TRibbonPage* main = Bar->AddPage(QStringLiteral("Main"));
        Fill(main->AddGroup(QStringLiteral("Image")),
             {"&Open Image", "&Save Histogram", "", "&Get Link", "S&hare via Facebook",
              "Shar&e via Elsewhere", "Sh&are via Mail", "", "&Copy Histogram", "&Paste Image", "",
              "P&revious Image", "&Next Image"});
        Fill(main->AddGroup(QStringLiteral("Histogram")),
             {"&RGB", "&HSV", "&Lab ", "", "S&moothing On/Off"});
        Fill(Bar->AddPage(QStringLiteral("Help"))->AddGroup(QStringLiteral("Help")),
             {"&Help Topic F1", "", "&About"});
        Window.addActions(Bar->Actions());
    }

    void Fill(TRibbonGroup* group, std::initializer_list<const char*> captions) {
        for (const char* caption : captions) {
            if (*caption == '\0') {
                group->AddSeparator();
                continue;
            }
            auto* action = new QAction(RibbonIcon(QString(), QString(QChar(caption[1]))),
                                       QString::fromLatin1(caption).remove(u'&'), &Window);
            Actions.append(action);
            group->AddButton(action, QString::fromLatin1(caption));
        }
    }

    QAction* Action(const char* text) const {
        for (QAction* a : Actions)
            if (a->text() == QLatin1String(text))
                return a;
        return nullptr;
    }

    TRibbonGroup* Group(int page, int index) const { return Bar->Page(page)->Groups().at(index); }

    // Resizes the shown window and lets the layouts settle.
    void ResizeTo(int width) {
        Window.resize(width, 300);
        QCoreApplication::processEvents();
        Window.layout()->activate();
        QCoreApplication::processEvents();
    }
};

// The modes of a page's groups as letters, left to right, widest first: L, S, I, C.
constexpr std::string_view ModeLetters = "LSIC";
std::string Modes(const TRibbonPage& page) {
    std::string modes;
    for (const TRibbonGroup* g : page.Groups())
        modes += ModeLetters[static_cast<std::size_t>(g->Mode())];
    return modes;
}

// Every shown button of the page lies inside its group and its page, and no two overlap;
// the page lies inside the window.
void ExpectNothingOverlapsOrIsCut(const TNarrowWindow& w, const TRibbonPage& page) {
    const QRect inWindow(page.mapTo(&w.Window, QPoint(0, 0)), page.size());
    EXPECT_TRUE(w.Window.rect().contains(inWindow)) << "page cut off by the window";
    QList<QRect> taken;
    for (const TRibbonGroup* group : page.Groups()) {
        EXPECT_TRUE(page.rect().contains(group->geometry())) << group->Caption().toStdString();
        for (const QAbstractButton* b : group->findChildren<QAbstractButton*>()) {
            if (!b->isVisible())
                continue;
            const std::string name =
                b->text().toStdString() + " in " + group->Caption().toStdString();
            EXPECT_TRUE(group->rect().contains(b->geometry())) << name;
            const QRect r(b->mapTo(&page, QPoint(0, 0)), b->size());
            EXPECT_TRUE(page.rect().contains(r)) << name;
            for (const QRect& other : std::as_const(taken))
                EXPECT_FALSE(r.intersects(other)) << name;
            taken.append(r);
        }
    }
}

} // namespace

TEST(RibbonNarrow, GroupsGiveWayWithoutOverlapAndComeBackWithRoom) {
    TNarrowWindow w;
    w.Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.Window));
    TRibbonPage& main = *w.Bar->Page(0);
    std::string previous = "LL";
    for (const int width : {1280, 900, 700, 500, 300, 200}) {
        SCOPED_TRACE(width);
        w.ResizeTo(width);
        ExpectNothingOverlapsOrIsCut(w, main);
        // Narrower never gives a wider mode to any group.
        const std::string modes = Modes(main);
        for (std::size_t i = 0; i < modes.size(); ++i)
            EXPECT_GE(ModeLetters.find(modes[i]), ModeLetters.find(previous[i])) << modes;
        previous = modes;
    }
    EXPECT_NE(previous.find('C'), std::string::npos) << "nothing collapsed at the narrowest";
    w.Bar->SetCurrentTab(1);
    QCoreApplication::processEvents();
    ExpectNothingOverlapsOrIsCut(w, *w.Bar->Page(1));

    w.Bar->SetCurrentTab(0);
    w.ResizeTo(1280);
    EXPECT_EQ(Modes(main), "LL");
    EXPECT_FALSE(w.Group(0, 0)->DropButton()->isVisible());
    for (const TRibbonButton* b : w.Group(0, 0)->Buttons())
        EXPECT_TRUE(b->isVisible() && b->ButtonSize() == TRibbonButtonSize::Large);
}

TEST(RibbonNarrow, AHiddenCommandLeavesNoGapAndComesBack) {
    TNarrowWindow w;
    w.Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.Window));
    w.ResizeTo(1280);
    TRibbonGroup* image = w.Group(0, 0);
    const int width = image->width();
    const int histogramLeft = w.Group(0, 1)->x();
    // Hidden by its action, or by the owner's wish.
    for (const bool byAction : {true, false}) {
        SCOPED_TRACE(byAction ? "action hidden" : "button not wanted");
        const auto hide = [&](bool hidden) {
            if (byAction)
                w.Action("Get Link")->setVisible(!hidden);
            else
                image->Buttons().at(2)->SetWanted(!hidden);
        };
        hide(true);
        EXPECT_LT(image->width(), width);
        EXPECT_LT(w.Group(0, 1)->x(), histogramLeft);
        ExpectNothingOverlapsOrIsCut(w, *w.Bar->Page(0));
        hide(false);
        EXPECT_EQ(image->width(), width);
    }
}

TEST(RibbonNarrow, ShownButtonsKeepTheirKeysAndACollapsedGroupPopsUpItsCommands) {
    TNarrowWindow w;
    w.Window.show();
    w.Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.Window));
    QAction* open = w.Action("Open Image");
    QAction* save = w.Action("Save Histogram");
    QSignalSpy opened(open, &QAction::triggered);
    QSignalSpy saved(save, &QAction::triggered);

    // Small buttons and icons alone still answer Alt with their marked character.
    for (const int width : {900, 700, 500}) {
        w.ResizeTo(width);
        if (w.Group(0, 0)->Mode() == TRibbonGroupMode::Collapsed)
            continue;
        const auto before = opened.count();
        QTest::keyClick(&w.Window, Qt::Key_O, Qt::AltModifier);
        EXPECT_EQ(opened.count(), before + 1) << width;
    }

    w.ResizeTo(200);
    TRibbonGroup* image = w.Group(0, 0);
    ASSERT_EQ(image->Mode(), TRibbonGroupMode::Collapsed);
    TRibbonGroupButton* drop = image->DropButton();
    ASSERT_TRUE(drop->isVisible());
    const auto clicks = opened.count();
    QTest::mouseClick(drop, Qt::LeftButton);
    ASSERT_TRUE(drop->Popup() && drop->Popup()->isVisible());
    TRibbonGroup* copy = drop->Popup()->Group();
    ASSERT_EQ(copy->Buttons().size(), image->Buttons().size());
    EXPECT_EQ(copy->Mode(), TRibbonGroupMode::Large);
    TRibbonButton* copyOfOpen = copy->Buttons().first();
    ASSERT_EQ(copyOfOpen->Action(), open);
    QTest::mouseClick(copyOfOpen, Qt::LeftButton);
    EXPECT_EQ(opened.count(), clicks + 1);
    EXPECT_TRUE(!drop->Popup() || !drop->Popup()->isVisible()) << "the popup stays open";

    // In the popup, Alt with a marked character reaches its buttons too; a command hidden
    // on the page is hidden there and takes no room.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w.Action("Get Link")->setVisible(false);
    QTest::mouseClick(drop, Qt::LeftButton);
    ASSERT_TRUE(drop->Popup());
    EXPECT_FALSE(drop->Popup()->Group()->Buttons().at(2)->isVisible());
    EXPECT_EQ(drop->Popup()->Group()->width(), image->WidthIn(TRibbonGroupMode::Large));
    QTest::keyClick(drop->Popup(), Qt::Key_S, Qt::AltModifier);
    EXPECT_EQ(saved.count(), 1);
}
