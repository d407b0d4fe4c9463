#include "focus_holder.h"

#include <QEvent>
#include <QFocusEvent>
#include <QPainter>

namespace tonalyx {

namespace {

// The frame: covers its parent, paints only the border and lets every click through.
class TFocusFrame final : public QWidget {
  public:
    explicit TFocusFrame(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("focusFrame"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        parent->installEventFilter(this);
        hide();
    }
    void Show() {
        setGeometry(parentWidget()->rect());
        raise(); // above the picture and the welcome panel
        show();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == parentWidget() && e->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

bool ByKeyboard(Qt::FocusReason reason) {
    return reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
           reason == Qt::ShortcutFocusReason;
}

} // namespace

TFocusHolder::TFocusHolder(QWidget* parent) : QWidget(parent), FFrame(new TFocusFrame(parent)) {
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(0, 0, 0, 0);
}

bool TFocusHolder::FrameShown() const {
    return FFrame->isVisible();
}

void TFocusHolder::focusInEvent(QFocusEvent* e) {
    if (ByKeyboard(e->reason()))
        static_cast<TFocusFrame*>(FFrame)->Show();
    QWidget::focusInEvent(e);
}

void TFocusHolder::focusOutEvent(QFocusEvent* e) {
    // A popup (a menu, the ribbon's application menu) borrows the focus only for a while.
    if (e->reason() != Qt::PopupFocusReason)
        FFrame->hide();
    QWidget::focusOutEvent(e);
}

} // namespace tonalyx
