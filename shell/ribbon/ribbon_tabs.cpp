#include "ribbon_tabs.h"

#include "ribbon_paint.h"
#include "ribbon_text.h"
#include "ribbon_theme.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace ribbon {

namespace {

constexpr int TabPad = 14;  // blank beside a caption
constexpr int TabGap = 2;   // between two tabs
constexpr int FirstTab = 4; // left of the first tab
constexpr qreal Corner = 3.0;

} // namespace

TRibbonTabBar::TRibbonTabBar(const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FStyle(style) {
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

int TRibbonTabBar::AddTab(const QString& caption) {
    FCaptions.append(caption);
    updateGeometry();
    update();
    if (FCurrent < 0)
        SetCurrentIndex(0);
    return Count() - 1;
}

void TRibbonTabBar::SetCurrentIndex(int index) {
    if (index < 0 || index >= Count() || index == FCurrent)
        return;
    FCurrent = index;
    update();
    emit currentChanged(index);
}

void TRibbonTabBar::SetPageShown(bool shown) {
    FPageShown = shown;
    update();
}

QRect TRibbonTabBar::TabRect(int index) const {
    if (index < 0 || index >= Count())
        return {};
    const QFontMetrics fm = fontMetrics();
    int x = FirstTab;
    for (int i = 0; i < index; ++i)
        x += fm.horizontalAdvance(RibbonPlainText(FCaptions[i])) + 2 * TabPad + TabGap;
    const int w = fm.horizontalAdvance(RibbonPlainText(FCaptions[index])) + 2 * TabPad;
    return {x, 2, w, height() - 2};
}

QSize TRibbonTabBar::sizeHint() const {
    const QFontMetrics fm = fontMetrics();
    int width = FirstTab;
    for (const QString& caption : FCaptions)
        width += fm.horizontalAdvance(RibbonPlainText(caption)) + 2 * TabPad + TabGap;
    return {width, fm.height() + 10};
}

int TRibbonTabBar::TabAt(const QPoint& pos) const {
    for (int i = 0; i < Count(); ++i)
        if (TabRect(i).contains(pos))
            return i;
    return -1;
}

void TRibbonTabBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const TRibbonThemeColours& colours = FStyle->Colours();
    for (int i = 0; i < Count(); ++i) {
        const QRectF r = QRectF(TabRect(i)).adjusted(0.5, 0.5, -0.5, 0);
        const bool selected = i == FCurrent && FPageShown;
        if (selected || i == FHover) {
            // Rounded at the top, open at the bottom where the page continues.
            QPainterPath outline;
            outline.moveTo(r.left(), r.bottom() + 0.5);
            outline.lineTo(r.left(), r.top() + Corner);
            outline.quadTo(r.left(), r.top(), r.left() + Corner, r.top());
            outline.lineTo(r.right() - Corner, r.top());
            outline.quadTo(r.right(), r.top(), r.right(), r.top() + Corner);
            outline.lineTo(r.right(), r.bottom() + 0.5);
            p.fillPath(outline, selected ? colours.PageTop : colours.TabHover);
            p.setPen(QPen(colours.Frame, 1.0));
            p.drawPath(outline);
        }
        p.setPen(selected ? colours.TabSelectedText : colours.TabText);
        p.drawText(TabRect(i), Qt::AlignCenter | Qt::TextShowMnemonic, FCaptions[i]);
        if (i == FocusTab())
            PaintRibbonFocusFrame(p, QRectF(TabRect(i)).adjusted(1, 1, -1, -1), colours.FocusFrame);
    }
}

void TRibbonTabBar::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        SetCurrentIndex(FFocusTab);
        return;
    default:
        QWidget::keyPressEvent(e); // arrows too: they are the window's
    }
}

void TRibbonTabBar::focusInEvent(QFocusEvent* e) {
    // Tab enters at the first tab, Shift+Tab at the last, anything else at the selected one.
    if (e->reason() == Qt::TabFocusReason)
        FFocusTab = 0;
    else if (e->reason() == Qt::BacktabFocusReason)
        FFocusTab = Count() - 1;
    else
        FFocusTab = FCurrent;
    update();
    QWidget::focusInEvent(e);
}

void TRibbonTabBar::focusOutEvent(QFocusEvent* e) {
    update();
    QWidget::focusOutEvent(e);
}

bool TRibbonTabBar::focusNextPrevChild(bool next) {
    const int to = FFocusTab + (next ? 1 : -1);
    if (hasFocus() && to >= 0 && to < Count()) {
        FFocusTab = to;
        update();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void TRibbonTabBar::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(e);
    const int index = TabAt(e->position().toPoint());
    if (index >= 0)
        SetCurrentIndex(index);
}

void TRibbonTabBar::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return QWidget::mouseDoubleClickEvent(e);
    const int index = TabAt(e->position().toPoint());
    if (index >= 0) {
        SetCurrentIndex(index); // normally done by the press before
        emit tabDoubleClicked(index);
    }
}

void TRibbonTabBar::mouseMoveEvent(QMouseEvent* e) {
    const int hover = TabAt(e->position().toPoint());
    if (hover != FHover) {
        FHover = hover;
        update();
    }
    QWidget::mouseMoveEvent(e);
}

void TRibbonTabBar::leaveEvent(QEvent* e) {
    FHover = -1;
    update();
    QWidget::leaveEvent(e);
}

} // namespace ribbon
