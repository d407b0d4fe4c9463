// The figures under the pointer: moving over a histogram tells, for a status bar panel of
// its own, the bins that the column under the pointer stands for, their raw count and the
// share of the counted pixels at or below them; the histogram's tooltip holds the channel's
// statistics, and after an image opens it tells how much of the primaries is clipped. Nothing is
// drawn into the panel, so the export does not change. UI thread only.
#pragma once

#include "histogram.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <functional>
#include <optional>

namespace tonalyx {

class THistPanel;
struct TChannelStats;

class THistReadout final : public QObject {
    Q_OBJECT
  public:
    // hist gives the engine, or null once the engine is released at close.
    THistReadout(THistPanel& panel, std::function<const THist*()> hist, QObject* parent);

    // After an image has been counted or restored from the cache: the clipping line, the
    // statistics tooltips and, if the pointer rests over a histogram, its readout.
    void ImageCounted();

    // The texts, from the raw counts. A channel's value in its units, e.g. "12.25°",
    // "−3.5", "50.2 %"; a range of bins as "12–14".
    static QString ValueText(TChannel c, int first, int last);
    // "R 12–14: 1234 px, 42.3 % at or below"; empty for a column outside the drawing.
    static QString ReadoutText(TChannel c, const TChanData& origin, int x, int wc);
    static QString StatsText(TChannel c, const TChannelStats& s, const TOthers& axis);
    // "Clipped: R 0.4 % / 1.2 %, G … , B …": the shares at 0 and at 255.
    static QString ClippingText(const TAllChanel& origin);
    // A stored pixel in all three models, from the bins it is counted in:
    // "x 1203 y 640: RGB 201 143 88, H 26.5° S 56 % V 79 %, L 64 a 14 b 38".
    static QString PixelText(int x, int y, int r, int g, int b);

  signals:
    // The readout of the column under the pointer and its tooltip; both empty when none.
    void ReadoutChanged(const QString& text, const QString& toolTip);
    void ClippingChanged(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    void ShowAt(TChannel c, int x);
    void Clear();
    // Shows the readout of the histogram column under a point of the panel, if any.
    void PointerAt(QPointF position);

    THistPanel& FPanel;
    std::function<const THist*()> FHist;
    std::optional<TChannel> FUnder; // the histogram under the pointer
    int FColumn = 0;
};

} // namespace tonalyx
