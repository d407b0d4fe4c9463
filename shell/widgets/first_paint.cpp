#include "first_paint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tonalyx {

namespace {

// Watches its parent widget's events; deletes itself once the step has run.
class TFirstPaint final : public QObject {
  public:
    TFirstPaint(QWidget* widget, std::function<void()> step, int fallbackMs)
        : QObject(widget), FStep(std::move(step)) {
        widget->installEventFilter(this);
        QTimer::singleShot(fallbackMs, this, [this] { Run(); });
    }

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) // the step follows once this paint has returned
            QTimer::singleShot(0, this, [this] { Run(); });
        return false;
    }

  private:
    void Run() {
        if (!FStep)
            return;
        parent()->removeEventFilter(this);
        const std::function<void()> step = std::move(FStep);
        FStep = nullptr;
        deleteLater();
        step();
    }

    std::function<void()> FStep;
};

} // namespace

void RunAfterFirstPaint(QWidget* widget, std::function<void()> step, int fallbackMs) {
    new TFirstPaint(widget, std::move(step), fallbackMs);
}

} // namespace tonalyx
