// The ribbon's application menu: the button left of the tabs and the popup it opens, with
// commands in a left column, the recent images in a right column and buttons at the foot.
#pragma once

#include <QAbstractButton>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

class QAction;
class QScrollArea;
class QVBoxLayout;
class QHBoxLayout;

namespace ribbon {

class TRibbonMenuItem;
class TRibbonStyle;

// The captions of the recent images, newest first. A caption is listed once: adding one
// puts it on top and removes every other item with exactly the same caption (compared
// case-sensitively). There is no length limit.
class TRibbonRecentList {
  public:
    void Add(const QString& caption);
    void Clear() { FItems.clear(); }
    QStringList Items() const { return FItems; }
    int Count() const { return static_cast<int>(FItems.size()); }

  private:
    QStringList FItems;
};

// The popup.
class TRibbonAppMenu : public QWidget {
    Q_OBJECT
  public:
    // parent owns the popup; the popup is a window of its own.
    TRibbonAppMenu(const TRibbonStyle* style, QWidget* parent);

    // Left column: a command (icon and caption, marks included; an empty caption takes the
    // action's text) or a separator, appended.
    TRibbonMenuItem* AddItem(QAction* action, const QString& caption = QString());
    void AddSeparator();
    QList<TRibbonMenuItem*> Items() const { return FItems; }

    // A button at the foot, appended at the right.
    TRibbonMenuItem* AddFooterButton(QAction* action, const QString& caption = QString());
    QList<TRibbonMenuItem*> FooterButtons() const { return FFooterButtons; }

    // Right column: the heading ("Recent Images") and the captions under it.
    void SetRecentHeader(const QString& header);
    QString RecentHeader() const { return FRecentHeader; }
    void AddRecentItem(const QString& caption);
    QStringList RecentItems() const { return FRecent.Items(); }
    void ClearRecentItems();
    // The button of recent item index (top is 0); null for an index out of range.
    QAbstractButton* RecentButton(int index) const { return FRecentButtons.value(index); }

    // Shows the popup with its top left corner at globalPos (moved to stay on the screen).
    // A click on opener while the popup is open only closes it.
    void Popup(const QPoint& globalPos, QWidget* opener = nullptr);

  signals:
    // A recent item was clicked: its caption and its position (top is 0). The popup has
    // closed by then.
    void recentItemClicked(const QString& caption, int index);
    void aboutToShow();
    void aboutToHide();

  protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    void RebuildRecent();
    void ClickRecent(int index);

    const TRibbonStyle* FStyle;
    QWidget* FLeftPane;
    QVBoxLayout* FLeft;
    QWidget* FRightPane;
    QWidget* FRecentHeaderWidget;
    QScrollArea* FRecentScroll;
    QVBoxLayout* FRecentColumn;
    QWidget* FFooter;
    QHBoxLayout* FFooterRow;
    QList<TRibbonMenuItem*> FItems;
    QList<TRibbonMenuItem*> FFooterButtons;
    QString FRecentHeader;
    TRibbonRecentList FRecent;
    QList<QAbstractButton*> FRecentButtons;
    QPointer<QWidget> FOpener;
};

// The button that opens the application menu: the caption on the theme's accent colour.
class TRibbonAppButton : public QAbstractButton {
    Q_OBJECT
  public:
    TRibbonAppButton(const QString& caption, const TRibbonStyle* style, QWidget* parent);

    // The caption is shown as written ("&" marks nothing here: the menu has a key tip).
    void SetCaption(const QString& caption);
    QString Caption() const { return FCaption; }

    // Drawn pressed while the menu is open.
    void SetOpen(bool open);
    bool IsOpen() const { return FOpen; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    const TRibbonStyle* FStyle;
    QString FCaption;
    bool FOpen = false;
};

} // namespace ribbon
