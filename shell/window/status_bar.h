// sbMain: the connection light over panel 0, the image size in panel 1, panel 2 empty,
// and a message panel after them: why the last action failed, or the hint of the command
// under the pointer. Messages never hide the image size. At the right end the readout of
// the histogram under the pointer and the clipping line of the current image.
#pragma once

#include "led_state.h"

#include <QStatusBar>

class QLabel;
class QTimer;

namespace tonalyx {

class TStatusBar final : public QStatusBar {
    Q_OBJECT
  public:
    explicit TStatusBar(QWidget* parent);

    void SetImageSizeText(const QString& text); // panel 1, repainted at once
    QString ImageSizeText() const;
    // Shows why something failed for FailureShowMs; a hint does not replace it meanwhile.
    void ShowFailure(const QString& text);
    // The hint of the command under the pointer; empty when the pointer leaves it.
    void ShowHint(const QString& text);
    // How far an open has come, in place of a hint; empty once it has ended. A failure
    // still shows first.
    void ShowProgress(const QString& text);
    QString MessageText() const;
    // The readout panel (empty when the pointer is over no histogram) and its tooltip.
    void SetReadout(const QString& text, const QString& toolTip);
    QString ReadoutText() const;
    void SetClippingText(const QString& text);
    QString ClippingText() const;
    static constexpr int FailureShowMs = 5000;
    void SetLEDState(TLEDState state);
    TLEDState LEDState() const { return FState; }
    // Puts both lights over panel 0: vertically centred (half to even) plus 1, 3 px from the left.
    void PlaceLEDs();

    QLabel* imLEDGreen;
    QLabel* imLEDRed;

  protected:
    void resizeEvent(QResizeEvent* e) override;

  private:
    void UpdateMessage();

    QLabel* FPanels[3];
    QLabel* FMessage;
    QLabel *FReadout, *FClipping;
    QTimer* FFailureTimer;
    QString FFailure, FProgress, FHint;
    TLEDState FState = TLEDState::lsOff;
};

} // namespace tonalyx
