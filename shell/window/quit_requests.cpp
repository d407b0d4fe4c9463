#include "quit_requests.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <unistd.h>

namespace tonalyx {

namespace {

// The write end of the wake-up pipe, for the handler; -1 while no object listens. Set
// before the handlers are installed and cleared after they are removed.
int WakeUpFd = -1;
// Set by the first request; a signal that finds it set ends the program at once.
volatile std::sig_atomic_t Closing = 0;

// Runs in signal context, on whichever thread the signal reached: async-signal-safe calls
// only.
extern "C" void OnQuitSignal(int signalNumber) {
    if (Closing) {
        // The close is under way and the user insists: end as the signal would have. The
        // signal is blocked while its handler runs, so it takes effect on return.
        std::signal(signalNumber, SIG_DFL);
        std::raise(signalNumber);
        return;
    }
    Closing = 1;
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(WakeUpFd, &byte, 1);
    errno = savedErrno;
}

// A file descriptor, closed with its owner.
class TOwnedFd {
  public:
    explicit TOwnedFd(int fd) : FFd(fd) {}
    ~TOwnedFd() { ::close(FFd); }
    TOwnedFd(const TOwnedFd&) = delete;
    TOwnedFd& operator=(const TOwnedFd&) = delete;
    int Get() const { return FFd; }

  private:
    int FFd;
};

} // namespace

struct TQuitRequests::TSignalSetup {
    TSignalSetup(int readFd, int writeFd) : ReadEnd(readFd), WriteEnd(writeFd) {}
    TOwnedFd ReadEnd, WriteEnd;
    // What each of QuitSignals did before; empty where it was ignored, and stays so.
    std::array<std::optional<struct sigaction>, QuitSignals.size()> Replaced;
};

TQuitRequests::TQuitRequests(QWidget* window) : FWindow(window) {
    Q_ASSERT(WakeUpFd < 0);
    Closing = 0;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        FSetup = std::make_unique<TSignalSetup>(fds[0], fds[1]);
        FNotifier = new QSocketNotifier(fds[0], QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, &TQuitRequests::ReadWakeUps);
        WakeUpFd = fds[1];
        for (std::size_t i = 0; i < QuitSignals.size(); ++i) {
            struct sigaction before = {};
            if (::sigaction(QuitSignals[i], nullptr, &before) != 0 ||
                (!(before.sa_flags & SA_SIGINFO) && before.sa_handler == SIG_IGN))
                continue;
            struct sigaction handler = {};
            handler.sa_handler = OnQuitSignal;
            sigemptyset(&handler.sa_mask);
            handler.sa_flags = SA_RESTART;
            if (::sigaction(QuitSignals[i], &handler, nullptr) == 0)
                FSetup->Replaced[i] = before;
        }
    } else {
        qWarning("Signals end the program without saving: no pipe to hear them (%s)",
                 std::strerror(errno));
    }
#if QT_CONFIG(sessionmanager)
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        connect(app, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { RequestClose(0); });
#endif
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &TQuitRequests::CloseIfStillOpen);
}

TQuitRequests::~TQuitRequests() {
    if (FSetup) {
        for (std::size_t i = 0; i < QuitSignals.size(); ++i)
            if (FSetup->Replaced[i])
                ::sigaction(QuitSignals[i], &*FSetup->Replaced[i], nullptr);
        WakeUpFd = -1;
    }
    Closing = 0;
}

bool TQuitRequests::Handles(int signalNumber) const {
    for (std::size_t i = 0; i < QuitSignals.size(); ++i)
        if (QuitSignals[i] == signalNumber)
            return FSetup && FSetup->Replaced[i].has_value();
    return false;
}

void TQuitRequests::ReadWakeUps() {
    unsigned char bytes[16];
    int first = 0;
    ssize_t n;
    while ((n = ::read(FSetup->ReadEnd.Get(), bytes, sizeof bytes)) > 0)
        if (first == 0)
            first = bytes[0];
    if (first != 0)
        RequestClose(first);
}

void TQuitRequests::RequestClose(int signalNumber) {
    if (FRequested)
        return;
    FRequested = true;
    Closing = 1;
    emit CloseRequested(signalNumber);
    CloseOnceNoLoopIsNested();
}

void TQuitRequests::CloseOnceNoLoopIsNested() {
    if (!FWindow)
        return;
    // A dialog, a message box or a menu runs an event loop of its own, and the code that
    // opened it goes on with the window once it returns: dismiss it, and close the window
    // only when that code is done.
    if (QThread::currentThread()->loopLevel() > 1) {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            popup->close();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject(); // a message box may refuse a plain close
            else
                modal->close();
        }
        QTimer::singleShot(10, this, &TQuitRequests::CloseOnceNoLoopIsNested);
        return;
    }
    FWindow->close();
}

void TQuitRequests::CloseIfStillOpen() {
    // The application quits without the window having closed (asked by the platform):
    // the event loops have ended, so the window closes now.
    if (!FWindow || !FWindow->isVisible())
        return;
    if (!FRequested) {
        FRequested = true;
        Closing = 1;
        emit CloseRequested(0);
    }
    FWindow->close();
}

} // namespace tonalyx
