// Picking ribbon items by key tips. Pressing and releasing Alt alone shows a small label on
// the application menu button, each tab and each quick access item; typing a label picks
// its item. A tab's label then shows the labels of that tab's buttons, the menu's label
// the labels of the menu's items; typing one of those runs its command and the labels go.
// Labels come from the captions' marks (RibbonKeyTips) unless the owner chose one.
//
// Escape goes back one level (the half-typed label first); Alt again, a click anywhere,
// another window or any other key ends the labels. Arrow and page keys pass through
// untouched while labels show, so whatever the window does with them goes on.
//
// The mode watches the keys of the ribbon's window through an application event filter,
// on the main thread, and never sees the keys of other windows (dialogs, other popups).
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <functional>

class QKeyEvent;

namespace ribbon {

class TRibbonBar;
class TRibbonKeyTipOverlay;

enum class TRibbonKeyTipLevel : std::uint8_t {
    Off,
    Top,     // the application menu button, the tabs, the quick access items
    Page,    // the buttons of the selected tab's page
    AppMenu, // the items of the open application menu
};

// Where a label sits on the part of the widget it stands for.
enum class TRibbonKeyTipPlace : std::uint8_t {
    Under,  // centred on the lower edge (tabs, the menu button, the icons of large buttons)
    Centre, // centred (the icons of small buttons and menu items)
    InRow,  // the Slot-th of a row along the lower edge (the buttons of a folded group)
};

// One label of the level shown.
struct TRibbonKeyTip {
    QString Text;
    QPointer<QWidget> Anchor; // where it is drawn; not drawn while hidden
    // The part of Anchor it goes on, asked each time it is drawn (the anchor may have been
    // laid out anew); none: all of it.
    std::function<QRect()> Area;
    TRibbonKeyTipPlace Place = TRibbonKeyTipPlace::Under;
    int Slot = 0;
    QPointer<QWidget> Item; // whose enabled state the label follows; none: always enabled
    std::function<void()> Pick;

    // A disabled item's label shows greyed and picks nothing.
    bool Enabled() const { return !Item || Item->isEnabled(); }
};

class TRibbonKeyTipMode : public QObject {
    Q_OBJECT
  public:
    explicit TRibbonKeyTipMode(TRibbonBar* bar);

    TRibbonKeyTipLevel Level() const { return FLevel; }
    // Shows the first level's labels (what Alt does).
    void Start();
    // Hides every label.
    void Stop();

    // The labels of the level shown, and those still matching what was typed of a
    // two-character label (all of them when nothing is half-typed).
    const QList<TRibbonKeyTip>& Tips() const { return FTips; }
    QStringList ShownTips() const;
    QString Typed() const { return FTyped; }

  signals:
    void levelChanged(ribbon::TRibbonKeyTipLevel level);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    bool HandleKey(QWidget* receiver, QKeyEvent* e);
    void Type(const QString& c);
    void Back();
    void Enter(TRibbonKeyTipLevel level);
    QList<TRibbonKeyTip> TopTips();
    QList<TRibbonKeyTip> PageTips();
    QList<TRibbonKeyTip> AppMenuTips();
    void ShowTips();
    void Relabel();
    void Refold();

    TRibbonBar* FBar;
    TRibbonKeyTipOverlay* FBarOverlay;
    QPointer<TRibbonKeyTipOverlay> FMenuOverlay;
    TRibbonKeyTipLevel FLevel = TRibbonKeyTipLevel::Off;
    QList<TRibbonKeyTip> FTips;
    QString FTyped;         // the first character of a two-character label
    bool FAltAlone = false; // Alt is down and nothing else was pressed since
    bool FRefold = false;   // the pages were folded away and are shown only for the labels
    bool FLeaving = false;  // the mode itself is closing the application menu
};

} // namespace ribbon
