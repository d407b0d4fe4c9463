// The pixel under the pointer: while the pointer is over the picture, the histograms mark the
// bins its stored pixel is counted in and the status bar names its position and values, and
// over a camera raw picture the raw values of the sensor's filter tile there.
// The stored picture at full resolution is read, not the reduced, turned or converted copy
// the view shows. Watches the image panel, which gets the moves the image view lets through.
// Main thread only.
#pragma once

#include "display_copy.h"
#include "sensor_mosaic.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace tonalyx {

class THistPanel;
class TImageView;

class TPointerMarks final : public QObject {
  public:
    // readout shows a text in the status bar's readout panel; an empty one clears it.
    TPointerMarks(QWidget& imagePanel, TImageView& view, THistPanel& hist,
                  std::function<void(const QString&)> readout, QObject* parent);

    // A picture is now the current one (stored as counted, shown as form says), with the
    // sensor's photosites of a raw file (null for any other).
    void ImageShown(const QImage& stored, const TDisplayForm& form,
                    std::shared_ptr<const TSensorMosaic> mosaic = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    // The pointer at a point of the image panel, or gone from it.
    void PointerAt(std::optional<QPointF> position);

    QWidget& FImagePanel;
    TImageView& FView;
    THistPanel& FHist;
    std::function<void(const QString&)> FReadout;
    QImage FStored;
    TDisplayForm FForm;
    std::shared_ptr<const TSensorMosaic> FMosaic;
    std::optional<QPointF> FPointer; // where the pointer was last seen over the panel
    bool FShowing = false;           // marks or a readout are up
};

} // namespace tonalyx
