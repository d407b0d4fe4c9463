// The ribbon command bar: a title row with the quick access toolbar and the title, a tab
// row with the application menu button, the tabs, the fold toggle and the help button, and
// under it the page of the selected tab.
//
// The bar only shows commands; it knows nothing of what they do. The window makes the
// QActions (text, tool tip, shortcut, icon, checkable state), hands them to the bar with
// the captions they carry here, and handles their triggered() signals.
//
// Shortcuts: a QAction's shortcut works only while the action belongs to a widget of the
// active window, and the bar does not add the window's actions to anything. The window
// must call addAction() (or addActions(bar->Actions())) on itself for every action whose
// shortcut should work. Two actions with the same shortcut in one window make the key
// ambiguous and neither runs: a twin command for a second surface should carry no shortcut
// of its own, and its button can keep the twin's shortcut out of the tool tip.
#pragma once

#include "ribbon_theme.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QHBoxLayout;
class QShortcut;
class QStackedWidget;

namespace ribbon {

class TRibbonAppButton;
class TRibbonAppMenu;
class TRibbonChevronButton;
class TRibbonKeyTipMode;
class TRibbonPage;
class TRibbonQuickAccess;
class TRibbonQuickButton;
class TRibbonTabBar;

class TRibbonBar : public QWidget {
    Q_OBJECT
  public:
    explicit TRibbonBar(QWidget* parent = nullptr);

    // ---- pages and tabs
    // Adds a page with its tab at the right; the first page becomes the current one.
    TRibbonPage* AddPage(const QString& caption);
    int PageCount() const;
    TRibbonPage* Page(int index) const;
    // The selected tab, -1 without pages.
    int CurrentTab() const;
    // Selects a tab; an index out of range changes nothing.
    void SetCurrentTab(int index);

    // ---- folding the pages away (the tab row stays)
    bool IsMinimized() const { return FMinimized; }
    void SetMinimized(bool minimized);
    // The checkable command behind the fold toggle (Ctrl+F1), for menus of the window.
    QAction* MinimizeAction() const { return FMinimizeAction; }

    // ---- application menu (key tip "F": Alt+F opens it, and so does F after Alt)
    TRibbonAppMenu* AppMenu() const { return FAppMenu; }
    TRibbonAppButton* AppButton() const { return FAppButton; }
    void SetAppMenuCaption(const QString& caption);
    QString AppMenuCaption() const;
    // The letter that opens the menu together with Alt.
    void SetAppMenuKeyTip(QChar key);
    QChar AppMenuKeyTip() const { return FKeyTip; }
    void OpenAppMenu();
    bool IsAppMenuOpen() const;
    // The recent images of the menu (see TRibbonAppMenu); clicks arrive as recentItemClicked.
    void AddRecentItem(const QString& caption);
    QStringList RecentItems() const;
    void ClearRecentItems();

    // ---- quick access toolbar
    TRibbonQuickAccess* QuickAccess() const { return FQuickAccess; }

    // ---- help button at the right end of the tab row; hidden without an action
    void SetHelpAction(QAction* action);
    QAction* HelpAction() const;

    // ---- title: "document - caption", or the caption alone without a document
    void SetCaption(const QString& caption);
    QString Caption() const { return FCaption; }
    void SetDocumentName(const QString& name);
    QString DocumentName() const { return FDocumentName; }
    QString TitleText() const;

    // ---- theme
    // Recolours the whole bar and its menu at once; the selected tab stays selected. A value
    // outside 0..2 changes nothing.
    void SetTheme(TRibbonTheme theme);
    TRibbonTheme Theme() const;
    const TRibbonThemeColours& Colours() const;
    const TRibbonStyle* Style() const { return FStyle; }

    // The tab row's tabs.
    TRibbonTabBar* TabBar() const { return FTabs; }

    // ---- keyboard
    // The key tips that Alt shows (see TRibbonKeyTipMode).
    TRibbonKeyTipMode* KeyTips() const { return FKeyTips; }
    // The bar's keyboard stops in the order they are read: the quick access items, the menu
    // button, the tabs, the fold toggle, the help button, then each page's groups from the
    // left (a folded group's drop-down, then its buttons). Hidden ones are skipped by Tab.
    QList<QWidget*> TabStops() const;
    // Puts those stops right after first in the window's tab order; what followed first
    // follows the last of them. Called once the window's widgets exist: a widget made later
    // joins the chain where the toolkit puts new ones.
    void SetTabOrderAfter(QWidget* first);

    // Every action handed to the bar so far (pages, menu, toolbar, help), each once, for
    // the window's addActions().
    QList<QAction*> Actions() const;

    QSize sizeHint() const override;

  signals:
    void currentTabChanged(int index);
    void minimizedChanged(bool minimized);
    // A recent item of the application menu was clicked: its caption and its position
    // (top is 0).
    void recentItemClicked(const QString& caption, int index);
    void themeChanged(ribbon::TRibbonTheme theme);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    TRibbonStyle* FStyle;
    QHBoxLayout* FTitleRow;
    QHBoxLayout* FTabRow;
    TRibbonQuickAccess* FQuickAccess;
    TRibbonAppButton* FAppButton;
    TRibbonAppMenu* FAppMenu;
    TRibbonTabBar* FTabs;
    TRibbonChevronButton* FMinimizeButton;
    TRibbonQuickButton* FHelpButton = nullptr;
    QStackedWidget* FPages;
    QAction* FMinimizeAction;
    QShortcut* FAppShortcut;
    TRibbonKeyTipMode* FKeyTips = nullptr;
    QChar FKeyTip = u'F';
    QString FCaption;
    QString FDocumentName;
    bool FMinimized = false;
};

} // namespace ribbon
