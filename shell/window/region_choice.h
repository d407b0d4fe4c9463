// A region of the picture counted alone: a rectangle dragged on the picture is counted, once
// the button is released, on a worker of its own, as a picture of its own; its histograms are
// shown in place of the picture's, whose counts (the cache's record) stay as they are. The
// rectangle stays drawn and can be moved (dragged from inside) or resized (by its sides and
// corners); each change is counted again on release. A click outside it, Escape or Whole
// Picture goes back to the picture's own counts, held all along. A new picture does too.
// Watches the image panel, which gets the presses the image view lets through. Main thread
// only; the worker reads the picture, shared, never writes it.
#pragma once

#include "background_tasks.h"
#include "current_hist.h"
#include "display_copy.h"
#include "region.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMouseEvent;
class QWidget;

namespace tonalyx {

class TCommands;
class TCommandStates;
class TImageView;

struct TRegionChoiceParts {
    TCommands* Commands; // acWholePicture is bound here
    TCommandStates* States;
    QWidget* ImagePanel;
    TImageView* View;
    // The smoothing level the picture's histograms are shown with, an index into SmoothLevels.
    std::function<int()> SmoothLevel;
    // The histograms to show changed: a region's were counted, or the picture's are back.
    std::function<void()> ShownChanged;
    // The status bar's text on the region; empty for none.
    std::function<void(const QString&)> Status;
};

class TRegionChoice final : public QObject {
  public:
    TRegionChoice(TRegionChoiceParts parts, QObject* parent);

    // The picture shown changes: back to its own counts, any count under way dropped.
    void PictureReplaced();
    // A picture is now the current one (stored as counted, shown as form says).
    void ImageShown(const TPictureRef& stored, const TDisplayForm& form);

    // A rectangle dragged from `from` to `to` (the image view's coordinates) and released:
    // clamped to the picture, and counted unless it is a mere click.
    void SelectInView(QPointF from, QPointF to);
    // Back to the picture's own counts, the rectangle gone; false when there was none.
    bool WholePicture();
    // The smoothing level of the region's display copy; true when it changed one that is shown.
    bool SetSmoothLevel(int levelIndex);

    // The region's histograms while they are shown, else null.
    TCurrentHist* Counted() const { return FShown ? FHist.get() : nullptr; }
    // The histograms to show: the region's while they are shown, else the picture's whole.
    TCurrentHist* ShownCounts(TCurrentHist* whole) const { return FShown ? FHist.get() : whole; }
    // The region drawn (its count shown or under way), in stored coordinates.
    std::optional<TRegion> Region() const { return FRegion; }
    // The same in the upright picture's pixels; empty for none.
    QRect UprightRect() const { return FUpright; }
    bool Counting() const;

    // "Region 120,80 – 640 x 480" of the stored picture; while counting, "Counting region …".
    static QString StatusText(const TRegion& region, bool counting);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    enum class TDrag { None, New, Move, Resize };

    void Press(QPointF at);
    void Drag(QPointF at);
    void Release(QPointF at);
    // The pointer's shape over the picture, the rectangle and its handles.
    void Hover(QPointF at);
    // The sides of the rectangle a point grabs; none inside it or away from it.
    Qt::Edges EdgesAt(QPointF at) const;
    // The rectangle shown while dragging, in the view's coordinates.
    void ShowBand(const QRectF& band);
    // The rectangle counted, or being counted, drawn as it is; none without one.
    void ShowUpright();
    // Counts the upright rectangle of the picture on the worker.
    void Count(const QRect& upright);
    void Drop(); // no rectangle, no count
    // Drop, and the picture's own counts are the ones to show; true when a region's were.
    bool Leave();
    QPointF InView(const QMouseEvent* e) const;

    TRegionChoiceParts F;
    QSize StoredSize() const { return QSize(FStored->Width(), FStored->Height()); }

    TPictureRef FStored; // the current picture, shared with the view and the cache
    TDisplayForm FForm;
    std::optional<TRegion> FRegion;
    QRect FUpright;
    std::unique_ptr<TCurrentHist> FHist; // the region's counts, once made
    bool FShown = false;                 // they are the histograms shown

    TDrag FDrag = TDrag::None;
    Qt::Edges FEdges;
    QPointF FPressAt;
    QRectF FStartBand; // the rectangle in the view's coordinates as the drag began
    QRectF FBand;      // and as it is now

    TTaskId FTask = 0;
    TBackgroundTasks FWorker{{1, false}};
};

} // namespace tonalyx
