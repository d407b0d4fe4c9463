// The View tab: how the histograms and the picture are looked at, never what is counted.
// Binds the tab's toggles: the log count axis of the histograms, the clipped pixels
// painted over the picture (of a raw file, the photosites clipped on its sensor), whose mask
// is made on a worker of its own, and the Raw group of the panel with its axis. Main thread
// only.
#pragma once

#include "background_tasks.h"
#include "display_copy.h"
#include "view_options.h"

#include <QImage>
#include <QObject>

#include <functional>

namespace tonalyx {

class TCommands;
class THistPanel;
class TImageView;

class TViewChoices final : public QObject {
    Q_OBJECT
  public:
    // Binds acLogScale, acShowClipping, acRawHistogram and acRawLinear and starts them off: the
    // histograms keep their linear axis and the picture its pixels until the user or a remembered
    // choice says otherwise.
    TViewChoices(TCommands& commands, THistPanel& panel, TImageView& view, QObject* parent);

    // The choices as the toggles show them, and the remembered ones applied to them.
    TViewOptions Options() const { return {LogScale(), Clipping(), Raw(), RawLinear()}; }
    void Restore(const TViewOptions& options);

    bool LogScale() const;
    void SetLogScale(bool on);
    bool Clipping() const;
    void SetClipping(bool on);
    // The Raw group: it shows only for a picture with a sensor histogram.
    bool Raw() const;
    void SetRaw(bool on);
    bool RawLinear() const;
    void SetRawLinear(bool on);

    // A picture is now the current one (stored as counted, shown as form says): its
    // clipping overlay is made when the toggle is on.
    void ImageShown(const TPictureRef& stored, const TDisplayForm& form);
    // Told when an overlay made on the worker has been handed to the view (tests).
    std::function<void()> OnOverlayShown;

  private:
    void ApplyScale();
    void ApplyClipping();
    void ApplyRaw();

    TCommands& FCommands;
    THistPanel& FPanel;
    TImageView& FView;
    TPictureRef FStored; // the current picture, shared with the view and the cache
    TDisplayForm FForm;
    QImage FOverlay; // the current picture's overlay, once made
    TTaskId FTask = 0;
    TBackgroundTasks FWorker{{1, true}};
};

} // namespace tonalyx
