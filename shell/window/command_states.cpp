#include "command_states.h"

#include "current_hist.h"

#include <QEvent>
#include <QMenu>
#include <QWidget>

namespace tonalyx {

TCommandStates::TCommandStates() {
    for (const TCommandEntry& entry : CommandTable())
        FChecked[static_cast<std::size_t>(entry.Id)] = entry.Checkable;
}

void TCommandStates::Changed(bool& input, bool value) {
    if (input == value)
        return;
    input = value;
    if (OnChange)
        OnChange();
}

void TCommandStates::SetImgCtrl(bool NewState, bool NavigationIsOff) {
    const bool changed = FNewState != NewState || FNavigationIsOff != NavigationIsOff;
    FNewState = NewState;
    FNavigationIsOff = NavigationIsOff;
    if (changed && OnChange)
        OnChange();
}

void TCommandStates::SetPanelVisible(bool visible) {
    Changed(FPanelVisible, visible);
}

void TCommandStates::SetClipboardHoldsPicture(bool holds) {
    Changed(FClipboardHoldsPicture, holds);
}

void TCommandStates::SetRegionShown(bool shown) {
    Changed(FRegionShown, shown);
}

void TCommandStates::SetSensorHistogram(bool has) {
    Changed(FSensorHistogram, has);
}

void TCommandStates::SetRawFile(bool raw) {
    Changed(FRawFile, raw);
}

void TCommandStates::SetChecked(TCommandId id, bool checked) {
    if (CommandEntry(id).Checkable)
        Changed(FChecked[static_cast<std::size_t>(id)], checked);
}

bool TCommandStates::Enabled(TCommandId id) const {
    switch (CommandEntry(id).EnabledBy) {
    case TEnabledBy::ImgCtrl:
        return FNewState;
    case TEnabledBy::ImgCtrlNavigation:
        return FNewState && !FNavigationIsOff;
    case TEnabledBy::ClipboardPicture:
        return FClipboardHoldsPicture;
    case TEnabledBy::RegionShown:
        return FRegionShown;
    case TEnabledBy::SensorHistogram:
        return FSensorHistogram;
    case TEnabledBy::RawFile:
        return FRawFile;
    case TEnabledBy::Always:
        break;
    }
    return true;
}

bool TCommandStates::Checked(TCommandId id) const {
    return FChecked[static_cast<std::size_t>(id)];
}

bool TCommandStates::ContextMenuEnabled() const {
    return Enabled(TCommandId::acSaveHist) && FPanelVisible;
}

int TCommandStates::SmoothLevel() const {
    return SmoothLevelOfSwitch(Checked(TCommandId::acSmoothingOn));
}

TCommandStatesView::TCommandStatesView(TCommandStates& states, const TCommands& commands,
                                       QMenu& contextMenu, QWidget& histPanel, QObject* parent)
    : QObject(parent), FStates(states), FCommands(commands), FContextMenu(contextMenu),
      FHistPanel(histPanel) {
    for (const TCommandEntry& entry : CommandTable()) {
        if (!entry.Checkable)
            continue;
        QAction* a = FCommands[entry.Id];
        FStates.SetChecked(entry.Id, a->isChecked());
        connect(a, &QAction::toggled, this,
                [this, id = entry.Id](bool checked) { FStates.SetChecked(id, checked); });
    }
    FStates.SetPanelVisible(FHistPanel.isVisible());
    FHistPanel.installEventFilter(this);
    FStates.OnChange = [this] { Apply(); };
    Apply();
}

void TCommandStatesView::Apply() const {
    for (const TCommandEntry& entry : CommandTable())
        FCommands[entry.Id]->setEnabled(FStates.Enabled(entry.Id));
    for (QAction* item : FContextMenu.actions())
        if (!item->isSeparator())
            item->setEnabled(FStates.ContextMenuEnabled());
}

bool TCommandStatesView::eventFilter(QObject* watched, QEvent* e) {
    // Shown or hidden by itself or with the window; a minimised window's panel stays visible.
    if (watched == &FHistPanel && (e->type() == QEvent::Show || e->type() == QEvent::Hide))
        FStates.SetPanelVisible(FHistPanel.isVisible());
    return false;
}

} // namespace tonalyx
