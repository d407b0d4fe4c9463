#include "window_bench.h"

#include "app_inform.h"
#include "http_client.h"
#include "main_window.h"
#include "neighbour_preparer.h"

#include <QEventLoop>
#include <QThread>

#include <algorithm>
#include <chrono>

namespace tonalyx::bench {

double Ms(const std::function<void()>& work) {
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

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

void StartWindow(TfrmMain& window) {
    window.showNormal();
    window.resize(1500, 900);
    while (!window.StartUpDone())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::processEvents();
}

void WaitOpened(TfrmMain& window) {
    if (!window.Opening())
        return;
    QEventLoop loop;
    QObject::connect(&window, &TfrmMain::OpenSettled, &loop, &QEventLoop::quit);
    loop.exec();
}

void Settle(TNeighbourPreparer& preparer) {
    QCoreApplication::processEvents();
    while (!preparer.Settled()) {
        QThread::msleep(2);
        QCoreApplication::processEvents();
    }
}

} // namespace tonalyx::bench
