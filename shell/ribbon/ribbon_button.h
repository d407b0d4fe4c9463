// The ribbon's command buttons. Each stands for one QAction: it shows the action's icon,
// follows its enabled, checked and visible states as they change, and a click triggers
// the action. The caption is given when the button is made and may differ from the
// action's own text.
#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>

class QAction;
class QFontMetrics;
class QPainter;

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

    // The key tip its owner chose for the button (see RibbonKeyTips); empty: one taken from
    // the caption.
    void SetKeyTip(const QString& tip) { FKeyTip = tip; }
    QString KeyTip() const { return FKeyTip; }

    // Whether the tool tip names the action's shortcut (default: it does).
    void SetShortcutInTip(bool show);
    bool ShortcutInTip() const { return FShortcutInTip; }

    // Whether the owner wants the button shown. It is shown when this is set, the action is
    // visible and the button is not folded away.
    void SetWanted(bool wanted);
    bool IsWanted() const { return FWanted; }
    // Whether the button would show if its container did not fold it away.
    bool IsWantedAndVisible() const;
    // Hides the button while its container shows it elsewhere (a group folded into a
    // drop-down), whatever the other states say.
    void SetFoldedAway(bool folded);

  signals:
    // The button has followed a change of its action or of the owner's wish; whether it
    // shows may have changed with it.
    void synced();

  protected:
    const TRibbonThemeColours& Colours() const;
    // What a click does; by default, close the popup the button sits in (the command may
    // open a dialog of its own) and trigger the action.
    virtual void Activate();
    // The frame that shows the keyboard focus, drawn over the face while the button has it.
    void PaintFocusFrame(QPainter& p, qreal radius = 3.0) const;

    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    // The action keeps the checked state; the button only shows it.
    void nextCheckState() override {}

  private:
    void SyncFromAction();

    QPointer<QAction> FAction;
    QString FCaption;
    QString FKeyTip;
    const TRibbonStyle* FStyle;
    bool FShortcutInTip = true;
    bool FWanted = true;
    bool FFoldedAway = false;
};

// The three looks of a group's button, widest first: icon over a caption of one or two
// lines, icon left of a one-line caption, and the small icon alone.
enum class TRibbonButtonSize : std::uint8_t { Large, Small, IconOnly };

// A button of a ribbon group. Large, a 32-pixel icon over its caption, which takes one or
// two lines; small, a 16-pixel icon left of the caption on one line; or the 16-pixel icon
// alone, the tool tip then telling what it does. The marked character of the caption is
// underlined and Alt with it clicks the button while it is shown (see
// TRibbonActionButton::event for a character that several buttons mark).
class TRibbonButton : public TRibbonActionButton {
    Q_OBJECT
  public:
    static constexpr int IconSide = 32;
    static constexpr int SmallIconSide = 16;

    TRibbonButton(QAction* action, const QString& caption, const TRibbonStyle* style,
                  QWidget* parent);

    // The caption as laid out on the button, marks included: one or two lines when large,
    // one line when small, none when the icon shows alone.
    QStringList CaptionLines() const;

    TRibbonButtonSize ButtonSize() const { return FSize; }
    // Where the icon is drawn in the button's look now.
    QRect IconRect() const;
    void SetButtonSize(TRibbonButtonSize size);
    // The size the button wants in each look. Large buttons are all as tall as each other
    // (room for two caption lines keeps the icons of a row aligned); small ones and icons
    // alone are a third of that, so three stack beside a large one.
    QSize SizeHintFor(TRibbonButtonSize size) const;
    // The height of a large button in this font.
    static int LargeHeight(const QFontMetrics& metrics);

    QSize sizeHint() const override { return SizeHintFor(FSize); }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* e) override;

  private:
    void PaintLarge(QPainter& p);
    void PaintSmall(QPainter& p);

    TRibbonButtonSize FSize = TRibbonButtonSize::Large;
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

    // Where the icon is drawn.
    QRect IconRect() const;
    QSize sizeHint() const override;

  protected:
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
