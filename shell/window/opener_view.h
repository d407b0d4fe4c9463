// What opening an image shows in the main window: the picture, the histograms, the title,
// the image size, the welcome panel, the recent list, the commands' availability and the
// failures. The opener's view of the window's pieces; owns none of them. Main thread.
#pragma once

#include "image_opener.h"

#include <functional>

class QWidget;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

struct TAppCore;
class TCommandStates;
class THistPanel;
class THistReadout;
class TImagePanel;
class TRecentMenu;
class TStatusBar;

struct TOpenerViewParts {
    QWidget* Window; // its title is the task bar text
    ribbon::TRibbonBar* Ribbon;
    TImagePanel* ImagePanel;
    THistPanel* HistPanel;
    TStatusBar* StatusBar;
    THistReadout* Readout;
    TRecentMenu* Recent;
    TCommandStates* States;
    TAppCore* Core; // the engine and the current file name; released at close
    std::function<void()> Beep;
    // After every load, cache hit and paste, once the picture and its histograms show.
    std::function<void()> ImageShown;
    // Before every load, cache hit and paste is shown: the picture in view is about to change.
    std::function<void()> PictureReplaced;
    // The histograms to draw: the picture's own or a region's; null once closed.
    std::function<TCurrentHist*()> Shown;
    // A camera raw file's sensor reading has joined the picture shown.
    std::function<void()> SensorArrived;
};

class TWindowOpenerView final : public TOpenerView {
  public:
    explicit TWindowOpenerView(TOpenerViewParts parts) : F(std::move(parts)) {}

    void SetWaitCursor(bool on) override;
    void SetImgCtrl(bool NewState, bool NavigationIsOff) override;
    void ShowImage(const QImage& image) override;
    void ShowPreparedImage(const QImage& image, const QImage& preview) override;
    int PreviewSide() const override;
    void RedrawHistograms() override;
    void SetAppTitle(const TPictureSource& shown) override;
    void ShowImageSize(QSize size, TRawRendition rendition) override;
    void ShowColourSpace(const QString& name) override;
    void HideWelcome() override;
    void RememberRecentImage(const QString& path) override;
    void Fail(const QString& reason) override;
    void ShowIncomplete(bool incomplete) override;
    void ShowNothingCounted(bool nothing) override;
    void ShowProgress(const QString& text) override;
    void SensorArrived() override;

  private:
    void ShowPictureNote();

    TOpenerViewParts F;
    bool FIncomplete = false;
    bool FNothingCounted = false;
};

} // namespace tonalyx
