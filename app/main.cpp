// Tonalyx: the histograms of an image.
#include "app_core.h"
#include "app_inform.h"
#include "application.h"
#include "http_client.h"
#include "main_window.h"
#include "quit_requests.h"

#include <QIcon>

#include <cstdio>
#include <string_view>

namespace {

const char* const HelpText =
    "Usage: tonalyx [IMAGE]\n"
    "       tonalyx -- IMAGE\n"
    "\n"
    "Shows the histograms of a JPEG or Windows BMP image in RGB, HSV and CIE L*a*b*.\n"
    "IMAGE, when given, opens right after the window has appeared; a file named like an\n"
    "option opens after \"--\" or with its folder (./--help).\n"
    "\n"
    "  --help, -h     this text\n"
    "  --version      the version of the program\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the toolkit starts, so that they need no display.
    if (argc > 1) {
        const std::string_view first = argv[1];
        if (first == "--help" || first == "-h")
            return std::fputs(HelpText, stdout) < 0 ? 1 : 0;
        if (first == "--version")
            return std::printf("tonalyx %s\n", TONALYX_VERSION) < 0 ? 1 : 0;
    }
    tonalyx::TApplication app(argc, argv); // shows what nothing else caught
    QApplication::setApplicationName(QStringLiteral("Tonalyx"));
    QApplication::setApplicationVersion(QStringLiteral(TONALYX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(TONALYX_APP_ID));
    QIcon icon; // the sizes of the desktop's icon theme, drawn from one picture
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/" TONALYX_APP_ID ".png").arg(size));
    QApplication::setWindowIcon(icon);
    tonalyx::InitHttp();       // before any thread, once the program's name is known
    tonalyx::InitFeedParser(); // on the main thread, before the first feed is read
    tonalyx::TAppCore core;    // before any window
    QStringList args = QApplication::arguments();
    args.removeFirst();
    if (!args.isEmpty() && args.front() == QLatin1String("--"))
        args.removeFirst();
    tonalyx::TfrmMain window(core, args);
    tonalyx::TQuitRequests quitRequests(&window); // signals and the session's end close it as Exit
    window.show();                                // maximised or not as the remembered state says
    // The state was saved as the window closed. Its objects go at the end of this scope,
    // before the application: each cancels the work it started off the main thread (a
    // transfer still running ends at once) and joins its threads, so nothing outlives main.
    return QApplication::exec();
}
