#include "offscreen_application.h"

#include "app_inform.h"
#include "http_client.h"

namespace tonalyx::bench {

TOffscreenEnvironment::TOffscreenEnvironment() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
    qputenv("TONALYX_SERVER_URL", "http://127.0.0.1:9/");
}

// The bases are made in the order declared: the environment first.
TOffscreenApplication::TOffscreenApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Tonalyx"));
    InitHttp();
    InitFeedParser();
}

} // namespace tonalyx::bench
