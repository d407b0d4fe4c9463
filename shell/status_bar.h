// sbMain: the connection light over panel 0, the image size in panel 1, panel 2 empty.
#pragma once

#include <QStatusBar>

class QLabel;

namespace tonalyx {

enum class TLEDState { lsOff, lsGreen, lsRed };

class TStatusBar final : public QStatusBar {
    Q_OBJECT
  public:
    explicit TStatusBar(QWidget* parent);

    void SetImageSizeText(const QString& text); // panel 1, repainted at once
    QString ImageSizeText() const;
    void SetLEDState(TLEDState state);
    TLEDState LEDState() const { return FState; }
    // Puts both lights over panel 0: vertically centred (half to even) plus 1, 3 px from the left.
    void PlaceLEDs();

    QLabel* imLEDGreen;
    QLabel* imLEDRed;

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    QLabel* FPanels[3];
    TLEDState FState = TLEDState::lsOff;
};

} // namespace tonalyx
