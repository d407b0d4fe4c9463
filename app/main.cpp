// Tonalyx: the histograms of an image.
#include "shell/app_core.h"
#include "shell/main_window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tonalyx"));
    QApplication::setApplicationVersion(QStringLiteral(TONALYX_VERSION));
    tonalyx::TAppCore core; // before any window
    QStringList args = QApplication::arguments();
    args.removeFirst();
    tonalyx::TfrmMain window(core, args);
    window.showMaximized();
    return QApplication::exec();
}
