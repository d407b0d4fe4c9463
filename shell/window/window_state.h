// Applying the remembered state to the main window when it is first shown, and collecting
// it again when it closes. Runs on the UI thread; owns nothing.
#pragma once

#include <QSize>

#include <functional>

class QAction;
class QMainWindow;
class QSplitter;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

class THistPanel;
class TState;

// The parts of the window the state touches.
struct TStatefulWindow {
    QMainWindow* Window;
    ribbon::TRibbonBar* Ribbon;
    QSplitter* Splitter;
    THistPanel* HistPanel;
    QAction* Models[3]; // acRGB, acHSV, acLab
    QAction* Smoothing; // acSmoothingOn
    std::function<void(int)> SetTheme;
    std::function<int()> Theme;
    std::function<void()> LoadRecentItems;
};

// The steps after the state was loaded, in their order: ribbon folding, quick access
// items, recent list, theme, smoothing, window state and size, panel width, models and
// the layout. The window's frame is not known before it is mapped: the stored outer size
// is applied as the inner one, and FixFrame takes the frame off once it is known.
void RestoreState(const TState& state, const TStatefulWindow& w);
// Once the window is on screen: a normal window loses its frame from the restored size,
// so that a run neither grows nor shrinks it.
void FixFrame(const TState& state, const TStatefulWindow& w);
// What closing stores; the theme is read back from the ribbon first.
void CollectState(TState& state, const TStatefulWindow& w);

} // namespace tonalyx
