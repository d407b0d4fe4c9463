#include "ribbon_paint.h"

#include "ribbon_theme.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QScreen>

#include <algorithm>

namespace ribbon {

TRibbonFace RibbonFaceOf(const QAbstractButton& button) {
    if (!button.isEnabled())
        return button.isChecked() ? TRibbonFace::Checked : TRibbonFace::Plain;
    if (button.isDown())
        return TRibbonFace::Pressed;
    if (button.isChecked())
        return button.underMouse() ? TRibbonFace::CheckedHover : TRibbonFace::Checked;
    return button.underMouse() ? TRibbonFace::Hover : TRibbonFace::Plain;
}

void PaintRibbonFace(QPainter& p, const QRectF& rect, TRibbonFace face,
                     const TRibbonThemeColours& colours, qreal radius) {
    QColor fill;
    QColor edge;
    switch (face) {
    case TRibbonFace::Plain:
        return;
    case TRibbonFace::Hover:
        fill = colours.ButtonHover;
        edge = colours.ButtonHoverEdge;
        break;
    case TRibbonFace::Pressed:
        fill = colours.ButtonPressed;
        edge = colours.ButtonPressedEdge;
        break;
    case TRibbonFace::Checked:
        fill = colours.ButtonChecked;
        edge = colours.ButtonCheckedEdge;
        break;
    case TRibbonFace::CheckedHover:
        fill = colours.ButtonChecked;
        edge = colours.ButtonHoverEdge;
        break;
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, fill.lighter(face == TRibbonFace::CheckedHover ? 112 : 106));
    gradient.setColorAt(1.0, fill);
    p.setPen(QPen(edge, 1.0));
    p.setBrush(gradient);
    p.drawRoundedRect(box, radius, radius);
    p.restore();
}

void PaintRibbonFocusFrame(QPainter& p, const QRectF& rect, const QColor& colour, qreal radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(rect.adjusted(1.75, 1.75, -1.75, -1.75), radius, radius);
    p.restore();
}

bool IsRibbonArrowKey(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

void PaintRibbonVLine(QPainter& p, qreal x, qreal top, qreal bottom, const QColor& colour) {
    p.save();
    QLinearGradient gradient(QPointF(x, top), QPointF(x, bottom));
    QColor clear = colour;
    clear.setAlpha(0);
    gradient.setColorAt(0.0, clear);
    gradient.setColorAt(0.15, colour);
    gradient.setColorAt(0.85, colour);
    gradient.setColorAt(1.0, clear);
    p.fillRect(QRectF(x, top, 1.0, bottom - top), gradient);
    p.restore();
}

void PaintRibbonChevron(QPainter& p, const QRectF& rect, bool up, const QColor& colour) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c = rect.center();
    const qreal w = 3.5;
    const qreal h = up ? -2.0 : 2.0;
    QPainterPath path;
    path.moveTo(c.x() - w, c.y() - h);
    path.lineTo(c.x(), c.y() + h);
    path.lineTo(c.x() + w, c.y() - h);
    p.setPen(QPen(colour, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
}

QPoint PlaceOnScreen(const QPoint& globalPos, const QSize& size) {
    QPoint pos = globalPos;
    if (const QScreen* screen = QGuiApplication::screenAt(globalPos)) {
        const QRect room = screen->availableGeometry();
        pos.setX(std::max(room.left(), std::min(pos.x(), room.right() - size.width() + 1)));
        pos.setY(std::max(room.top(), std::min(pos.y(), room.bottom() - size.height() + 1)));
    }
    return pos;
}

} // namespace ribbon
