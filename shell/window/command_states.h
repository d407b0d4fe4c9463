// Which commands are available and which toggles are on, derived in one place from what the
// window knows: SetImgCtrl's pair as the image paths last set it, whether the histogram
// panel is visible, whether the clipboard offers a picture, whether a region is counted, and
// the toggles' checked states.
// Plain values, no widgets: TCommandStatesView shows them on the actions. Main thread.
#pragma once

#include "commands.h"

#include <array>
#include <functional>

class QEvent;
class QMenu;
class QWidget;

namespace tonalyx {

class TCommandStates {
  public:
    // As the commands are created: every command available but the one that leaves a region
    // (none is counted yet), every toggle on, the panel
    // not on screen.
    TCommandStates();

    // Runs after an input changed.
    std::function<void()> OnChange;

    // Held exactly as given, whether or not an image was ever shown; what does not call it
    // (a revisit from the cache) leaves it as it was.
    void SetImgCtrl(bool NewState, bool NavigationIsOff);
    void SetPanelVisible(bool visible);
    void SetClipboardHoldsPicture(bool holds);
    // Whether the histograms shown are those of a region drawn on the picture.
    void SetRegionShown(bool shown);
    // Whether the current picture has its sensor's histogram.
    void SetSensorHistogram(bool has);
    // Whether the current picture is a camera raw file's (its preview or its development).
    void SetRawFile(bool raw);
    // A toggle's checked state as its action changed it (the user, the restored state).
    void SetChecked(TCommandId id, bool checked);

    bool Enabled(TCommandId id) const;
    bool Checked(TCommandId id) const; // false for a command that does not toggle
    // The context menu's items are available exactly when Save is and the histogram panel
    // is visible.
    bool ContextMenuEnabled() const;
    // The level the smoothing switch selects, an index into SmoothLevels.
    int SmoothLevel() const;

  private:
    void Changed(bool& input, bool value);

    bool FNewState = true;
    bool FNavigationIsOff = false;
    bool FPanelVisible = false;
    bool FClipboardHoldsPicture = true;
    bool FRegionShown = false;
    bool FSensorHistogram = false;
    bool FRawFile = false;
    std::array<bool, CommandCount> FChecked{};
};

// Shows a TCommandStates on the actions of the command table and on the context menu's
// items, and feeds it what they report: the toggles' checked states and the histogram
// panel's visibility. Owns nothing; lives no longer than the actions, the menu and the panel.
class TCommandStatesView final : public QObject {
  public:
    TCommandStatesView(TCommandStates& states, const TCommands& commands, QMenu& contextMenu,
                       QWidget& histPanel, QObject* parent);

    // Writes every enabled state; runs on every change of the model.
    void Apply() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    TCommandStates& FStates;
    const TCommands& FCommands;
    QMenu& FContextMenu;
    QWidget& FHistPanel;
};

} // namespace tonalyx
