#include "view_choices.h"

#include "clipping_mask.h"
#include "commands.h"
#include "hist_panel.h"
#include "image_view.h"
#include "raw_clipping.h"

namespace tonalyx {

TViewChoices::TViewChoices(TCommands& commands, THistPanel& panel, TImageView& view,
                           QObject* parent)
    : QObject(parent), FCommands(commands), FPanel(panel), FView(view) {
    commands[TCommandId::acLogScale]->setChecked(false);
    commands[TCommandId::acShowClipping]->setChecked(false);
    commands[TCommandId::acRawHistogram]->setChecked(false);
    commands[TCommandId::acRawLinear]->setChecked(false);
    commands.Bind(THandlerId::acRawHistogramExecute, [this](QAction*) { ApplyRaw(); });
    commands.Bind(THandlerId::acRawLinearExecute, [this](QAction*) { ApplyRaw(); });
    commands.Bind(THandlerId::acLogScaleExecute, [this](QAction*) { ApplyScale(); });
    commands.Bind(THandlerId::acShowClippingExecute, [this](QAction*) { ApplyClipping(); });
}

void TViewChoices::Restore(const TViewOptions& options) {
    SetLogScale(options.LogScale);
    SetClipping(options.Clipping);
    SetRaw(options.Raw);
    SetRawLinear(options.RawLinear);
}

bool TViewChoices::LogScale() const {
    return FCommands[TCommandId::acLogScale]->isChecked();
}

void TViewChoices::SetLogScale(bool on) {
    FCommands[TCommandId::acLogScale]->setChecked(on);
    ApplyScale();
}

bool TViewChoices::Clipping() const {
    return FCommands[TCommandId::acShowClipping]->isChecked();
}

void TViewChoices::SetClipping(bool on) {
    FCommands[TCommandId::acShowClipping]->setChecked(on);
    ApplyClipping();
}

bool TViewChoices::Raw() const {
    return FCommands[TCommandId::acRawHistogram]->isChecked();
}

void TViewChoices::SetRaw(bool on) {
    FCommands[TCommandId::acRawHistogram]->setChecked(on);
    ApplyRaw();
}

bool TViewChoices::RawLinear() const {
    return FCommands[TCommandId::acRawLinear]->isChecked();
}

void TViewChoices::SetRawLinear(bool on) {
    FCommands[TCommandId::acRawLinear]->setChecked(on);
    ApplyRaw();
}

void TViewChoices::ApplyRaw() {
    FPanel.SetRawAxis(RawLinear() ? TRawAxis::Linear : TRawAxis::Stops);
    FPanel.ShowRaw(Raw());
}

void TViewChoices::ApplyScale() {
    // The panel redraws through its render callback, so Save, Copy and the share commands
    // export the axis shown.
    FPanel.SetCountScale(LogScale() ? TCountScale::Log : TCountScale::Linear);
}

void TViewChoices::ImageShown(const TPictureRef& stored, const TDisplayForm& form) {
    FWorker.Cancel(FTask);
    FTask = 0;
    FStored = stored;
    FForm = form;
    FOverlay = QImage();
    ApplyClipping();
}

void TViewChoices::ApplyClipping() {
    if (!Clipping() || !FStored) {
        FWorker.Cancel(FTask);
        FTask = 0;
        FView.SetOverlay({});
        return;
    }
    if (!FOverlay.isNull()) {
        FView.SetOverlay(FOverlay);
        return;
    }
    if (FTask != 0 && FWorker.IsPending(FTask))
        return;
    // A 24-megapixel picture takes a moment to scan; the window goes on meanwhile. The
    // picture is shared, not copied: nobody writes to it while it is current. A raw file's
    // overlay shows what clipped on its sensor, not in the camera's rendering of it.
    FTask = FWorker.Start(
        [stored = FStored, side = FView.PreviewSide(), form = FForm](std::stop_token stop) {
            if (const std::shared_ptr<const TSensorMosaic>& mosaic = stored->Mosaic())
                return RawClippingOverlay(*mosaic, QSize(stored->Width(), stored->Height()), side,
                                          form, stop);
            return ClippingOverlay(stored->View(), side, form, stop);
        },
        [this](TOutcome<QImage> overlay) {
            FTask = 0;
            if (!overlay.Ok() || overlay->isNull())
                return;
            FOverlay = std::move(overlay).Value();
            if (Clipping())
                FView.SetOverlay(FOverlay);
            if (OnOverlayShown)
                OnOverlayShown();
        });
}

} // namespace tonalyx
