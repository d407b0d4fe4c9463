// pnImage, the left side of the main window: the picture (imMain), the welcome panel
// floating in the middle until the first image, and the zero-width control that holds the
// keyboard focus. Shows the ribbon theme's workspace colour. Main thread.
#pragma once

#include <QWidget>

class QAction;

namespace tonalyx {

class TImageView;
class TWelcomePanel;

class TImagePanel final : public QWidget {
  public:
    // openAction and pasteAction are the welcome panel's two big buttons.
    TImagePanel(QAction* openAction, QAction* pasteAction, QWidget* parent);

    TImageView* Image() const { return imMain; }
    TWelcomePanel* Welcome() const { return pnWelcome; }
    QWidget* FocusHolder() const { return ed4Focus; }
    // The window reads as one surface in every theme.
    void SetWorkspaceColour(const QColor& colour);

  protected:
    void resizeEvent(QResizeEvent* e) override; // pnImageResize

  private:
    // In the order made: first in tab order and lowest; the welcome panel on top.
    QWidget* ed4Focus;
    TImageView* imMain;
    TWelcomePanel* pnWelcome;
};

} // namespace tonalyx
