// tonalyx-render: histogram panels of many images as PNG files, without a window.
#include "render_command.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // The panel is a widget, drawn off-screen: no display is needed or used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    tonalyx::TRenderOptions options;
    int status = 0;
    if (!tonalyx::ParseRenderArguments(args, options, status, stdout, stderr))
        return status;
    return tonalyx::RunRender(options, stdout, stderr);
}
