#include "key_preview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace tonalyx {

TKeyPreview::TKeyPreview(QWidget& window, std::function<void(int key)> keyDown)
    : QObject(&window), FWindow(window), FKeyDown(std::move(keyDown)) {
    qApp->installEventFilter(this);
}

TKeyPreview::~TKeyPreview() {
    Stop();
}

void TKeyPreview::Stop() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool TKeyPreview::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        // Only the first delivery: the focused widget (or the window without one); the
        // copies that propagate to parents are not handled twice.
        QWidget* first = QApplication::focusWidget() ? QApplication::focusWidget() : &FWindow;
        if (w == first && w->window() == &FWindow)
            FKeyDown(static_cast<QKeyEvent*>(e)->key());
    }
    return false;
}

} // namespace tonalyx
