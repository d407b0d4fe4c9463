#include "region_choice.h"

#include "command_states.h"
#include "commands.h"
#include "image_view.h"
#include "qt_raster.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <utility>

namespace tonalyx {

namespace {

// How near a side or corner, in the view's pixels, the pointer grabs it.
constexpr double GrabDistance = TImageView::HandleRadius + 2;

QRectF Clamped(QRectF r, const QRectF& within) {
    return r.normalized().intersected(within);
}

Qt::CursorShape CursorOf(Qt::Edges edges) {
    const bool h = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool v = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (h && v) {
        const bool falling =
            edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return h ? Qt::SizeHorCursor : Qt::SizeVerCursor;
}

} // namespace

TRegionChoice::TRegionChoice(TRegionChoiceParts parts, QObject* parent)
    : QObject(parent), F(std::move(parts)) {
    F.ImagePanel->setMouseTracking(true);
    F.ImagePanel->installEventFilter(this);
    F.Commands->Bind(THandlerId::acWholePictureExecute, [this](QAction*) { WholePicture(); });
}

QString TRegionChoice::StatusText(const TRegion& region, bool counting) {
    const QString where = QStringLiteral("%1,%2 \u2013 %3 x %4")
                              .arg(region.X)
                              .arg(region.Y)
                              .arg(region.Width)
                              .arg(region.Height);
    return counting ? QStringLiteral("Counting region %1\u2026").arg(where)
                    : QStringLiteral("Region %1").arg(where);
}

bool TRegionChoice::Counting() const {
    return FTask != 0 && FWorker.IsPending(FTask);
}

void TRegionChoice::PictureReplaced() {
    FStored.reset();
    FForm = {};
    Leave(); // the opener draws the new picture's histograms and statistics itself
}

void TRegionChoice::ImageShown(const TPictureRef& stored, const TDisplayForm& form) {
    FStored = stored;
    FForm = form;
}

void TRegionChoice::Drop() {
    FWorker.Cancel(FTask);
    FTask = 0;
    FRegion.reset();
    FUpright = {};
    F.View->SetSelection({});
    F.Status({});
}

bool TRegionChoice::Leave() {
    FDrag = TDrag::None;
    Drop();
    const bool wasShown = FShown;
    FShown = false;
    FHist.reset();
    F.States->SetRegionShown(false);
    return wasShown;
}

bool TRegionChoice::WholePicture() {
    const bool drawn = FRegion.has_value() || FDrag != TDrag::None;
    const bool wasShown = Leave();
    if (wasShown)
        F.ShownChanged();
    return wasShown || drawn;
}

bool TRegionChoice::SetSmoothLevel(int levelIndex) {
    return FHist && FHist->SetSmoothLevel(levelIndex) && FShown;
}

void TRegionChoice::SelectInView(QPointF from, QPointF to) {
    if (!FStored)
        return;
    FDrag = TDrag::New;
    FPressAt = from;
    Drag(to);
    Release(to);
}

QPointF TRegionChoice::InView(const QMouseEvent* e) const {
    return e->position() - QPointF(F.View->mapTo(F.ImagePanel, QPoint(0, 0)));
}

bool TRegionChoice::eventFilter(QObject* watched, QEvent* e) {
    if (watched != F.ImagePanel)
        return false;
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        const auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::LeftButton)
            Press(InView(m));
        break;
    }
    case QEvent::MouseMove: {
        const auto* m = static_cast<QMouseEvent*>(e);
        if (FDrag != TDrag::None && (m->buttons() & Qt::LeftButton))
            Drag(InView(m));
        else
            Hover(InView(m));
        break;
    }
    case QEvent::MouseButtonRelease: {
        const auto* m = static_cast<QMouseEvent*>(e);
        if (m->button() == Qt::LeftButton && FDrag != TDrag::None)
            Release(InView(m));
        break;
    }
    default:
        break;
    }
    return false; // the pointer's marks watch the same moves
}

Qt::Edges TRegionChoice::EdgesAt(QPointF at) const {
    const QRectF r = F.View->SelectionRect();
    if (r.isEmpty() ||
        !r.adjusted(-GrabDistance, -GrabDistance, GrabDistance, GrabDistance).contains(at))
        return {};
    Qt::Edges edges;
    if (std::abs(at.x() - r.left()) <= GrabDistance)
        edges |= Qt::LeftEdge;
    else if (std::abs(at.x() - r.right()) <= GrabDistance)
        edges |= Qt::RightEdge;
    if (std::abs(at.y() - r.top()) <= GrabDistance)
        edges |= Qt::TopEdge;
    else if (std::abs(at.y() - r.bottom()) <= GrabDistance)
        edges |= Qt::BottomEdge;
    return edges;
}

void TRegionChoice::Hover(QPointF at) {
    if (!FStored) {
        F.ImagePanel->unsetCursor();
        return;
    }
    const Qt::Edges edges = EdgesAt(at);
    if (edges)
        F.ImagePanel->setCursor(CursorOf(edges));
    else if (F.View->SelectionRect().contains(at))
        F.ImagePanel->setCursor(Qt::SizeAllCursor);
    else if (QRectF(F.View->PictureRect()).contains(at))
        F.ImagePanel->setCursor(Qt::CrossCursor);
    else
        F.ImagePanel->unsetCursor();
}

void TRegionChoice::Press(QPointF at) {
    if (!FStored)
        return;
    FPressAt = at;
    FStartBand = F.View->SelectionRect();
    FBand = FStartBand;
    FEdges = EdgesAt(at);
    FDrag = FEdges ? TDrag::Resize : FStartBand.contains(at) ? TDrag::Move : TDrag::New;
}

void TRegionChoice::Drag(QPointF at) {
    const QRectF picture(F.View->PictureRect());
    if (picture.isEmpty())
        return;
    const QPointF delta = at - FPressAt;
    switch (FDrag) {
    case TDrag::New:
        // Until the pointer has gone a drag's distance it is a click, and nothing is drawn.
        if ((at - FPressAt).manhattanLength() < QApplication::startDragDistance())
            return;
        ShowBand(Clamped(QRectF(FPressAt, at), picture));
        break;
    case TDrag::Move: {
        // The whole rectangle travels, stopped at the picture's sides.
        const double dx = std::clamp(delta.x(), picture.left() - FStartBand.left(),
                                     picture.right() - FStartBand.right());
        const double dy = std::clamp(delta.y(), picture.top() - FStartBand.top(),
                                     picture.bottom() - FStartBand.bottom());
        ShowBand(FStartBand.translated(dx, dy));
        break;
    }
    case TDrag::Resize: {
        QRectF r = FStartBand;
        if (FEdges & Qt::LeftEdge)
            r.setLeft(r.left() + delta.x());
        if (FEdges & Qt::RightEdge)
            r.setRight(r.right() + delta.x());
        if (FEdges & Qt::TopEdge)
            r.setTop(r.top() + delta.y());
        if (FEdges & Qt::BottomEdge)
            r.setBottom(r.bottom() + delta.y());
        ShowBand(Clamped(r, picture)); // dragged past the other side, it turns over
        break;
    }
    case TDrag::None:
        break;
    }
}

void TRegionChoice::ShowBand(const QRectF& band) {
    const QRectF picture(F.View->PictureRect());
    FBand = band;
    if (band.isEmpty() || picture.isEmpty())
        return;
    F.View->SetSelection({(band.left() - picture.left()) / picture.width(),
                          (band.top() - picture.top()) / picture.height(),
                          band.width() / picture.width(), band.height() / picture.height()});
}

void TRegionChoice::ShowUpright() {
    const QSize size = FForm.ShownSize(StoredSize());
    if (FUpright.isEmpty() || size.isEmpty()) {
        F.View->SetSelection({});
        return;
    }
    // Snapped to the pixels counted: what is drawn is what is counted.
    F.View->SetSelection({double(FUpright.x()) / size.width(), double(FUpright.y()) / size.height(),
                          double(FUpright.width()) / size.width(),
                          double(FUpright.height()) / size.height()});
}

void TRegionChoice::Release(QPointF at) {
    const TDrag drag = std::exchange(FDrag, TDrag::None);
    const bool click = (at - FPressAt).manhattanLength() < QApplication::startDragDistance();
    if (click) {
        // A click outside the rectangle leaves the region; one inside it changes nothing.
        if (drag == TDrag::New)
            WholePicture();
        else
            ShowUpright();
        return;
    }
    const QRectF picture(F.View->PictureRect());
    if (FBand.isEmpty() || picture.isEmpty()) {
        ShowUpright();
        return;
    }
    // The stored picture's pixels the rectangle touches, in the upright picture's terms.
    const QSize upright = FForm.ShownSize(StoredSize());
    const auto edge = [](double share, int size, bool up) {
        const double v = share * size;
        return std::clamp(static_cast<int>(up ? std::ceil(v - 1e-9) : std::floor(v + 1e-9)), 0,
                          size);
    };
    const int left =
        edge((FBand.left() - picture.left()) / picture.width(), upright.width(), false);
    const int top = edge((FBand.top() - picture.top()) / picture.height(), upright.height(), false);
    int right = edge((FBand.right() - picture.left()) / picture.width(), upright.width(), true);
    int bottom = edge((FBand.bottom() - picture.top()) / picture.height(), upright.height(), true);
    right = std::max(right, std::min(left + 1, upright.width()));
    bottom = std::max(bottom, std::min(top + 1, upright.height()));
    Count(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void TRegionChoice::Count(const QRect& upright) {
    const QSize size = FForm.ShownSize(StoredSize());
    if (upright.isEmpty() || !QRect(QPoint(0, 0), size).contains(upright)) {
        ShowUpright(); // nothing new to count: what was drawn stays
        return;
    }
    // A turn or mirror takes a rectangle to a rectangle: its opposite corners' pixels span it.
    const QPoint a = FForm.StoredPoint(upright.topLeft(), StoredSize());
    const QPoint b = FForm.StoredPoint(upright.bottomRight(), StoredSize());
    const TRegion region{std::min(a.x(), b.x()), std::min(a.y(), b.y()),
                         std::abs(a.x() - b.x()) + 1, std::abs(a.y() - b.y()) + 1};
    if (!RegionFits(region, FStored->Width(), FStored->Height())) {
        ShowUpright();
        return;
    }
    FUpright = upright;
    FRegion = region;
    ShowUpright();
    F.Status(StatusText(region, true));
    // A newer rectangle replaces an older one's count; the histograms shown stay meanwhile.
    FWorker.Cancel(FTask);
    FTask = FWorker.Start(
        [stored = FStored, region](std::stop_token stop) -> TOutcome<std::shared_ptr<THist>> {
            if (stop.stop_requested())
                return TFailure{"cancelled", {}};
            // The engine's own rules, the colour models' sampling included, applied to the
            // region as to a picture of its own.
            auto hist = std::make_shared<THist>();
            hist->Calc(Origin, CropView(stored->View(), region));
            return hist;
        },
        [this, region](TOutcome<std::shared_ptr<THist>> counted) {
            FTask = 0;
            if (!counted.Ok() || FRegion != region)
                return;
            auto hist = std::make_unique<TCurrentHist>(F.SmoothLevel());
            hist->Adopt(counted.Value()->Data[Origin]);
            FHist = std::move(hist);
            FShown = true;
            F.States->SetRegionShown(true);
            F.Status(StatusText(region, false));
            F.ShownChanged();
        });
}

} // namespace tonalyx
