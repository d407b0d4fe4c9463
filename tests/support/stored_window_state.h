// Stores the window state a previous run would leave for a normal (not maximised) window
// of the given outer size, in the test's own settings folder.
#pragma once

#include "settings_location.h"
#include "ustate.h"

#include <QGuiApplication>
#include <QScreen>

namespace tonalyx::test {

inline void StoreNormalWindow(QSize outer, int histPanelWidth = 243) {
    TState s;
    s.SetDefaults(QGuiApplication::primaryScreen()->size(), outer.width());
    s.SetWState(TState::TWindowState::Normal);
    s.SetWSize(outer);
    s.SetHistPanelWidth(histPanelWidth);
    s.Save(*OpenUserSettings());
}

} // namespace tonalyx::test
