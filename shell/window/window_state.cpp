#include "window_state.h"

#include "hist_panel.h"
#include "ustate.h"

#include "ribbon_bar.h"
#include "ribbon_quick_access.h"

#include <QAction>
#include <QMainWindow>
#include <QSplitter>

#include <algorithm>

namespace tonalyx {

void RestoreState(const TState& state, const TStatefulWindow& w) {
    w.Ribbon->SetMinimized(state.RibbonIsMinimized());
    ribbon::TRibbonQuickAccess* qat = w.Ribbon->QuickAccess();
    for (int i = 0; i < std::min(qat->ItemCount(), TState::QATItemCount); ++i)
        qat->SetItemVisible(i, state.QATItemVisible(i));
    w.LoadRecentItems();
    w.SetTheme(state.RibbonTheme());
    w.Smoothing->setChecked(state.SmoothingIsOn()); // the engine follows in the show handler

    const QSize size = state.WSize();
    w.Window->resize(size);
    if (state.WState() == static_cast<std::uint8_t>(TState::TWindowState::Maximized))
        w.Window->setWindowState(w.Window->windowState() | Qt::WindowMaximized);
    // The image side takes whatever the window's width leaves.
    const int panel = state.HistPanelWidth();
    w.Splitter->setSizes({std::max(size.width() - panel - w.Splitter->handleWidth(), 1), panel});

    for (int m = 0; m < 3; ++m)
        w.Models[m]->setChecked(state.HistPanelVisible(m));
    w.HistPanel->HistSetVisibleAndHeightCorr(nullptr);
    w.HistPanel->HistHeightCorrect();
}

void FixFrame(const TState& state, const TStatefulWindow& w) {
    if (w.Window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QSize frame = w.Window->frameGeometry().size() - w.Window->size();
    if (frame.width() > 0 || frame.height() > 0)
        w.Window->resize(state.WSize() - frame);
}

void CollectState(TState& state, const TStatefulWindow& w) {
    state.SetRibbonTheme(static_cast<std::uint8_t>(w.Theme()));
    state.SetRibbonIsMinimized(w.Ribbon->IsMinimized());
    ribbon::TRibbonQuickAccess* qat = w.Ribbon->QuickAccess();
    for (int i = 0; i < std::min(qat->ItemCount(), TState::QATItemCount); ++i)
        state.SetQATItemVisible(i, qat->ItemVisible(i));
    const Qt::WindowStates ws = w.Window->windowState();
    state.SetWState(ws & Qt::WindowMaximized   ? TState::TWindowState::Maximized
                    : ws & Qt::WindowMinimized ? TState::TWindowState::Minimized
                                               : TState::TWindowState::Normal);
    state.SetWSize(w.Window->frameGeometry().size());
    state.SetHistPanelWidth(w.HistPanel->width());
    // Whether each model is switched on, not whether it happens to be on screen now.
    for (int m = 0; m < 3; ++m)
        state.SetHistPanelVisible(m, w.HistPanel->TabShown(static_cast<THistTab>(m)));
    state.SetSmoothingIsOn(w.Smoothing->isChecked());
}

} // namespace tonalyx
