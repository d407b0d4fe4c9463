// sbMain: the connection light over panel 0, the image size in panel 1, in panel 2 the
// colour space of a picture whose values are not sRGB, then the region counted, if any, and a
// message panel after them: why
// the last action failed or what it did, else how far an open has come, else the hint of
// the command under the pointer, else a note on the picture shown (that it is incomplete).
// Messages never hide the image size. At the right end the readout of the histogram under the
// pointer and the clipping line of the current image.
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
    // Panel 2: the name of the colour space the picture's values are in, empty for sRGB.
    // The panel widens to show a name; without one it is 50 pixels wide.
    void SetColourSpaceText(const QString& name);
    QString ColourSpaceText() const;
    // After those: the region of the picture whose histograms are shown, or being counted;
    // empty (and no width) while the whole picture's are.
    void SetRegionNote(const QString& text);
    QString RegionNote() const;
    // Shows why something failed for FailureShowMs; a hint does not replace it meanwhile.
    void ShowFailure(const QString& text);
    // Says what a command did, as long and as firmly as a failure; replaces one.
    void ShowDone(const QString& text);
    // Another picture is shown: a failure still shown goes at once (what a command did stays).
    void ClearFailure();
    // What a command did turned out otherwise (its upload failed): that text goes at once.
    void ClearDone();
    // A note on the picture shown that lasts until the next one; empty for none.
    void SetPictureNote(const QString& text);
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
    QLabel* FRegion;
    QLabel* FMessage;
    QLabel *FReadout, *FClipping;
    QTimer* FFailureTimer;
    QString FFailure, FProgress, FHint, FPictureNote; // FFailure: a failure or what a command did
    bool FFailed = false;                             // FFailure says why something failed
    TLEDState FState = TLEDState::lsOff;
};

} // namespace tonalyx
