// Running a step once a widget has been painted for the first time, so that a window
// appears at once and slow start-up work (decoding a large picture) follows it.
#pragma once

#include <functional>

class QWidget;

namespace tonalyx {

// Runs step on the UI thread after widget's first paint has returned, or after
// fallbackMs should it never be painted (a minimised window). Runs it at most once, and
// not at all once widget is gone.
void RunAfterFirstPaint(QWidget* widget, std::function<void()> step, int fallbackMs = 1000);

} // namespace tonalyx
