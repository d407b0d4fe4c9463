#include "view_choices.h"

#include "commands.h"
#include "hist_panel.h"

namespace tonalyx {

TViewChoices::TViewChoices(TCommands& commands, THistPanel& panel, QObject* parent)
    : QObject(parent), FCommands(commands), FPanel(panel) {
    commands[TCommandId::acLogScale]->setChecked(false);
    commands.Bind(THandlerId::acLogScaleExecute, [this](QAction*) { ApplyScale(); });
}

bool TViewChoices::LogScale() const {
    return FCommands[TCommandId::acLogScale]->isChecked();
}

void TViewChoices::SetLogScale(bool on) {
    FCommands[TCommandId::acLogScale]->setChecked(on);
    ApplyScale();
}

void TViewChoices::ApplyScale() {
    // The panel redraws through its render callback, so Save, Copy and the share commands
    // export the axis shown.
    FPanel.SetCountScale(LogScale() ? TCountScale::Log : TCountScale::Linear);
}

} // namespace tonalyx
