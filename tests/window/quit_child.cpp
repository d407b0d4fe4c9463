// The window as the program runs it, for the tests that signal a child process. It prints
// "ready" once it can be signalled to the point, and takes "exit" on its standard input.
//   quit_child window [IMAGE]  the main window with IMAGE opened; ready once it is shown
//   quit_child window-held IMAGE  the same, but the open of IMAGE waits at a gate that only
//                              its cancel opens; ready once the open is under way
//   quit_child stand-in        a window whose close prints "closing N" (N: the signal, 0
//                              for the session's end) and waits for a line on the
//                              standard input before it goes on
#include "app_core.h"
#include "app_inform.h"
#include "application.h"
#include "commands.h"
#include "http_client.h"
#include "main_window.h"
#include "open_gate.h"
#include "quit_requests.h"
#include "ribbon_bar.h"

#include <QAction>
#include <QCloseEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <string>

#include <unistd.h>

using namespace tonalyx;

namespace {

void Say(const char* line) {
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Calls onLine for every line that arrives on the standard input.
void ListenToStandardInput(QObject* owner, std::function<void(const QByteArray&)> onLine) {
    auto* notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [notifier, onLine] {
        char buf[256];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            notifier->setEnabled(false);
            return;
        }
        for (const QByteArray& line : QByteArray(buf, n).split('\n'))
            if (!line.isEmpty())
                onLine(line);
    });
}

int RunWindow(const QStringList& images, bool held) {
    InitHttp();
    InitFeedParser();
    test::TOpenGate gate(std::chrono::minutes(10)); // before the window, which calls it
    TAppCore core;
    if (held)
        core.OpenFile = gate.Function();
    TfrmMain window(core, images);
    TQuitRequests quitRequests(&window);
    window.show();
    // Ready once started and, with an image, once it is in the recent list.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (held ? window.isVisible() && gate.Started()
                 : window.StartUpDone() &&
                       (images.isEmpty() || !window.Ribbon()->RecentItems().isEmpty())) {
            poll.stop();
            Say("ready");
        }
    });
    poll.start(20);
    ListenToStandardInput(&window, [&](const QByteArray& line) {
        if (line == "exit")
            window.Commands()[TCommandId::acExit]->trigger();
    });
    return QApplication::exec();
}

class TStandIn : public QWidget {
  public:
    int Requested = -1;

  protected:
    void closeEvent(QCloseEvent* e) override {
        Say(("closing " + std::to_string(Requested)).c_str());
        char c = 0;
        while (::read(STDIN_FILENO, &c, 1) == 1 && c != '\n') {
        }
        e->accept();
    }
};

int RunStandIn() {
    TStandIn window;
    TQuitRequests quitRequests(&window);
    QObject::connect(&quitRequests, &TQuitRequests::CloseRequested,
                     [&](int signalNumber) { window.Requested = signalNumber; });
    window.show();
    QTimer::singleShot(0, [] { Say("ready"); });
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    TApplication app(argc, argv);
    const QStringList args = QApplication::arguments().mid(1);
    if (args.value(0) == QLatin1String("window"))
        return RunWindow(args.mid(1), false);
    if (args.value(0) == QLatin1String("window-held"))
        return RunWindow(args.mid(1), true);
    if (args.value(0) == QLatin1String("stand-in"))
        return RunStandIn();
    std::fputs("usage: quit_child window [IMAGE] | window-held IMAGE | stand-in\n", stderr);
    return 2;
}
