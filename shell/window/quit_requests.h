// Quitting from outside the window: SIGTERM (a logout, kill), SIGHUP (the terminal closed),
// SIGINT (Ctrl+C in the terminal) and the desktop session's end close the window through
// its own close path, as Exit does, so that what it remembers is saved. A signal that was
// ignored when this object was made stays ignored (nohup); a second signal while the close
// is under way ends the program at once.
//
// Main thread only. One object at a time: the signal handler wakes this object through a
// pipe, the only thing a handler may safely do.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <array>
#include <csignal>
#include <memory>

class QSocketNotifier;

namespace tonalyx {

class TQuitRequests final : public QObject {
    Q_OBJECT
  public:
    // The signals that close the window.
    static constexpr std::array<int, 3> QuitSignals{SIGTERM, SIGHUP, SIGINT};

    explicit TQuitRequests(QWidget* window);
    // Puts back the handling of the signals as it was before.
    ~TQuitRequests() override;
    TQuitRequests(const TQuitRequests&) = delete;
    TQuitRequests& operator=(const TQuitRequests&) = delete;

    // Closes the window as Exit does, once the dialogs, message boxes and menus open on
    // top of it have been dismissed. signalNumber is 0 for the session's end. Only the
    // first request counts.
    void RequestClose(int signalNumber);

    // Whether this object handles signalNumber (false when it was ignored at the start).
    bool Handles(int signalNumber) const;

  signals:
    // Once, before the window is asked to close.
    void CloseRequested(int signalNumber);

  private:
    void ReadWakeUps();
    void CloseOnceNoLoopIsNested();
    void CloseIfStillOpen();

    struct TSignalSetup;
    std::unique_ptr<TSignalSetup> FSetup; // the pipe and the dispositions replaced
    QSocketNotifier* FNotifier = nullptr; // child of this object
    QPointer<QWidget> FWindow;
    bool FRequested = false;
};

} // namespace tonalyx
