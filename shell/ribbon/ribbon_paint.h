// Drawing shared by the ribbon's widgets: button faces, separator lines, chevrons, and
// where popups go.
#pragma once

#include <QColor>
#include <QPoint>
#include <QRectF>
#include <QSize>

class QAbstractButton;
class QPainter;

namespace ribbon {

struct TRibbonThemeColours;

// How a button looks at the moment.
enum class TRibbonFace { Plain, Hover, Pressed, Checked, CheckedHover };

// The face of button from its enabled, down, checked and under-the-mouse states.
TRibbonFace RibbonFaceOf(const QAbstractButton& button);

// The rounded, softly shaded background of a button in face; Plain paints nothing.
void PaintRibbonFace(QPainter& p, const QRectF& rect, TRibbonFace face,
                     const TRibbonThemeColours& colours, qreal radius = 3.0);

// The mark of the keyboard focus: a thin rounded frame just inside rect.
void PaintRibbonFocusFrame(QPainter& p, const QRectF& rect, const QColor& colour,
                           qreal radius = 3.0);

// Left, right, up or down: keys a focused ribbon widget leaves to the window.
bool IsRibbonArrowKey(int key);

// A one-pixel vertical line from top to bottom that fades out at both ends.
void PaintRibbonVLine(QPainter& p, qreal x, qreal top, qreal bottom, const QColor& colour);

// Where a popup of size opened at globalPos goes so that it stays on the screen it opens on.
QPoint PlaceOnScreen(const QPoint& globalPos, const QSize& size);

// A small chevron centred in rect, pointing up or down.
void PaintRibbonChevron(QPainter& p, const QRectF& rect, bool up, const QColor& colour);

} // namespace ribbon
