#include "ribbon_group_popup.h"

#include "ribbon_button.h"
#include "ribbon_page.h"
#include "ribbon_paint.h"
#include "ribbon_text.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace ribbon {

namespace {

// As on a large button: padding, the caption's wrap width and the narrowest button.
constexpr int Pad = 4;
constexpr int Gap = 3;
constexpr int WrapWidth = 60;
constexpr int MinWidth = 44;
constexpr int ArrowHeight = 8;

} // namespace

// ---------------------------------------------------------------- TRibbonGroupButton

TRibbonGroupButton::TRibbonGroupButton(TRibbonGroup* group, const TRibbonStyle* style)
    : QAbstractButton(group), FGroup(group), FStyle(style) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus); // Space opens the popup
    setToolTip(group->Caption());
    setAccessibleName(group->Caption());
    connect(this, &QAbstractButton::clicked, this, &TRibbonGroupButton::OpenPopup);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

void TRibbonGroupButton::OpenPopup() {
    if (FPopup)
        return;
    FPopup = new TRibbonGroupPopup(*FGroup, FStyle, this);
    FPopup->Popup(mapToGlobal(QPoint(0, height())));
}

QSize TRibbonGroupButton::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    int textWidth = 0;
    for (const QString& line : RibbonCaptionLines(FGroup->Caption(), fm, WrapWidth))
        textWidth = std::max(textWidth, fm.horizontalAdvance(line));
    return {std::max({MinWidth, TRibbonButton::IconSide + 2 * Pad, textWidth + 2 * Pad + 4}),
            TRibbonButton::LargeHeight(fm)};
}

void TRibbonGroupButton::keyPressEvent(QKeyEvent* e) {
    if (IsRibbonArrowKey(e->key()))
        e->ignore(); // the window's, not a focus move
    else
        QAbstractButton::keyPressEvent(e);
}

void TRibbonGroupButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    const bool open = FPopup && FPopup->isVisible();
    PaintRibbonFace(p, rect(), open ? TRibbonFace::Pressed : RibbonFaceOf(*this), colours);
    if (hasFocus())
        PaintRibbonFocusFrame(p, rect(), colours.FocusFrame);

    const QRect iconRect((width() - TRibbonButton::IconSide) / 2, Pad, TRibbonButton::IconSide,
                         TRibbonButton::IconSide);
    const QList<TRibbonButton*> buttons = FGroup->Buttons();
    if (!buttons.isEmpty() && buttons.first()->Action())
        buttons.first()->Action()->icon().paint(&p, iconRect);

    p.setPen(colours.ButtonText);
    const int lineHeight = fontMetrics().height();
    int top = iconRect.bottom() + 1 + Gap;
    for (const QString& line : RibbonCaptionLines(FGroup->Caption(), fontMetrics(), WrapWidth)) {
        p.drawText(QRect(0, top, width(), lineHeight), Qt::AlignHCenter | Qt::AlignTop, line);
        top += lineHeight;
    }
    PaintRibbonChevron(p, QRectF(0, top, width(), ArrowHeight), false, colours.ButtonText);
}

// ---------------------------------------------------------------- TRibbonGroupPopup

TRibbonGroupPopup::TRibbonGroupPopup(const TRibbonGroup& group, const TRibbonStyle* style,
                                     QWidget* opener)
    : QWidget(opener, Qt::Popup), FStyle(style), FOpener(opener), FGroup(group.CopyInto(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
    // The copy stays large: it is shown because the page had no room for it.
    const QSize size = FGroup->sizeHint();
    FGroup->setGeometry(1, 1, size.width(), size.height());
    resize(size.width() + 2, size.height() + 2);
}

void TRibbonGroupPopup::Popup(const QPoint& globalPos) {
    move(PlaceOnScreen(globalPos, size()));
    show();
}

void TRibbonGroupPopup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, colours.PageTop);
    gradient.setColorAt(1.0, colours.PageBottom);
    p.fillRect(rect(), gradient);
    p.setPen(colours.Frame);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TRibbonGroupPopup::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(e);
}

void TRibbonGroupPopup::mousePressEvent(QMouseEvent* e) {
    if (!rect().contains(e->position().toPoint())) {
        // A click on the drop-down closes the popup; it must not reopen it at once.
        if (FOpener->rect().contains(FOpener->mapFromGlobal(e->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        close();
        return;
    }
    QWidget::mousePressEvent(e);
}

} // namespace ribbon
