// A page of the ribbon (the content of one tab) and its groups of buttons. The page gives
// each group the mode that lets the whole row fit its width (see FitRibbonGroups); the
// groups place their own buttons for the mode they are given.
#pragma once

#include "ribbon_fit.h"

#include <QList>
#include <QString>
#include <QWidget>

class QAction;

namespace ribbon {

class TRibbonButton;
class TRibbonGroupButton;
class TRibbonStyle;

// The thin line between two items of a group.
class TRibbonSeparator : public QWidget {
    Q_OBJECT
  public:
    TRibbonSeparator(const TRibbonStyle* style, QWidget* parent);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    const TRibbonStyle* FStyle;
};

// Buttons and separators in a row with a caption under it. Large buttons stand side by
// side; small ones and icons alone stack three to a column, a separator starting a new
// column. Folded, the group is one drop-down button that pops the group up in full.
class TRibbonGroup : public QWidget {
    Q_OBJECT
  public:
    TRibbonGroup(const QString& caption, const TRibbonStyle* style, QWidget* parent);

    QString Caption() const { return FCaption; }

    // Adds a button for action at the end of the row. The caption, with its marks, is the
    // button's; an empty caption takes the action's text.
    TRibbonButton* AddButton(QAction* action, const QString& caption = QString());
    // Adds a separator at the end of the row.
    void AddSeparator();

    QList<TRibbonButton*> Buttons() const { return FButtons; }
    // Buttons and separators in order: 'B' for a button, '|' for a separator.
    QString Layout() const { return FLayout; }

    TRibbonGroupMode Mode() const { return FMode; }
    // Places the items for mode and resizes the group to its width in it.
    void SetMode(TRibbonGroupMode mode);
    // The group's width in pixels in mode, from the buttons shown now.
    int WidthIn(TRibbonGroupMode mode) const;
    TRibbonGroupWidths Widths() const;
    // The drop-down button that stands for the group while it is collapsed.
    TRibbonGroupButton* DropButton() const { return FDropButton; }
    // A copy of the group's items in a new group under parent, for the drop-down's popup.
    TRibbonGroup* CopyInto(QWidget* parent) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    // A button was shown or hidden, or an item added: the widths have changed.
    void contentChanged();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    struct TItem {
        TRibbonButton* Button = nullptr;       // a button, or
        TRibbonSeparator* Separator = nullptr; // a separator
    };
    // Where each item goes in mode (an empty rectangle hides it); returns the width.
    int Place(TRibbonGroupMode mode, QList<QRect>* places) const;
    void Arrange();
    void ContentChanged();

    QString FCaption;
    const TRibbonStyle* FStyle;
    QList<TItem> FItems;
    QList<TRibbonButton*> FButtons;
    QString FLayout;
    TRibbonGroupButton* FDropButton;
    TRibbonGroupMode FMode = TRibbonGroupMode::Large;
    QString FShown; // per item, '1' when it took room at the last measure
};

// The groups of one tab, side by side from the left. When the page is narrower than its
// groups want, they shrink, the rightmost first, and grow back as room returns; the page's
// minimum width is that of its groups at their narrowest, so nothing is ever cut off.
class TRibbonPage : public QWidget {
    Q_OBJECT
  public:
    TRibbonPage(const QString& caption, const TRibbonStyle* style, QWidget* parent);

    // The tab's caption.
    QString Caption() const { return FCaption; }
    // The key tip its owner chose for the tab (see RibbonKeyTips); empty: one taken from the
    // caption.
    void SetKeyTip(const QString& tip) { FKeyTip = tip; }
    QString KeyTip() const { return FKeyTip; }

    // Adds a group at the right of the others.
    TRibbonGroup* AddGroup(const QString& caption);
    QList<TRibbonGroup*> Groups() const { return FGroups; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    // The width the groups need in the narrowest modes (narrowest) or all large.
    int GroupsWidth(bool narrowest) const;
    void Arrange();

    QString FCaption;
    QString FKeyTip;
    const TRibbonStyle* FStyle;
    QList<TRibbonGroup*> FGroups;
    bool FSized = false; // the page has had a width of its own; until then all is large
};

} // namespace ribbon
