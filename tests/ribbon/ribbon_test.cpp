// The ribbon command bar: captions and their marks, buttons bound to actions, the
// application menu with its recent list, the quick access toolbar, folding and the tabs.
#include "ribbon_window.h"

#include "ribbon_text.h"

#include <QContextMenuEvent>
#include <QSignalSpy>

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace ribbon;
using namespace ribbon::test;

namespace {

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

} // namespace

// ---------------------------------------------------------------- captions and their marks

TEST(RibbonCaptions, PlainTextDropsMarksAndKeepsOneOfTwoAmpersands) {
    EXPECT_EQ(RibbonPlainText(QStringLiteral("&Open Image")), "Open Image");
    EXPECT_EQ(RibbonPlainText(QStringLiteral("S&hare via Facebook")), "Share via Facebook");
    EXPECT_EQ(RibbonPlainText(QStringLiteral("Varnel Solutions Products && News")),
              "Varnel Solutions Products & News");
    EXPECT_EQ(RibbonPlainText(QStringLiteral("A&&&B")), "A&B");
    EXPECT_EQ(RibbonPlainText(QStringLiteral("Lab&")), "Lab");
    EXPECT_EQ(RibbonPlainText(QStringLiteral("&Lab ")), "Lab ");
}

TEST(RibbonCaptions, MnemonicIsTheCharacterAfterASingleMark) {
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("&Open Image")), QChar(u'O'));
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("Sh&are via Twitter")), QChar(u'A'));
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("Products && News")), QChar());
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("Tom && &Jerry")), QChar(u'J'));
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("RGB")), QChar());
    EXPECT_EQ(RibbonMnemonic(QStringLiteral("RGB&")), QChar());
}

TEST(RibbonCaptions, EscapedTextShowsAsWrittenAndMarksNothing) {
    const QString name = QStringLiteral("holiday & friends && more");
    EXPECT_EQ(RibbonPlainText(RibbonEscapeMarks(name)), name);
    EXPECT_EQ(RibbonMnemonic(RibbonEscapeMarks(name)), QChar());
}

TEST(RibbonCaptions, LongCaptionsSplitIntoTwoBalancedLinesKeepingMarks) {
    const QFontMetrics fm(QApplication::font());
    EXPECT_EQ(RibbonCaptionLines(QStringLiteral("S&hare via Facebook"), fm, 10),
              QStringList({QStringLiteral("S&hare via"), QStringLiteral("Facebook")}));
    EXPECT_EQ(RibbonCaptionLines(QStringLiteral("&Smoothing On/Off"), fm, 10),
              QStringList({QStringLiteral("&Smoothing"), QStringLiteral("On/Off")}));
    // Fitting captions, single words and a trailing blank stay on one line.
    EXPECT_EQ(RibbonCaptionLines(QStringLiteral("&Open Image"), fm, 1000),
              QStringList{QStringLiteral("&Open Image")});
    EXPECT_EQ(RibbonCaptionLines(QStringLiteral("&Histogramming"), fm, 10),
              QStringList{QStringLiteral("&Histogramming")});
    EXPECT_EQ(RibbonCaptionLines(QStringLiteral("&Lab "), fm, 10),
              QStringList{QStringLiteral("&Lab ")});
}

TEST(RibbonCaptions, TitleIsDocumentDashCaptionOrCaptionAlone) {
    EXPECT_EQ(RibbonTitleText(QStringLiteral("holiday"), QStringLiteral("Picture Desk")),
              "holiday - Picture Desk");
    EXPECT_EQ(RibbonTitleText(QString(), QStringLiteral("Picture Desk")), "Picture Desk");

    TRibbonBar bar;
    bar.SetCaption(QStringLiteral("Picture Desk"));
    EXPECT_EQ(bar.TitleText(), "Picture Desk");
    bar.SetDocumentName(QStringLiteral("holiday.final"));
    EXPECT_EQ(bar.TitleText(), "holiday.final - Picture Desk");
    bar.SetCaption(QStringLiteral("Desk"));
    EXPECT_EQ(bar.TitleText(), "holiday.final - Desk");
    bar.SetDocumentName(QString());
    EXPECT_EQ(bar.TitleText(), "Desk");
}

TEST(RibbonCaptions, ToolTipIsTheHintWithTheShortcutUnlessHidden) {
    QAction open(QStringLiteral("Open Image"));
    open.setToolTip(QStringLiteral("Open Image File"));
    open.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    const QString shortcut = open.shortcut().toString(QKeySequence::NativeText);
    EXPECT_EQ(RibbonToolTip(open, true), "Open Image File (" + shortcut + ")");
    EXPECT_EQ(RibbonToolTip(open, false), "Open Image File");
    QAction about(QStringLiteral("About"));
    EXPECT_EQ(RibbonToolTip(about, true), "About");
}

// ---------------------------------------------------------------- buttons and their actions

TEST(RibbonButtons, FollowTheActionsStatesAsTheyChange) {
    TRibbonWindow w;
    w.Window.show();
    TRibbonButton* save = w.ButtonOf(w.Save);
    TRibbonButton* rgb = w.ButtonOf(w.Rgb);
    ASSERT_TRUE(save && rgb);

    EXPECT_TRUE(save->isEnabled());
    w.Save->setEnabled(false);
    EXPECT_FALSE(save->isEnabled());
    w.Save->setEnabled(true);
    EXPECT_TRUE(save->isEnabled());

    EXPECT_TRUE(rgb->isCheckable());
    EXPECT_TRUE(rgb->isChecked());
    w.Rgb->setChecked(false);
    EXPECT_FALSE(rgb->isChecked());
    EXPECT_FALSE(save->isCheckable());

    w.Save->setVisible(false);
    EXPECT_TRUE(save->isHidden());
    w.Save->setVisible(true);
    EXPECT_FALSE(save->isHidden());

    // The quick access twin and the menu item of the same action follow too.
    w.Open->setEnabled(false);
    EXPECT_FALSE(w.Bar->QuickAccess()->ItemButton(0)->isEnabled());
    EXPECT_FALSE(w.Bar->AppMenu()->Items().at(0)->isEnabled());
}

TEST(RibbonButtons, AClickTriggersTheActionOnceAndToggledActionsFlipOnce) {
    TRibbonWindow w;
    w.Window.show();
    QSignalSpy opened(w.Open, &QAction::triggered);
    QTest::mouseClick(w.ButtonOf(w.Open), Qt::LeftButton);
    EXPECT_EQ(opened.count(), 1);

    QSignalSpy toggled(w.Rgb, &QAction::triggered);
    QTest::mouseClick(w.ButtonOf(w.Rgb), Qt::LeftButton);
    ASSERT_EQ(toggled.count(), 1);
    EXPECT_FALSE(toggled.at(0).at(0).toBool());
    EXPECT_FALSE(w.Rgb->isChecked());
    EXPECT_FALSE(w.ButtonOf(w.Rgb)->isChecked());
    QTest::mouseClick(w.ButtonOf(w.Rgb), Qt::LeftButton);
    EXPECT_TRUE(w.Rgb->isChecked());
    EXPECT_TRUE(w.ButtonOf(w.Rgb)->isChecked());

    w.Open->setEnabled(false);
    QTest::mouseClick(w.ButtonOf(w.Open), Qt::LeftButton);
    EXPECT_EQ(opened.count(), 1);
}

TEST(RibbonButtons, KeepTheirOwnCaptionsApartFromTheActionText) {
    TRibbonWindow w;
    TRibbonButton* lab = w.ButtonOf(w.Hsv);
    EXPECT_EQ(lab->Caption(), "&Lab ");
    EXPECT_EQ(w.Hsv->text(), "HSV");
    EXPECT_EQ(lab->CaptionLines(), QStringList{QStringLiteral("&Lab ")});
    // Without a caption the button takes the action's text.
    EXPECT_EQ(w.Image->AddButton(w.Next)->Caption(), "Next Image");
}

TEST(RibbonButtons, GroupsKeepTheirItemsAndSeparatorsInOrder) {
    TRibbonWindow w;
    EXPECT_EQ(w.Image->Caption(), "Image");
    EXPECT_EQ(w.Image->Layout(), "BB|B|BB");
    EXPECT_EQ(w.HelpGroup->Layout(), "B|B");
    ASSERT_EQ(w.Bar->PageCount(), 2);
    EXPECT_EQ(w.Bar->Page(0)->Caption(), "Main");
    ASSERT_EQ(w.Bar->Page(0)->Groups().size(), 2);
    EXPECT_EQ(w.Bar->Page(0)->Groups().at(1)->Caption(), "Histogram");
    EXPECT_EQ(w.Bar->TabBar()->TabCaption(1), "Help");
    // Every large button is as tall as the others, so the icons of a row line up.
    const int height = w.ButtonOf(w.Open)->sizeHint().height();
    for (const TRibbonButton* b : w.Bar->findChildren<TRibbonButton*>())
        EXPECT_EQ(b->sizeHint().height(), height);
}

TEST(RibbonKeyboard, AltWithTheMarkedCharacterClicksAButtonOfTheShownPage) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    QSignalSpy opened(w.Open, &QAction::triggered);
    QSignalSpy about(w.About, &QAction::triggered);

    QTest::keyClick(&w.Window, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(opened.count(), 1);
    QTest::keyClick(&w.Window, Qt::Key_A, Qt::AltModifier); // "&About" is on the hidden page
    EXPECT_EQ(about.count(), 0);

    w.Bar->SetCurrentTab(1);
    QTest::keyClick(&w.Window, Qt::Key_A, Qt::AltModifier);
    EXPECT_EQ(about.count(), 1);
    QTest::keyClick(&w.Window, Qt::Key_O, Qt::AltModifier); // now the Open button is hidden
    EXPECT_EQ(opened.count(), 1);
}

TEST(RibbonKeyboard, DoubledAmpersandMarksNothing) {
    TRibbonWindow w;
    QAction news(QStringLiteral("News"));
    w.Window.addAction(&news);
    w.HelpGroup->AddButton(&news, QStringLiteral("Products && News"));
    w.Bar->SetCurrentTab(1);
    ASSERT_TRUE(w.ShowActive());
    QSignalSpy spy(&news, &QAction::triggered);
    QTest::keyClick(&w.Window, Qt::Key_N, Qt::AltModifier);
    QTest::keyClick(&w.Window, Qt::Key_P, Qt::AltModifier);
    EXPECT_EQ(spy.count(), 0);
}

TEST(RibbonKeyboard, ACharacterMarkedTwiceWalksTheButtonsAndEnterClicks) {
    // "P&revious Image" and "&RGB" share R on the Main page.
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    QSignalSpy prev(w.Prev, &QAction::triggered);
    QSignalSpy rgb(w.Rgb, &QAction::triggered);

    QTest::keyClick(&w.Window, Qt::Key_R, Qt::AltModifier);
    EXPECT_EQ(prev.count() + rgb.count(), 0);
    QWidget* first = QApplication::focusWidget();
    ASSERT_TRUE(first == w.ButtonOf(w.Prev) || first == w.ButtonOf(w.Rgb));
    QTest::keyClick(&w.Window, Qt::Key_R, Qt::AltModifier);
    QWidget* second = QApplication::focusWidget();
    ASSERT_TRUE(second == w.ButtonOf(w.Prev) || second == w.ButtonOf(w.Rgb));
    EXPECT_NE(first, second);

    QTest::keyClick(second, Qt::Key_Return);
    EXPECT_EQ(second == w.ButtonOf(w.Rgb) ? rgb.count() : prev.count(), 1);
    EXPECT_EQ(prev.count() + rgb.count(), 1);
}

TEST(RibbonKeyboard, ShortcutsOfActionsTheWindowAddedWork) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    QSignalSpy opened(w.Open, &QAction::triggered);
    QSignalSpy pasted(w.Paste, &QAction::triggered);
    QTest::keyClick(&w.Window, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(&w.Window, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(pasted.count(), 1);
}

TEST(RibbonKeyboard, ActionsListsEveryActionHandedToTheBarOnce) {
    TRibbonWindow w;
    const QList<QAction*> actions = w.Bar->Actions();
    const std::set<QAction*> distinct(actions.begin(), actions.end());
    EXPECT_EQ(distinct.size(), static_cast<size_t>(actions.size()));
    for (QAction* a : {w.Open, w.Save, w.Paste, w.PasteQat, w.Prev, w.Next, w.Rgb, w.Hsv, w.Help,
                       w.About, w.Exit, w.Options})
        EXPECT_TRUE(distinct.count(a)) << a->text().toStdString();
    EXPECT_FALSE(distinct.count(w.Bar->MinimizeAction()));
}

// ---------------------------------------------------------------- application menu

TEST(RibbonRecentList, AddingPutsOnTopAndRemovesEqualCaptionsOnly) {
    TRibbonRecentList list;
    list.Add(QStringLiteral("a"));
    list.Add(QStringLiteral("b"));
    list.Add(QStringLiteral("c"));
    EXPECT_EQ(list.Items(), QStringList({"c", "b", "a"}));
    list.Add(QStringLiteral("a"));
    EXPECT_EQ(list.Items(), QStringList({"a", "c", "b"}));
    list.Add(QStringLiteral("A")); // another caption: case counts
    list.Add(QStringLiteral("a "));
    EXPECT_EQ(list.Items(), QStringList({"a ", "A", "a", "c", "b"}));
    list.Add(QStringLiteral("a"));
    EXPECT_EQ(list.Items(), QStringList({"a", "a ", "A", "c", "b"}));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(RibbonRecentList, HasNoLengthLimitAndTheBarKeepsItsMenuInStep) {
    TRibbonBar bar;
    for (int i = 0; i < 30; ++i)
        bar.AddRecentItem(QString::number(i));
    bar.AddRecentItem(QStringLiteral("7"));
    const QStringList items = bar.RecentItems();
    ASSERT_EQ(items.size(), 30);
    EXPECT_EQ(items.first(), "7");
    EXPECT_EQ(items.at(1), "29");
    EXPECT_EQ(items.last(), "0");
    EXPECT_EQ(bar.AppMenu()->RecentItems(), items);
    EXPECT_NE(bar.AppMenu()->RecentButton(29), nullptr);
    EXPECT_EQ(bar.AppMenu()->RecentButton(30), nullptr);
    bar.ClearRecentItems();
    EXPECT_TRUE(bar.RecentItems().isEmpty());
    EXPECT_EQ(bar.AppMenu()->RecentButton(0), nullptr);
}

TEST(RibbonAppMenu, ClickingARecentItemEmitsItsCaptionAndIndexAndCloses) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    w.Bar->AddRecentItem(QStringLiteral("beach"));
    w.Bar->AddRecentItem(QStringLiteral("holiday & friends"));
    w.Bar->AddRecentItem(QStringLiteral("IMG_2041"));
    QSignalSpy clicked(w.Bar, &TRibbonBar::recentItemClicked);

    w.Bar->OpenAppMenu();
    ASSERT_TRUE(w.Bar->IsAppMenuOpen());
    QTest::mouseClick(w.Bar->AppMenu()->RecentButton(1), Qt::LeftButton);
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).toString(), "holiday & friends");
    EXPECT_EQ(clicked.at(0).at(1).toInt(), 1);
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());

    // The digit before an item picks it from the keyboard.
    w.Bar->OpenAppMenu();
    QTest::keyClick(w.Bar->AppMenu(), Qt::Key_3);
    ASSERT_EQ(clicked.count(), 2);
    EXPECT_EQ(clicked.at(1).at(0).toString(), "beach");
    EXPECT_EQ(clicked.at(1).at(1).toInt(), 2);
}

TEST(RibbonAppMenu, AltFOpensItAndEscapeClosesIt) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    EXPECT_EQ(w.Bar->AppMenuKeyTip(), QChar(u'F'));
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());
    QTest::keyClick(&w.Window, Qt::Key_F, Qt::AltModifier);
    ASSERT_TRUE(w.Bar->IsAppMenuOpen());
    EXPECT_TRUE(w.Bar->AppButton()->IsOpen());
    QTest::keyClick(w.Bar->AppMenu(), Qt::Key_Escape);
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());
    EXPECT_FALSE(w.Bar->AppButton()->IsOpen());

    w.Bar->SetAppMenuKeyTip(QChar(u'm'));
    ASSERT_TRUE(w.ShowActive());
    QTest::keyClick(&w.Window, Qt::Key_F, Qt::AltModifier);
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());
    QTest::keyClick(&w.Window, Qt::Key_M, Qt::AltModifier);
    EXPECT_TRUE(w.Bar->IsAppMenuOpen());
    w.Bar->AppMenu()->hide();
}

TEST(RibbonAppMenu, ItemsCloseTheMenuBeforeTheirActionRuns) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonAppMenu* menu = w.Bar->AppMenu();
    bool menuOpenWhenRun = true;
    int runs = 0;
    QObject::connect(w.About, &QAction::triggered, &w.Window, [&] {
        ++runs;
        menuOpenWhenRun = menu->isVisible();
    });
    w.Bar->OpenAppMenu();
    QTest::mouseClick(menu->Items().at(2), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(menuOpenWhenRun);

    // The marked character alone picks an item; the foot buttons run their actions.
    QSignalSpy pasted(w.Paste, &QAction::triggered);
    w.Bar->OpenAppMenu();
    QTest::keyClick(menu, Qt::Key_P);
    EXPECT_EQ(pasted.count(), 1);
    EXPECT_FALSE(menu->isVisible());

    QSignalSpy exited(w.Exit, &QAction::triggered);
    w.Bar->OpenAppMenu();
    ASSERT_EQ(menu->FooterButtons().size(), 2);
    EXPECT_EQ(menu->FooterButtons().at(0)->Caption(), "E&xit");
    QTest::mouseClick(menu->FooterButtons().at(0), Qt::LeftButton);
    EXPECT_EQ(exited.count(), 1);
    EXPECT_FALSE(menu->isVisible());
    EXPECT_EQ(menu->RecentHeader(), "Recent Images");
}

// ---------------------------------------------------------------- quick access toolbar

TEST(RibbonQuickAccess, ItemVisibilityRoundTripsThroughBooleans) {
    TRibbonWindow w;
    w.Window.show();
    TRibbonQuickAccess* qat = w.Bar->QuickAccess();
    ASSERT_EQ(qat->ItemCount(), 5);
    QSignalSpy changed(qat, &TRibbonQuickAccess::itemVisibilityChanged);

    qat->SetItemVisible(1, false);
    qat->SetItemVisible(3, false);
    qat->SetItemVisible(3, false); // no change, no signal
    qat->SetItemVisible(-1, false);
    qat->SetItemVisible(5, false);
    EXPECT_EQ(changed.count(), 2);
    QList<bool> stored;
    for (int i = 0; i < qat->ItemCount(); ++i)
        stored.append(qat->ItemVisible(i));
    EXPECT_EQ(stored, QList<bool>({true, false, true, false, true}));
    EXPECT_FALSE(qat->ItemVisible(5));
    EXPECT_TRUE(qat->ItemButton(1)->isHidden());
    EXPECT_FALSE(qat->ItemButton(2)->isHidden());

    // A new window restores what the old one stored.
    TRibbonWindow next;
    for (int i = 0; i < stored.size(); ++i)
        next.Bar->QuickAccess()->SetItemVisible(i, stored[i]);
    next.Window.show();
    for (int i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(next.Bar->QuickAccess()->ItemVisible(i), stored[i]);
        EXPECT_EQ(next.Bar->QuickAccess()->ItemButton(i)->isVisible(), stored[i]);
    }
}

TEST(RibbonQuickAccess, ItsContextMenuShowsAndHidesItems) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonQuickAccess* qat = w.Bar->QuickAccess();
    qat->SetItemVisible(4, false);

    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2), qat->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(qat, &click);
    QMenu* menu = OpenPopupMenu();
    ASSERT_NE(menu, nullptr);
    QList<QAction*> entries;
    for (QAction* a : menu->actions())
        if (a->isCheckable() && a != w.Bar->MinimizeAction())
            entries.append(a);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries.at(0)->text(), "Open Image");
    EXPECT_EQ(entries.at(3)->text(), "Previous Image");
    EXPECT_TRUE(entries.at(0)->isChecked());
    EXPECT_FALSE(entries.at(4)->isChecked());
    EXPECT_TRUE(menu->actions().contains(w.Bar->MinimizeAction()));

    entries.at(0)->trigger(); // unticks: hides the item
    EXPECT_FALSE(qat->ItemVisible(0));
    EXPECT_TRUE(qat->ItemButton(0)->isHidden());
    entries.at(4)->trigger(); // ticks: shows it again
    EXPECT_TRUE(qat->ItemVisible(4));
    EXPECT_TRUE(qat->ItemButton(4)->isVisible());
    menu->close();

    // The menu elsewhere on the ribbon is the same one.
    QContextMenuEvent elsewhere(QContextMenuEvent::Mouse, EmptyTabRowPoint(*w.Bar),
                                w.Bar->mapToGlobal(EmptyTabRowPoint(*w.Bar)));
    QApplication::sendEvent(w.Bar, &elsewhere);
    menu = OpenPopupMenu();
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->actions().at(0)->isChecked());
    menu->close();
}

TEST(RibbonQuickAccess, ButtonsAreIconOnlyWithTheHintAsToolTip) {
    TRibbonWindow w;
    TRibbonQuickAccess* qat = w.Bar->QuickAccess();
    EXPECT_TRUE(qat->ItemButton(0)->text().isEmpty());
    EXPECT_EQ(qat->ItemButton(0)->toolTip(), RibbonToolTip(*w.Open, true));
    EXPECT_TRUE(qat->ItemButton(0)->toolTip().startsWith("Open Image File ("));
    // The paste twin keeps a shortcut out of its tip even when its action has one.
    w.PasteQat->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(qat->ItemButton(2)->toolTip(), "Paste Image from Clipboard");
    EXPECT_EQ(qat->ItemAction(2), w.PasteQat);
    EXPECT_EQ(qat->ItemCaption(2), "Paste Image");

    QSignalSpy pasted(w.PasteQat, &QAction::triggered);
    w.Window.show();
    QTest::mouseClick(qat->ItemButton(2), Qt::LeftButton);
    EXPECT_EQ(pasted.count(), 1);
}

// ---------------------------------------------------------------- folding and the tab row

TEST(RibbonFolding, MinimisingHidesThePagesAndKeepsTheTabs) {
    TRibbonWindow w;
    w.Window.show();
    QSignalSpy spy(w.Bar, &TRibbonBar::minimizedChanged);
    const int fullHeight = w.Bar->sizeHint().height();
    ASSERT_TRUE(w.Bar->Page(0)->isVisible());

    w.Bar->SetMinimized(true);
    EXPECT_TRUE(w.Bar->IsMinimized());
    EXPECT_FALSE(w.Bar->Page(0)->isVisible());
    EXPECT_TRUE(w.Bar->TabBar()->isVisible());
    EXPECT_LT(w.Bar->sizeHint().height(), fullHeight);
    EXPECT_TRUE(w.Bar->MinimizeAction()->isChecked());
    w.Bar->SetMinimized(true);
    EXPECT_EQ(spy.count(), 1);

    // The toggle's action unfolds; a tab can still be chosen while folded.
    w.Bar->SetCurrentTab(1);
    w.Bar->MinimizeAction()->trigger();
    EXPECT_FALSE(w.Bar->IsMinimized());
    EXPECT_TRUE(w.Bar->Page(1)->isVisible());
    EXPECT_EQ(w.Bar->sizeHint().height(), fullHeight);
    EXPECT_EQ(spy.count(), 2);
}

TEST(RibbonFolding, DoubleClickOnATabTogglesFolding) {
    TRibbonWindow w;
    w.Window.show();
    TRibbonTabBar* tabs = w.Bar->TabBar();
    QTest::mouseDClick(tabs, Qt::LeftButton, {}, tabs->TabRect(1).center());
    EXPECT_TRUE(w.Bar->IsMinimized());
    EXPECT_EQ(w.Bar->CurrentTab(), 1);
    QTest::mouseDClick(tabs, Qt::LeftButton, {}, tabs->TabRect(1).center());
    EXPECT_FALSE(w.Bar->IsMinimized());
    // A double click beside the tabs does nothing.
    QTest::mouseDClick(tabs, Qt::LeftButton, {}, QPoint(tabs->width() - 1, tabs->height() / 2));
    EXPECT_FALSE(w.Bar->IsMinimized());
}

TEST(RibbonTabs, ClickSelectsAPageAndOutOfRangeIsIgnored) {
    TRibbonWindow w;
    w.Window.show();
    QSignalSpy spy(w.Bar, &TRibbonBar::currentTabChanged);
    EXPECT_EQ(w.Bar->CurrentTab(), 0);
    QTest::mouseClick(w.Bar->TabBar(), Qt::LeftButton, {}, w.Bar->TabBar()->TabRect(1).center());
    EXPECT_EQ(w.Bar->CurrentTab(), 1);
    EXPECT_TRUE(w.Bar->Page(1)->isVisible());
    EXPECT_FALSE(w.Bar->Page(0)->isVisible());
    w.Bar->SetCurrentTab(2);
    w.Bar->SetCurrentTab(-1);
    EXPECT_EQ(w.Bar->CurrentTab(), 1);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(TRibbonBar().CurrentTab(), -1);
}

TEST(RibbonTabs, HelpButtonTriggersItsAction) {
    TRibbonWindow w;
    w.Window.show();
    EXPECT_EQ(w.Bar->HelpAction(), w.Help);
    TRibbonQuickButton* button = nullptr;
    for (TRibbonQuickButton* b : w.Bar->findChildren<TRibbonQuickButton*>())
        if (b->Action() == w.Help)
            button = b;
    ASSERT_NE(button, nullptr);
    QSignalSpy spy(w.Help, &QAction::triggered);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(spy.count(), 1);
    w.Bar->SetHelpAction(nullptr);
    EXPECT_EQ(w.Bar->HelpAction(), nullptr);
}
