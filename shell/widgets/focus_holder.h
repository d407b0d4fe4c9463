// The invisible field that holds the keyboard focus for the picture (ed4Focus): it takes no
// room, and the keys typed while it has the focus go to the window's own handling (the
// arrow and page keys step through the folder). So that the focus is never lost from
// sight, a frame is drawn round its parent while the focus came to it from the keyboard.
#pragma once

#include <QWidget>

namespace tonalyx {

class TFocusHolder final : public QWidget {
    Q_OBJECT
  public:
    explicit TFocusHolder(QWidget* parent);

    // Whether the frame round the parent shows now.
    bool FrameShown() const;

  protected:
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

  private:
    QWidget* FFrame;
};

} // namespace tonalyx
