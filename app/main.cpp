// Tonalyx: the histograms of an image.
#include "shell/app_core.h"
#include "shell/application.h"
#include "shell/main_window.h"

int main(int argc, char* argv[]) {
    tonalyx::TApplication app(argc, argv); // shows what nothing else caught
    QApplication::setApplicationName(QStringLiteral("Tonalyx"));
    QApplication::setApplicationVersion(QStringLiteral(TONALYX_VERSION));
    tonalyx::TAppCore core; // before any window
    QStringList args = QApplication::arguments();
    args.removeFirst();
    tonalyx::TfrmMain window(core, args);
    window.showMaximized();
    return QApplication::exec();
}
