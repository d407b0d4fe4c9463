// Tonalyx: the histograms of an image.
#include "share/app_inform.h"
#include "share/http_client.h"
#include "shell/app_core.h"
#include "shell/application.h"
#include "shell/main_window.h"

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
    window.show(); // maximised or not as the remembered state says
    return QApplication::exec();
}
