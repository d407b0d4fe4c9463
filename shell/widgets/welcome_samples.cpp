#include "welcome_samples.h"

#include "ribbon_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tonalyx {

namespace {

using ribbon::RibbonGlyphIcon;

const QColor Frame(0xb4, 0xbb, 0xc5);
const QColor Off(0xc8, 0xcc, 0xd2);
const QColor SwitchOn(0xff, 0xd9, 0x94); // the ribbon's checked face
const QColor SwitchOnEdge(0xd2, 0xa0, 0x4c);
const QColor Ink(0x2b, 0x30, 0x36);

QPixmap Canvas(QSize size, qreal dpr) {
    QPixmap pm(size * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    return pm;
}

// A smooth hump standing on the lower edge of box: centre and spread as fractions of its
// width, height as a fraction of its height.
void Hump(QPainter& p, const QRectF& box, double centre, double spread, double height,
          const QColor& colour) {
    QPainterPath path;
    path.moveTo(box.left(), box.bottom());
    for (int i = 0; i <= 32; ++i) {
        const double t = i / 32.0;
        const double h = height * std::exp(-(t - centre) * (t - centre) / (2 * spread * spread));
        path.lineTo(box.left() + t * box.width(), box.bottom() - h * box.height());
    }
    path.lineTo(box.right(), box.bottom());
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawPath(path);
}

// A small histogram: white, framed, the humps of one colour model (greyed when off).
void MiniHistogram(QPainter& p, const QRectF& box, int model, bool on) {
    p.setPen(Frame);
    p.setBrush(Qt::white);
    p.drawRect(box);
    const QRectF inside = box.adjusted(2, 2, -2, -2);
    const auto colour = [on](QColor c) { return on ? c : Off; };
    switch (model) {
    case 0: // RGB: three channels overlapping
        Hump(p, inside, 0.32, 0.12, 0.85, colour(QColor(217, 60, 60, 150)));
        Hump(p, inside, 0.50, 0.14, 0.70, colour(QColor(60, 170, 60, 150)));
        Hump(p, inside, 0.68, 0.11, 0.80, colour(QColor(60, 90, 217, 150)));
        break;
    case 1: { // HSV: a value hump over the hue strip
        const QRectF strip(inside.left(), inside.bottom() - 3, inside.width(), 3);
        Hump(p, inside.adjusted(0, 0, 0, -4), 0.45, 0.18, 0.9, colour(QColor(110, 110, 110)));
        QLinearGradient hue(strip.topLeft(), strip.topRight());
        for (int i = 0; i <= 6; ++i)
            hue.setColorAt(i / 6.0, on ? QColor::fromHsv((i * 60) % 360, 220, 230) : Off);
        p.fillRect(strip, hue);
        break;
    }
    default: // Lab: lightness and the two opponent axes
        Hump(p, inside, 0.55, 0.2, 0.85, colour(QColor(90, 90, 90, 170)));
        Hump(p, inside, 0.45, 0.06, 0.55, colour(QColor(200, 60, 150, 150)));
        Hump(p, inside, 0.52, 0.05, 0.6, colour(QColor(200, 170, 40, 150)));
        break;
    }
}

// The switch over a histogram, pressed while on.
void Switch(QPainter& p, const QRectF& box, const QString& caption, bool on) {
    p.setPen(on ? SwitchOnEdge : Frame);
    p.setBrush(on ? SwitchOn : QColor(Qt::white));
    p.drawRoundedRect(box, 3, 3);
    QFont f = p.font();
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(on ? Ink : Off.darker(120));
    p.drawText(box, Qt::AlignCenter, caption);
}

} // namespace

QPixmap HistogramChoiceSample(qreal dpr) {
    constexpr int Column = 40, Gap = 5;
    QPixmap pm = Canvas({3 * Column + 2 * Gap + 1, 45}, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const char* const captions[3] = {"RGB", "HSV", "Lab"};
    const bool on[3] = {true, false, true};
    for (int m = 0; m < 3; ++m) {
        const qreal left = 0.5 + m * (Column + Gap);
        Switch(p, QRectF(left + 3, 0.5, Column - 6, 13), QString::fromLatin1(captions[m]), on[m]);
        MiniHistogram(p, QRectF(left, 16.5, Column, 28), m, on[m]);
    }
    return pm;
}

QPixmap SharedPanelSample(qreal dpr) {
    QPixmap pm = Canvas({128, 45}, dpr);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The panel: three histograms one over the other.
    for (int m = 0; m < 3; ++m)
        MiniHistogram(p, QRectF(0.5, 0.5 + m * 14.5, 38, 14), m, true);
    // An arrow to where it goes.
    p.setPen(QPen(Ink, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(45, 22.5), QPointF(60, 22.5));
    p.drawPolyline(QPolygonF({QPointF(56, 18.5), QPointF(61, 22.5), QPointF(56, 26.5)}));
    // A file, the clipboard, the three networks: the ribbon's own icons.
    const char* const targets[2][3] = {{"⇩", "C", nullptr}, {"f", "g+", "t"}};
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < 3 && targets[row][i]; ++i)
            RibbonGlyphIcon(QString::fromUtf8(targets[row][i]))
                .paint(&p, QRect(68 + i * 20, 3 + row * 22, 18, 18));
    return pm;
}

} // namespace tonalyx
