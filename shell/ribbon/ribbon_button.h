// The ribbon's command buttons. Each stands for one QAction: it shows the action's icon,
// follows its enabled, checked and visible states as they change, and a click triggers
// the action. The caption is given when the button is made and may differ from the
// action's own text.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAction;

namespace ribbon {

class TRibbonStyle;
struct TRibbonThemeColours;

// What the buttons below share: the bond to the action and the theme.
class TRibbonActionButton : public QAbstractButton {
    Q_OBJECT
  public:
    TRibbonActionButton(QAction* action, const QString& caption, const TRibbonStyle* style,
                        QWidget* parent);

    QAction* Action() const { return FAction; }
    // The caption as given, marks included.
    QString Caption() const { return FCaption; }

    // Whether the tool tip names the action's shortcut (default: it does).
    void SetShortcutInTip(bool show);
    bool ShortcutInTip() const { return FShortcutInTip; }

    // Whether the owner wants the button shown. It is shown when this is set and the action
    // is visible.
    void SetWanted(bool wanted);
    bool IsWanted() const { return FWanted; }

  protected:
    const TRibbonThemeColours& Colours() const;
    // What a click does; by default, trigger the action.
    virtual void Activate();

    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // The action keeps the checked state; the button only shows it.
    void nextCheckState() override {}

  private:
    void SyncFromAction();

    QPointer<QAction> FAction;
    QString FCaption;
    const TRibbonStyle* FStyle;
    bool FShortcutInTip = true;
    bool FWanted = true;
};

// A large button of a ribbon group: a 32-pixel icon over its caption, which takes one or
// two lines. The marked character of the caption is underlined and Alt with it clicks the
// button while its page is shown (see TRibbonActionButton::event for a character that
// several buttons mark).
class TRibbonButton : public TRibbonActionButton {
    Q_OBJECT
  public:
    static constexpr int IconSide = 32;

    TRibbonButton(QAction* action, const QString& caption, const TRibbonStyle* style,
                  QWidget* parent);

    // The caption as laid out on the button, marks included.
    QStringList CaptionLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* e) override;
};

// A small icon-only button of the quick access toolbar; its tool tip tells what it does.
class TRibbonQuickButton : public TRibbonActionButton {
    Q_OBJECT
  public:
    static constexpr int IconSide = 16;

    TRibbonQuickButton(QAction* action, const QString& caption, const TRibbonStyle* style,
                       QWidget* parent);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

// An item of the application menu: icon left of the caption. A click closes the menu
// before the action runs. Framed items are the buttons at the menu's foot.
class TRibbonMenuItem : public TRibbonActionButton {
    Q_OBJECT
  public:
    TRibbonMenuItem(QAction* action, const QString& caption, int iconSide, bool framed,
                    const TRibbonStyle* style, QWidget* parent);

    QSize sizeHint() const override;

  protected:
    void Activate() override;
    void paintEvent(QPaintEvent* e) override;

  private:
    int FIconSide;
    bool FFramed;
};

// The toggle that folds the ribbon's pages away: a chevron pointing up while the pages
// show and down while they are folded (its checkable action is checked).
class TRibbonChevronButton : public TRibbonActionButton {
    Q_OBJECT
  public:
    TRibbonChevronButton(QAction* action, const TRibbonStyle* style, QWidget* parent);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace ribbon
