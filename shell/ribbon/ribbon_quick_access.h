// The quick access toolbar: small icon-only buttons for the commands the window puts there.
// The user shows or hides each of them from the toolbar's menu (right click, or the arrow at
// the toolbar's end); the window keeps those choices through ItemVisible/SetItemVisible.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QHBoxLayout;
class QMenu;

namespace ribbon {

class TRibbonQuickButton;
class TRibbonStyle;

class TRibbonQuickAccess : public QWidget {
    Q_OBJECT
  public:
    TRibbonQuickAccess(const TRibbonStyle* style, QWidget* parent);

    // Appends a button for action and returns its index. caption names the item in the
    // toolbar's menu (empty: the action's text). shortcutInTip false keeps the action's
    // shortcut out of the tool tip.
    int AddItem(QAction* action, const QString& caption = QString(), bool shortcutInTip = true);
    int ItemCount() const { return static_cast<int>(FButtons.size()); }
    // Null, empty or false for an index out of range.
    QAction* ItemAction(int index) const;
    QString ItemCaption(int index) const;
    TRibbonQuickButton* ItemButton(int index) const { return FButtons.value(index); }

    // Whether the user keeps item index on the toolbar (false out of range).
    bool ItemVisible(int index) const;
    // Shows or hides item index; an index out of range changes nothing.
    void SetItemVisible(int index, bool visible);

    // Appends an action to the toolbar's menu, below the entries of the items.
    void AddMenuAction(QAction* action);
    // The toolbar's menu: one checkable entry per item, named by its caption and checked
    // while the item shows, then the actions of AddMenuAction. The caller owns it.
    QMenu* CreateMenu(QWidget* parent);
    // Shows that menu at globalPos; it goes away by itself when closed.
    void PopupMenu(const QPoint& globalPos);

    QSize sizeHint() const override;

  signals:
    void itemVisibilityChanged(int index, bool visible);

  protected:
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    const TRibbonStyle* FStyle;
    QHBoxLayout* FRow;
    QWidget* FMenuButton;
    QList<TRibbonQuickButton*> FButtons;
    QList<QAction*> FMenuActions;
};

} // namespace ribbon
