// A window's key preview: the window sees every key pressed in it before its focused
// control does, and never consumes the key. An application-wide event filter, in place for
// the lifetime of this object or until Stop. Main thread.
#pragma once

#include <QObject>

#include <functional>

class QWidget;

namespace tonalyx {

class TKeyPreview final : public QObject {
  public:
    // keyDown receives the Qt::Key of each key pressed while window or one of its widgets
    // has the focus; the preview is a child of window.
    TKeyPreview(QWidget& window, std::function<void(int key)> keyDown);
    ~TKeyPreview() override;

    void Stop();

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QWidget& FWindow;
    std::function<void(int key)> FKeyDown;
};

} // namespace tonalyx
