// The one drawing of the histogram panel: the container, the shown model tabs with their
// captions, the bevelled panels, the histogram pictures, the colour strips and their "^"
// marks, and the Raw group under them when it is shown. The window's panel paints itself with it,
// and the exports and tonalyx-render draw their pictures with it, so what is saved is what is
// shown.
#pragma once

#include "hist_scene.h"

#include <QColor>
#include <QFont>
#include <QImage>

#include <span>
#include <vector>

class QPainter;

namespace tonalyx {

// Colours and fonts of the panel's own, not the desktop's: the exported picture must come
// out byte for byte the same on every desktop and without one.
QColor HistContainerColour(); // the container, around and between the tabs
QColor HistFaceColour();      // the tab pages, the panels and the pictures' background
QColor HistShadowColour();    // the bevels' shadow and the tab frames
QColor HistLightColour();     // the bevels' light
QColor HistTextColour();      // the tab captions
QColor HistMarkColour();      // the "^" over the a* and b* strips
QFont HistPanelFont();        // the tab captions
QFont HistMarkFont();         // the "^"
QFont HistSmallFont();        // the Raw group's lines and axis labels

// Draws the whole panel with its top-left corner at the painter's origin, in the painter's
// logical pixels; the painter's state is left as it was.
void PaintHistPanel(QPainter& p, const THistScene& scene);

// A thin mark over one histogram at one bin: where the pixel under the pointer is counted.
struct THistMark {
    TChannel Channel = TChannel::RGB;
    int Bin = 0; // an absolute index, as PixelBins gives it
    QColor Colour;
    friend bool operator==(const THistMark&, const THistMark&) = default;
};
// The marks of a pixel of these levels on all ten histograms: the sum gets three, coloured
// as its primaries.
std::vector<THistMark> PixelMarks(int r, int g, int b);
// Where a mark lies in the container: a one-pixel column over the histogram's picture;
// empty when its tab is hidden or the picture has no columns.
QRect MarkRect(const THistScene& scene, const THistMark& mark);
// Draws the marks over a panel PaintHistPanel drew. Only the window's panel does: what is
// saved, copied and shared never shows them.
void PaintHistMarks(QPainter& p, const THistScene& scene, std::span<const THistMark> marks);

// The panel as a picture of its size at device pixel ratio 1, 32 bits per pixel without
// alpha (the format of the window's backing store, so that text is blended the same way):
// the picture Save, Copy, the upload and tonalyx-render start from. Null when the panel
// cannot be drawn whole: its picture or one of the ten histograms' beyond what can be
// painted (PaintableSize) or beyond the memory there is.
QImage HistPanelImage(const THistScene& scene);

} // namespace tonalyx
