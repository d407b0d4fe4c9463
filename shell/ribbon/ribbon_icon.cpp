#include "ribbon_icon.h"

#include "ribbon_theme.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <array>

namespace ribbon {

namespace {

// Sizes the generated icon is drawn at: the quick access toolbar uses 16, the menu and the
// large buttons 32; the others serve other scales.
constexpr std::array<int, 6> GlyphIconSizes{16, 20, 24, 32, 48, 64};

QPixmap GlyphPixmap(const QString& glyph, const QColor& fill, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const qreal inset = side * 0.06;
    const QRectF box(inset, inset, side - 2 * inset, side - 2 * inset);
    const qreal radius = side * 0.2;
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, fill.lighter(118));
    gradient.setColorAt(1.0, fill.darker(112));
    p.setPen(QPen(fill.darker(130), side >= 32 ? 1.0 : 0.8));
    p.setBrush(gradient);
    p.drawRoundedRect(box, radius, radius);

    if (!glyph.isEmpty()) {
        QFont font;
        font.setBold(true);
        const qreal share = glyph.size() > 1 ? 0.42 : 0.58;
        font.setPixelSize(std::max(6, static_cast<int>(side * share)));
        QFontMetricsF metrics(font);
        // Narrow the font until the glyphs fit inside the square with a margin.
        while (metrics.horizontalAdvance(glyph) > box.width() * 0.82 && font.pixelSize() > 6) {
            font.setPixelSize(font.pixelSize() - 1);
            metrics = QFontMetricsF(font);
        }
        p.setFont(font);
        p.setPen(RibbonIconGlyph());
        p.drawText(box, Qt::AlignCenter, glyph);
    }
    p.end();
    return QPixmap::fromImage(image);
}

} // namespace

QIcon RibbonGlyphIcon(const QString& glyph, const QColor& colour) {
    const QColor fill = colour.isValid() ? colour : RibbonIconFill(glyph);
    QIcon icon;
    for (const int side : GlyphIconSizes)
        icon.addPixmap(GlyphPixmap(glyph, fill, side));
    return icon;
}

QIcon RibbonIcon(const QString& themeName, const QString& fallbackGlyph, const QColor& colour) {
    if (!themeName.isEmpty() && QIcon::hasThemeIcon(themeName)) {
        const QIcon themed = QIcon::fromTheme(themeName);
        if (!themed.isNull())
            return themed;
    }
    QString glyph = fallbackGlyph;
    if (glyph.isEmpty() && !themeName.isEmpty())
        glyph = themeName.left(1).toUpper();
    return RibbonGlyphIcon(glyph, colour.isValid() ? colour : RibbonIconFill(glyph + themeName));
}

} // namespace ribbon
