// tonalyx-render: histogram panels of many images as PNG files, without a window.
#include "render_command.h"

#include <QGuiApplication>

int main(int argc, char* argv[]) {
    // The panel is drawn into pictures: no display is needed or used.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QGuiApplication::arguments();
    args.removeFirst();
    tonalyx::TRenderOptions options;
    int status = 0;
    if (!tonalyx::ParseRenderArguments(args, options, status, stdout, stderr))
        return status;
    return tonalyx::RunRender(options, stdout, stderr);
}
