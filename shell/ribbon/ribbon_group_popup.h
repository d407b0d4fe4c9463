// A group folded for want of room: the drop-down button that stands in for it on the page
// and the popup that shows the whole group with large buttons when the button is clicked.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

namespace ribbon {

class TRibbonGroup;
class TRibbonGroupPopup;
class TRibbonStyle;

// The icon of the group's first button over the group's caption and a down arrow.
class TRibbonGroupButton : public QAbstractButton {
    Q_OBJECT
  public:
    // group is the parent and owns the button.
    TRibbonGroupButton(TRibbonGroup* group, const TRibbonStyle* style);

    // Opens the popup under the button; it deletes itself when it closes.
    void OpenPopup();
    // The popup while it is open, else null.
    TRibbonGroupPopup* Popup() const { return FPopup; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    TRibbonGroup* FGroup;
    const TRibbonStyle* FStyle;
    QPointer<TRibbonGroupPopup> FPopup;
};

// A popup window holding a copy of a group at full size; a click on one of its buttons
// closes it before the command runs.
class TRibbonGroupPopup : public QWidget {
    Q_OBJECT
  public:
    TRibbonGroupPopup(const TRibbonGroup& group, const TRibbonStyle* style, QWidget* opener);

    TRibbonGroup* Group() const { return FGroup; }
    // Shows the popup with its top left at globalPos, kept on the screen.
    void Popup(const QPoint& globalPos);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;

  private:
    const TRibbonStyle* FStyle;
    QWidget* FOpener;
    TRibbonGroup* FGroup;
};

} // namespace ribbon
