// The help command, the ribbon's help button, the welcome panel's "Local Help Index" and
// the about box, wired to the window's commands, its welcome panel, the feed's record
// and the Tell and Follow handlers. Main thread only.
#pragma once

#include <QObject>

class QWidget;

namespace tonalyx {

class TAB;
class TCommands;
class TNewsPresenter;
class TShareCommands;
class TWelcomePanel;

struct THelpAboutParts {
    QWidget* MainWindow;
    TCommands* Commands;
    TWelcomePanel* Welcome; // the about box copies its logo and network icons now
    TShareCommands* Share;
    TNewsPresenter* News;
};

class THelpAbout final : public QObject {
    Q_OBJECT
  public:
    // Creates the about box (hidden) and binds acHelpTopic and acAbout.
    THelpAbout(THelpAboutParts parts, QObject* parent);

    TAB* About() const { return FAbout; }
    void acHelpTopicExecute();
    void acAboutExecute();

  private:
    TAB* FAbout = nullptr;
};

// The network a Tell or Follow button stands for, by its name: ...GP Google+, ...TW
// Twitter, any other button Facebook.
int NetworkOfButton(const QObject* button);

} // namespace tonalyx
