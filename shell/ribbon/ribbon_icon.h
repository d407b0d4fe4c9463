// Command icons for the ribbon.
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace ribbon {

// The desktop theme's icon themeName when the theme has it; otherwise a generated icon: a
// rounded square in colour (when valid, else a colour chosen by the glyph) with
// fallbackGlyph (one or two characters) painted on it. Never a null icon, so a button is
// never blank.
QIcon RibbonIcon(const QString& themeName, const QString& fallbackGlyph,
                 const QColor& colour = QColor());

// Only the generated icon of RibbonIcon, whatever the desktop theme has.
QIcon RibbonGlyphIcon(const QString& glyph, const QColor& colour = QColor());

} // namespace ribbon
