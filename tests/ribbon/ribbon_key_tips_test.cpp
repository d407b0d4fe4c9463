// Key tips: which tip each item gets (a table of captions), and the mode that shows them:
// Alt, a tab's tip, a button's tip, Escape one level at a time, arrows passing through,
// clicks and other windows ending it. And the keyboard focus: Tab's stops and their frames.
#include "ribbon_window.h"

#include "ribbon_group_popup.h"
#include "ribbon_key_tip_mode.h"
#include "ribbon_key_tips.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <set>

using namespace ribbon;
using namespace ribbon::test;
using L = TRibbonKeyTipLevel;

namespace {

// The application object is made once for the executable (ribbon_test.cpp).

// ---------------------------------------------------------------- the tips of one level

struct TTipCase {
    const char* Name;
    std::vector<std::pair<const char*, const char*>> Items; // caption, chosen tip
    std::vector<const char*> Tips;
};

QList<TKeyTipRequest> Requests(const TTipCase& c) {
    QList<TKeyTipRequest> requests;
    for (const auto& [caption, chosen] : c.Items)
        requests.append({QString::fromUtf8(caption), QString::fromUtf8(chosen)});
    return requests;
}

// Distinct, never empty, and none the beginning of another.
void ExpectUsable(const QStringList& tips, const std::string& name) {
    for (qsizetype i = 0; i < tips.size(); ++i) {
        EXPECT_FALSE(tips[i].isEmpty()) << name << " #" << i;
        EXPECT_LE(tips[i].size(), 2) << name << " #" << i;
        for (qsizetype j = 0; j < tips.size(); ++j)
            if (i != j) {
                EXPECT_FALSE(tips[j].startsWith(tips[i]))
                    << name << ": " << tips[i].toStdString() << " begins " << tips[j].toStdString();
            }
    }
}

class KeyTipTable : public testing::TestWithParam<TTipCase> {};

TEST_P(KeyTipTable, GivesEachItemItsTip) {
    const TTipCase& c = GetParam();
    const QStringList tips = RibbonKeyTips(Requests(c));
    QStringList expected;
    for (const char* tip : c.Tips)
        expected << QString::fromUtf8(tip);
    EXPECT_EQ(tips, expected);
    ExpectUsable(tips, c.Name);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, KeyTipTable,
    testing::Values(
        TTipCase{"marks_alone",
                 {{"&Open Image", ""}, {"&Paste Image", ""}, {"&About", ""}},
                 {"O", "P", "A"}},
        // Captions of one page marking the same character get two characters each: the mark,
        // then a later word's initial, capitals first.
        TTipCase{"shared_s", {{"&Save Histogram", ""}, {"&Smoothing On/Off", ""}}, {"SH", "SO"}},
        TTipCase{"shared_h", {{"S&hare via Facebook", ""}, {"&HSV", ""}}, {"HF", "HS"}},
        TTipCase{"shared_r", {{"P&revious Image", ""}, {"&RGB", ""}}, {"RI", "RG"}},
        TTipCase{
            "three_share", {{"&Alpha", ""}, {"&Apple", ""}, {"&Atlas", ""}}, {"AL", "AP", "AT"}},
        // The owner's choice comes first; a clashing second choice is ignored.
        TTipCase{"chosen", {{"&Save Histogram", "sh"}, {"&Smoothing On/Off", "SM"}}, {"SH", "SM"}},
        TTipCase{"chosen_twice", {{"&Save", "SH"}, {"&Smooth", "SH"}}, {"SH", "SM"}},
        TTipCase{
            "chosen_invalid", {{"&Open", "ABC"}, {"&Paste", "&"}, {"&Copy", " "}}, {"O", "P", "C"}},
        // A chosen single character takes its letter from every mark.
        TTipCase{"chosen_blocks_mark", {{"", "F"}, {"&File", ""}}, {"F", "I"}},
        // Without a mark: the first free initial, else the first free letter.
        TTipCase{"tabs", {{"", "F"}, {"Main", ""}, {"Help", ""}}, {"F", "M", "H"}},
        TTipCase{"application_menu",
                 {{"&Open Image", ""},
                  {"&Paste Image", ""},
                  {"&About", ""},
                  {"&Exit", ""},
                  {"E&xit", ""},
                  {"Options", ""}},
                 {"O", "P", "A", "E", "X", "T"}},
        TTipCase{"ampersand_marks_nothing", {{"Products && News", ""}, {"&Print", ""}}, {"N", "P"}},
        TTipCase{"numbers", {{"", "1"}, {"", "2"}, {"&1 holiday", ""}}, {"1", "2", "H"}},
        TTipCase{"empty_captions", {{"", ""}, {"", ""}}, {"A", "B"}},
        // The program's two pages as it places them.
        TTipCase{"main_page",
                 {{"&Open Image", ""},
                  {"&Save Histogram", "SH"},
                  {"&Get Link", ""},
                  {"S&hare via Facebook", "HF"},
                  {"Shar&e via Google+", ""},
                  {"Sh&are via Twitter", ""},
                  {"&Copy Histogram", ""},
                  {"&Paste Image", ""},
                  {"P&revious Image", "RP"},
                  {"&Next Image", ""},
                  {"&RGB", "RG"},
                  {"&HSV", "HS"},
                  {"&Lab ", ""},
                  {"&Smoothing On/Off", "SM"}},
                 {"O", "SH", "G", "HF", "E", "A", "C", "P", "RP", "N", "RG", "HS", "L", "SM"}},
        TTipCase{"help_page", {{"&Help Topic F1", ""}, {"&About", ""}}, {"H", "A"}}),
    [](const testing::TestParamInfo<TTipCase>& param) { return std::string(param.param.Name); });

TEST(KeyTips, ManyItemsMarkingOneCharacterStillGetUsableTips) {
    for (const int count : {2, 10, 40, 300}) {
        QList<TKeyTipRequest> items;
        for (int i = 0; i < count; ++i)
            items.append({QStringLiteral("&Same %1").arg(i), QString()});
        ExpectUsable(RibbonKeyTips(items), "count " + std::to_string(count));
    }
}

// ---------------------------------------------------------------- the mode

QWidget* Receiver(QWidget& window) {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup->focusWidget() ? popup->focusWidget() : popup;
    return QApplication::focusWidget() ? QApplication::focusWidget() : &window;
}

void Key(QWidget& window, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(Receiver(window), key, mods);
}

void Type(QWidget& window, const char* keys) {
    for (const char* c = keys; *c; ++c)
        QTest::keyClick(Receiver(window), *c);
}

QWidget* Overlay(const TRibbonBar& bar) {
    return bar.findChild<QWidget*>(QStringLiteral("ribbonKeyTips"));
}

// Counts the key presses that reach a widget.
class TKeyCounter : public QObject {
  public:
    explicit TKeyCounter(QWidget* w) { w->installEventFilter(this); }
    QList<int> Keys;

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() != Qt::Key_Alt)
            Keys << static_cast<QKeyEvent*>(e)->key();
        return false;
    }
};

TEST(KeyTipMode, AltAloneShowsTheMenuTabsAndQuickAccessTips) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    EXPECT_EQ(tips->Level(), L::Off);
    EXPECT_FALSE(Overlay(*w.Bar)->isVisible());
    QSignalSpy levels(tips, &TRibbonKeyTipMode::levelChanged);

    Key(w.Window, Qt::Key_Alt);
    EXPECT_EQ(tips->Level(), L::Top);
    EXPECT_EQ(tips->ShownTips(), QStringList({"F", "M", "H", "1", "2", "3", "4", "5"}));
    EXPECT_TRUE(Overlay(*w.Bar)->isVisible());
    EXPECT_EQ(levels.count(), 1);
    // Each tip sits on its item, inside the bar.
    for (const TRibbonKeyTip& tip : tips->Tips()) {
        ASSERT_TRUE(tip.Anchor) << tip.Text.toStdString();
        EXPECT_TRUE(w.Bar->isAncestorOf(tip.Anchor)) << tip.Text.toStdString();
    }
    // The labels are drawn: the bar looks different with them.
    const QImage with = w.Bar->grab().toImage();
    Key(w.Window, Qt::Key_Alt); // Alt again ends them
    EXPECT_EQ(tips->Level(), L::Off);
    EXPECT_FALSE(Overlay(*w.Bar)->isVisible());
    EXPECT_NE(with, w.Bar->grab().toImage());

    // Alt used as a modifier shows nothing, and the mark still clicks its button.
    QSignalSpy opened(w.Open, &QAction::triggered);
    QTest::keyClick(&w.Window, Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(opened.count(), 1);
    EXPECT_EQ(tips->Level(), L::Off);
}

TEST(KeyTipMode, ATabsTipThenAButtonsTipRunsItsCommand) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    QSignalSpy about(w.About, &QAction::triggered);
    QSignalSpy save(w.Save, &QAction::triggered);

    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "h");
    EXPECT_EQ(w.Bar->CurrentTab(), 1);
    EXPECT_EQ(tips->Level(), L::Page);
    EXPECT_EQ(tips->ShownTips(), QStringList({"H", "A"}));
    Type(w.Window, "a");
    EXPECT_EQ(about.count(), 1);
    EXPECT_EQ(tips->Level(), L::Off);

    // Two characters where captions share a mark: the first narrows the labels shown.
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "m");
    EXPECT_EQ(w.Bar->CurrentTab(), 0);
    EXPECT_EQ(tips->ShownTips(), QStringList({"O", "S", "P", "RI", "N", "RG", "L"}));
    Type(w.Window, "r");
    EXPECT_EQ(tips->ShownTips(), QStringList({"RI", "RG"}));
    EXPECT_EQ(tips->Typed(), "R");
    Type(w.Window, "z"); // begins no tip: swallowed, nothing changes
    EXPECT_EQ(tips->ShownTips(), QStringList({"RI", "RG"}));
    Type(w.Window, "g");
    EXPECT_FALSE(w.Rgb->isChecked());
    EXPECT_EQ(tips->Level(), L::Off);

    // A disabled command's tip shows and picks nothing.
    w.Save->setEnabled(false);
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "ms");
    EXPECT_EQ(save.count(), 0);
    EXPECT_EQ(tips->Level(), L::Page);
    w.Save->setEnabled(true);
    Type(w.Window, "s");
    EXPECT_EQ(save.count(), 1);
}

TEST(KeyTipMode, EscapeLeavesOneLevelAtATime) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "mr");
    ASSERT_EQ(tips->Typed(), "R");
    Key(w.Window, Qt::Key_Escape); // the half-typed tip first
    EXPECT_EQ(tips->Level(), L::Page);
    EXPECT_EQ(tips->Typed(), "");
    Key(w.Window, Qt::Key_Escape);
    EXPECT_EQ(tips->Level(), L::Top);
    Key(w.Window, Qt::Key_Escape);
    EXPECT_EQ(tips->Level(), L::Off);

    // The application menu: F opens it with its own tips; Escape closes it first.
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "f");
    ASSERT_TRUE(w.Bar->IsAppMenuOpen());
    EXPECT_EQ(tips->Level(), L::AppMenu);
    EXPECT_EQ(tips->ShownTips(), QStringList({"O", "P", "A", "X", "T"}));
    Key(w.Window, Qt::Key_Escape);
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());
    EXPECT_EQ(tips->Level(), L::Top);
    Key(w.Window, Qt::Key_Escape);
    EXPECT_EQ(tips->Level(), L::Off);

    // An item's tip closes the menu and runs its command.
    QSignalSpy about(w.About, &QAction::triggered);
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "fa");
    EXPECT_EQ(about.count(), 1);
    EXPECT_FALSE(w.Bar->IsAppMenuOpen());
    EXPECT_EQ(tips->Level(), L::Off);
}

TEST(KeyTipMode, ArrowAndPageKeysPassThroughWhileTipsShow) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    TKeyCounter window(&w.Window);
    Key(w.Window, Qt::Key_Alt);
    for (Qt::Key key :
         {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown})
        Key(w.Window, key);
    EXPECT_EQ(window.Keys, QList<int>({Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down,
                                       Qt::Key_PageUp, Qt::Key_PageDown}));
    EXPECT_EQ(tips->Level(), L::Top);
    Type(w.Window, "m");
    Key(w.Window, Qt::Key_Right);
    EXPECT_EQ(window.Keys.size(), 7);
    EXPECT_EQ(tips->Level(), L::Page);
    // A letter is the tips' own and goes no further.
    Type(w.Window, "q");
    EXPECT_EQ(window.Keys.size(), 7);
    // Any other key ends them and goes where it would have gone.
    Key(w.Window, Qt::Key_F5);
    EXPECT_EQ(tips->Level(), L::Off);
    EXPECT_EQ(window.Keys.last(), Qt::Key_F5);
}

TEST(KeyTipMode, AClickOrAnotherWindowEndsTheTips) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    Key(w.Window, Qt::Key_Alt);
    QTest::mouseClick(&w.Window, Qt::LeftButton, {}, QPoint(10, 250));
    EXPECT_EQ(tips->Level(), L::Off);

    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "m");
    ASSERT_EQ(tips->Level(), L::Page);
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(tips->Level(), L::Off);
}

TEST(KeyTipMode, AFoldedRibbonShowsThePageForItsTipsOnly) {
    TRibbonWindow w;
    w.Bar->SetMinimized(true);
    ASSERT_TRUE(w.ShowActive());
    TRibbonKeyTipMode* tips = w.Bar->KeyTips();
    QSignalSpy next(w.Next, &QAction::triggered);
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "m");
    EXPECT_EQ(tips->Level(), L::Page);
    EXPECT_FALSE(w.Bar->IsMinimized());
    Key(w.Window, Qt::Key_Escape);
    EXPECT_TRUE(w.Bar->IsMinimized());
    Type(w.Window, "m");
    Type(w.Window, "n");
    EXPECT_EQ(next.count(), 1);
    EXPECT_TRUE(w.Bar->IsMinimized());
}

TEST(KeyTipMode, AFoldedGroupsButtonsKeepTheirTipsOnItsDropDown) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    w.Image->SetMode(TRibbonGroupMode::Collapsed); // as on a page too narrow for it
    ASSERT_TRUE(w.Image->DropButton()->isVisible());
    QSignalSpy paste(w.Paste, &QAction::triggered);
    Key(w.Window, Qt::Key_Alt);
    Type(w.Window, "m");
    int onDrop = 0;
    for (const TRibbonKeyTip& tip : w.Bar->KeyTips()->Tips())
        if (tip.Anchor == w.Image->DropButton())
            ++onDrop;
    EXPECT_EQ(onDrop, static_cast<int>(w.Image->Buttons().size()));
    Type(w.Window, "p");
    EXPECT_EQ(paste.count(), 1);
}

// ---------------------------------------------------------------- the keyboard focus

TEST(RibbonFocus, TabStopsInReadingOrderAndATabAtATime) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    const QList<QWidget*> stops = w.Bar->TabStops();
    const TRibbonQuickAccess* qat = w.Bar->QuickAccess();
    ASSERT_GE(stops.size(), qat->ItemCount() + 4);
    for (int i = 0; i < qat->ItemCount(); ++i)
        EXPECT_EQ(stops[i], qat->ItemButton(i));
    EXPECT_EQ(stops[qat->ItemCount()], w.Bar->AppButton());
    EXPECT_EQ(stops[qat->ItemCount() + 1], w.Bar->TabBar());
    EXPECT_EQ(stops.last(), w.ButtonOf(w.About));

    // Before the bar: a field of the window, as the program's ed4Focus.
    auto* field = new QWidget(&w.Window);
    field->setFocusPolicy(Qt::StrongFocus);
    field->setGeometry(0, 0, 0, 0);
    field->show();
    w.Bar->SetTabOrderAfter(field);
    field->setFocus();
    QList<QWidget*> walked;
    for (int i = 0; i < 40; ++i) {
        Key(w.Window, Qt::Key_Tab);
        if (QApplication::focusWidget() == field)
            break;
        walked << QApplication::focusWidget();
    }
    QList<QWidget*> expected;
    for (QWidget* s : stops)
        if (s->isVisible() && s->isEnabled()) {
            expected << s;
            if (s == w.Bar->TabBar())
                expected << s; // once for each tab
        }
    EXPECT_EQ(walked, expected);

    // On the tab row, Tab goes from tab to tab and Space selects the one with the frame.
    field->setFocus();
    while (QApplication::focusWidget() != w.Bar->TabBar())
        Key(w.Window, Qt::Key_Tab);
    EXPECT_EQ(w.Bar->TabBar()->FocusTab(), 0);
    Key(w.Window, Qt::Key_Tab);
    EXPECT_EQ(w.Bar->TabBar()->FocusTab(), 1);
    EXPECT_EQ(w.Bar->CurrentTab(), 0);
    Key(w.Window, Qt::Key_Space);
    EXPECT_EQ(w.Bar->CurrentTab(), 1);
    Key(w.Window, Qt::Key_Backtab);
    EXPECT_EQ(w.Bar->TabBar()->FocusTab(), 0);
}

TEST(RibbonFocus, AFrameMarksTheFocusAndArrowsLeaveItAlone) {
    TRibbonWindow w;
    ASSERT_TRUE(w.ShowActive());
    TKeyCounter window(&w.Window);
    for (QWidget* stop :
         {static_cast<QWidget*>(w.ButtonOf(w.Open)),
          static_cast<QWidget*>(w.Bar->QuickAccess()->ItemButton(0)),
          static_cast<QWidget*>(w.Bar->AppButton()), static_cast<QWidget*>(w.Bar->TabBar())}) {
        w.Window.setFocus();
        const QImage plain = stop->grab().toImage();
        stop->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(stop->hasFocus());
        EXPECT_NE(stop->grab().toImage(), plain) << stop->metaObject()->className();
        // Arrows belong to the window: the focus stays, the key travels on.
        const auto before = window.Keys.size();
        QTest::keyClick(stop, Qt::Key_Right);
        EXPECT_TRUE(stop->hasFocus()) << stop->metaObject()->className();
        EXPECT_EQ(window.Keys.size(), before + 1) << stop->metaObject()->className();
    }
    // A click does not take the focus from where the window put it.
    w.Window.setFocus();
    QTest::mouseClick(w.ButtonOf(w.Next), Qt::LeftButton);
    EXPECT_FALSE(w.ButtonOf(w.Next)->hasFocus());
}

} // namespace
