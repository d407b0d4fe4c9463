// Tonalyx: the histograms of an image.
#include "share/app_inform.h"
#include "share/http_client.h"
#include "share/share_service.h"
#include "shell/app_core.h"
#include "shell/application.h"
#include "shell/main_window.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    tonalyx::TApplication app(argc, argv); // shows what nothing else caught
    QApplication::setApplicationName(QStringLiteral("Tonalyx"));
    QApplication::setApplicationVersion(QStringLiteral(TONALYX_VERSION));
    tonalyx::InitHttp();       // before any thread, once the program's name is known
    tonalyx::InitFeedParser(); // on the main thread, before the first feed is read
    tonalyx::TAppCore core;    // before any window
    QStringList args = QApplication::arguments();
    args.removeFirst();
    tonalyx::TfrmMain window(core, args);
    window.show();                           // maximised or not as the remembered state says
    const int status = QApplication::exec(); // the state was saved as the window closed
    // An upload or check still running must neither crash nor delay the end: the libraries'
    // exit handlers would pull their state from under its transfer.
    if (tonalyx::RunningShareWorkers() > 0) {
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
