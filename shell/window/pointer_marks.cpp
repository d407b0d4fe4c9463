#include "pointer_marks.h"

#include "hist_painter.h"
#include "hist_panel.h"
#include "hist_readout.h"
#include "image_view.h"
#include "raw_readout.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace tonalyx {

TPointerMarks::TPointerMarks(QWidget& imagePanel, TImageView& view, THistPanel& hist,
                             std::function<void(const QString&)> readout, QObject* parent)
    : QObject(parent), FImagePanel(imagePanel), FView(view), FHist(hist),
      FReadout(std::move(readout)) {
    FImagePanel.setMouseTracking(true);
    FImagePanel.installEventFilter(this);
}

void TPointerMarks::ImageShown(const QImage& stored, const TDisplayForm& form,
                               std::shared_ptr<const TSensorMosaic> mosaic) {
    FStored = stored;
    FForm = form;
    FMosaic = std::move(mosaic);
    PointerAt(FImagePanel.underMouse() ? FPointer : std::nullopt);
}

bool TPointerMarks::eventFilter(QObject* watched, QEvent* e) {
    if (watched != &FImagePanel)
        return false;
    switch (e->type()) {
    case QEvent::MouseMove:
        PointerAt(static_cast<QMouseEvent*>(e)->position());
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        PointerAt(std::nullopt);
        break;
    default:
        break;
    }
    return false;
}

void TPointerMarks::PointerAt(std::optional<QPointF> position) {
    FPointer = position;
    std::optional<QPoint> stored;
    if (position && !FStored.isNull()) {
        const QPointF inView = *position - QPointF(FView.mapTo(&FImagePanel, QPoint(0, 0)));
        stored = StoredPixelAt(inView, FView.PictureRect(), FStored.size(), FForm);
    }
    if (!stored) {
        if (FShowing) {
            FHist.SetMarks({});
            FReadout({});
            FShowing = false;
        }
        return;
    }
    const QRgb pixel = FStored.pixel(*stored);
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    FHist.SetMarks(PixelMarks(r, g, b));
    QString text = THistReadout::PixelText(stored->x(), stored->y(), r, g, b);
    if (FMosaic)
        text += QStringLiteral(", ") + RawReadoutText(*FMosaic, *stored, FStored.size());
    FReadout(text);
    FShowing = true;
}

} // namespace tonalyx
