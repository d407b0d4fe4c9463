// Get Link, the three Share commands, the Tell and Follow buttons, the web server check
// and the connection light, wired to the request service. Owns the three timers of the
// requests: tmRequestQueueIndication, tmUploadImageExpWatch and tmCheckWEBServer (every
// 100 s from creation). Main thread only.
#pragma once

#include "app_inform.h"

#include <QObject>

#include <functional>

class QAction;
class QTimer;

namespace tonalyx {

class THistExport;
class TShareService;
class TStatusBar;

// The window's parts the sharing touches.
struct TShareParts {
    const THistExport* Export;
    TStatusBar* StatusBar;
    std::function<bool()> PanelVisible;
    std::function<TAppInform()> Inform; // AppInform of the feed
};

class TShareCommands final : public QObject {
    Q_OBJECT
  public:
    TShareCommands(TShareParts parts, QObject* parent);
    ~TShareCommands() override;

    // The box of a failed or expired request; replaced by tests.
    std::function<void()> ShowFailure;

    void acSocNetHTMLExecute();
    void acSocNetExecute(const QAction* command);
    void tbSocNetTellClick(int network);   // 1 Facebook, 2 Google+, 3 Twitter
    void tbSocNetFollowClick(int network); // likewise
    void StartWEBServerCheck();
    TShareService& Service() const { return *FService; }
    // Checks and indicates no more (the window closes).
    void StopTimers();

  private:
    void StartTimers();
    // The PNG of the panel as shown, or empty when it cannot be made.
    QByteArray Snapshot() const;

    TShareParts FParts;
    TShareService* FService;
    QTimer* tmRequestQueueIndication;
    QTimer* tmUploadImageExpWatch;
    QTimer* tmCheckWEBServer;
};

} // namespace tonalyx
