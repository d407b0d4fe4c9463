// The View tab: how the histograms and the picture are looked at, never what is counted.
// Binds the tab's toggles to the histogram panel. Main thread only.
#pragma once

#include <QObject>

namespace tonalyx {

class TCommands;
class THistPanel;

class TViewChoices final : public QObject {
    Q_OBJECT
  public:
    // Binds acLogScale and starts it off: the histograms keep their linear axis until the
    // user or a remembered choice says otherwise.
    TViewChoices(TCommands& commands, THistPanel& panel, QObject* parent);

    bool LogScale() const;
    void SetLogScale(bool on);

  private:
    void ApplyScale();

    TCommands& FCommands;
    THistPanel& FPanel;
};

} // namespace tonalyx
