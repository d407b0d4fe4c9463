#include "ribbon_button.h"

#include "ribbon_paint.h"
#include "ribbon_text.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcutEvent>

#include <algorithm>

namespace ribbon {

namespace {

// Large buttons: padding around the icon and the caption, and the width beyond which a
// caption goes on two lines.
constexpr int LargePad = 4;
constexpr int LargeGap = 3;
constexpr int LargeWrapWidth = 60;
constexpr int LargeMinWidth = 44;
// Small buttons and icons alone: padding left of the icon, between icon and caption and
// right of the caption.
constexpr int SmallPad = 3;
constexpr int SmallGap = 4;
constexpr int SmallRightPad = 6;

QIcon::Mode IconMode(const QAbstractButton& b) {
    return b.isEnabled() ? QIcon::Normal : QIcon::Disabled;
}

QIcon::State IconState(const QAbstractButton& b) {
    return b.isChecked() ? QIcon::On : QIcon::Off;
}

} // namespace

// ---------------------------------------------------------------- TRibbonActionButton

TRibbonActionButton::TRibbonActionButton(QAction* action, const QString& caption,
                                         const TRibbonStyle* style, QWidget* parent)
    : QAbstractButton(parent), FAction(action), FCaption(caption), FStyle(style) {
    Q_ASSERT(action && style);
    setAttribute(Qt::WA_Hover);
    // Tab reaches the button, a click does not take the focus: it stays where the window
    // put it, so the keys the window handles keep working after a click.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(RibbonPlainText(caption));
    connect(action, &QAction::changed, this, &TRibbonActionButton::SyncFromAction);
    connect(action, &QObject::destroyed, this, [this] { setEnabled(false); });
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::clicked, this, &TRibbonActionButton::Activate);
    SyncFromAction();
}

void TRibbonActionButton::SetShortcutInTip(bool show) {
    FShortcutInTip = show;
    SyncFromAction();
}

void TRibbonActionButton::SetWanted(bool wanted) {
    FWanted = wanted;
    SyncFromAction();
}

const TRibbonThemeColours& TRibbonActionButton::Colours() const {
    return FStyle->Colours();
}

bool TRibbonActionButton::IsWantedAndVisible() const {
    return FWanted && FAction && FAction->isVisible();
}

void TRibbonActionButton::SetFoldedAway(bool folded) {
    if (folded == FFoldedAway)
        return;
    FFoldedAway = folded;
    SyncFromAction();
}

void TRibbonActionButton::Activate() {
    if (QWidget* popup = window(); popup != this && popup->windowType() == Qt::Popup)
        popup->close();
    if (FAction)
        FAction->trigger();
}

bool TRibbonActionButton::event(QEvent* e) {
    if (e->type() == QEvent::Shortcut) {
        // A mnemonic of this button alone clicks it at once (QAbstractButton would click
        // only after a delay). When several shown buttons mark the same character, each
        // press of the key takes the focus to the next of them, and Enter or Space clicks
        // the one with the focus.
        if (static_cast<QShortcutEvent*>(e)->isAmbiguous())
            setFocus(Qt::ShortcutFocusReason);
        else if (isEnabled())
            click();
        return true;
    }
    return QAbstractButton::event(e);
}

void TRibbonActionButton::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isEnabled())
            click();
        return;
    default:
        // Arrows belong to the window (or to the menu the button sits in); a button would
        // move the focus with them as well.
        if (IsRibbonArrowKey(e->key()))
            e->ignore();
        else
            QAbstractButton::keyPressEvent(e);
    }
}

void TRibbonActionButton::PaintFocusFrame(QPainter& p, qreal radius) const {
    if (hasFocus())
        PaintRibbonFocusFrame(p, rect(), Colours().FocusFrame, radius);
}

void TRibbonActionButton::SyncFromAction() {
    if (!FAction)
        return;
    setEnabled(FAction->isEnabled());
    setCheckable(FAction->isCheckable());
    setChecked(FAction->isChecked());
    setToolTip(RibbonToolTip(*FAction, FShortcutInTip));
    setStatusTip(FAction->statusTip());
    // Without a parent, showing would make the button a window of its own.
    if (parentWidget())
        setVisible(IsWantedAndVisible() && !FFoldedAway);
    updateGeometry();
    update();
    emit synced();
}

// ---------------------------------------------------------------- TRibbonButton

TRibbonButton::TRibbonButton(QAction* action, const QString& caption, const TRibbonStyle* style,
                             QWidget* parent)
    : TRibbonActionButton(action, caption, style, parent) {
    setText(caption); // registers Alt + the marked character
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QStringList TRibbonButton::CaptionLines() const {
    switch (FSize) {
    case TRibbonButtonSize::Large:
        return RibbonCaptionLines(Caption(), fontMetrics(), LargeWrapWidth);
    case TRibbonButtonSize::Small:
        return {Caption().trimmed()};
    case TRibbonButtonSize::IconOnly:
        break;
    }
    return {};
}

void TRibbonButton::SetButtonSize(TRibbonButtonSize size) {
    if (size == FSize)
        return;
    FSize = size;
    updateGeometry();
    update();
}

int TRibbonButton::LargeHeight(const QFontMetrics& metrics) {
    return LargePad + IconSide + LargeGap + 2 * metrics.height() + LargePad;
}

QSize TRibbonButton::SizeHintFor(TRibbonButtonSize size) const {
    const QFontMetrics fm = fontMetrics();
    const int smallHeight = LargeHeight(fm) / 3;
    switch (size) {
    case TRibbonButtonSize::Large: {
        int textWidth = 0;
        for (const QString& line : RibbonCaptionLines(Caption(), fm, LargeWrapWidth))
            textWidth = std::max(textWidth, fm.horizontalAdvance(RibbonPlainText(line)));
        return {std::max({LargeMinWidth, IconSide + 2 * LargePad, textWidth + 2 * LargePad + 4}),
                LargeHeight(fm)};
    }
    case TRibbonButtonSize::Small:
        return {SmallPad + SmallIconSide + SmallGap +
                    fm.horizontalAdvance(RibbonPlainText(Caption().trimmed())) + SmallRightPad,
                smallHeight};
    case TRibbonButtonSize::IconOnly:
        return {SmallIconSide + 2 * SmallPad, smallHeight};
    }
    return {};
}

void TRibbonButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintRibbonFace(p, rect(), RibbonFaceOf(*this), Colours());
    PaintFocusFrame(p);
    if (FSize == TRibbonButtonSize::Large)
        PaintLarge(p);
    else
        PaintSmall(p);
}

QRect TRibbonButton::IconRect() const {
    if (FSize == TRibbonButtonSize::Large)
        return {(width() - IconSide) / 2, LargePad, IconSide, IconSide};
    return {SmallPad, (height() - SmallIconSide) / 2, SmallIconSide, SmallIconSide};
}

void TRibbonButton::PaintSmall(QPainter& p) {
    const QRect iconRect = IconRect();
    if (const QAction* action = Action())
        action->icon().paint(&p, iconRect, Qt::AlignCenter, IconMode(*this), IconState(*this));
    if (FSize != TRibbonButtonSize::Small)
        return;
    const TRibbonThemeColours& colours = Colours();
    p.setPen(isEnabled() ? colours.ButtonText : colours.ButtonDisabledText);
    const int left = iconRect.right() + 1 + SmallGap;
    p.drawText(QRect(left, 0, width() - left, height()),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, Caption().trimmed());
}

void TRibbonButton::PaintLarge(QPainter& p) {
    const TRibbonThemeColours& colours = Colours();
    const QRect iconRect = IconRect();
    if (const QAction* action = Action())
        action->icon().paint(&p, iconRect, Qt::AlignCenter, IconMode(*this), IconState(*this));

    p.setPen(isEnabled() ? colours.ButtonText : colours.ButtonDisabledText);
    const int lineHeight = fontMetrics().height();
    int top = iconRect.bottom() + 1 + LargeGap;
    for (const QString& line : CaptionLines()) {
        p.drawText(QRect(0, top, width(), lineHeight),
                   Qt::AlignHCenter | Qt::AlignTop | Qt::TextShowMnemonic, line);
        top += lineHeight;
    }
}

// ---------------------------------------------------------------- TRibbonQuickButton

TRibbonQuickButton::TRibbonQuickButton(QAction* action, const QString& caption,
                                       const TRibbonStyle* style, QWidget* parent)
    : TRibbonActionButton(action, caption, style, parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TRibbonQuickButton::sizeHint() const {
    return {IconSide + 6, IconSide + 6};
}

void TRibbonQuickButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintRibbonFace(p, rect(), RibbonFaceOf(*this), Colours(), 2.5);
    PaintFocusFrame(p, 2.5);
    const QRect iconRect((width() - IconSide) / 2, (height() - IconSide) / 2, IconSide, IconSide);
    if (const QAction* action = Action())
        action->icon().paint(&p, iconRect, Qt::AlignCenter, IconMode(*this), IconState(*this));
}

// ---------------------------------------------------------------- TRibbonMenuItem

TRibbonMenuItem::TRibbonMenuItem(QAction* action, const QString& caption, int iconSide, bool framed,
                                 const TRibbonStyle* style, QWidget* parent)
    : TRibbonActionButton(action, caption, style, parent), FIconSide(iconSide), FFramed(framed) {
    setText(caption);
    // Inside the popup the arrow keys walk the items.
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(framed ? QSizePolicy::Fixed : QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QRect TRibbonMenuItem::IconRect() const {
    const int pad = FFramed ? 5 : 6;
    return {pad, (height() - FIconSide) / 2, FIconSide, FIconSide};
}

QSize TRibbonMenuItem::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    const int pad = FFramed ? 5 : 6;
    const int textWidth = fm.horizontalAdvance(RibbonPlainText(Caption()));
    return {pad + FIconSide + 8 + textWidth + 2 * pad + (FFramed ? 0 : 24),
            std::max(FIconSide, fm.height()) + 2 * pad};
}

void TRibbonMenuItem::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = Colours();
    TRibbonFace face = RibbonFaceOf(*this);
    if (face == TRibbonFace::Plain && hasFocus())
        face = TRibbonFace::Hover;
    if (FFramed && face == TRibbonFace::Plain) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(colours.MenuEdge);
        p.setBrush(colours.MenuBackground);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    } else {
        PaintRibbonFace(p, rect(), face, colours);
    }
    PaintFocusFrame(p);

    const int pad = FFramed ? 5 : 6;
    const QRect iconRect = IconRect();
    if (const QAction* action = Action())
        action->icon().paint(&p, iconRect, Qt::AlignCenter, IconMode(*this), IconState(*this));
    p.setPen(isEnabled() ? colours.MenuText : colours.ButtonDisabledText);
    const QRect textRect(iconRect.right() + 9, 0, width() - iconRect.right() - 9 - pad, height());
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, Caption());
}

// ---------------------------------------------------------------- TRibbonChevronButton

TRibbonChevronButton::TRibbonChevronButton(QAction* action, const TRibbonStyle* style,
                                           QWidget* parent)
    : TRibbonActionButton(action, action->text(), style, parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize TRibbonChevronButton::sizeHint() const {
    return {22, 20};
}

void TRibbonChevronButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = Colours();
    TRibbonFace face = RibbonFaceOf(*this);
    if (face == TRibbonFace::Checked)
        face = TRibbonFace::Plain; // folded is told by the chevron, not by a face
    else if (face == TRibbonFace::CheckedHover)
        face = TRibbonFace::Hover;
    PaintRibbonFace(p, rect(), face, colours, 2.5);
    PaintFocusFrame(p, 2.5);
    const bool folded = isChecked();
    const bool onButtonFace = face != TRibbonFace::Plain;
    PaintRibbonChevron(p, rect(), !folded, onButtonFace ? colours.ButtonText : colours.TabText);
}

} // namespace ribbon
