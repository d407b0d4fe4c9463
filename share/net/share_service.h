// Uploads of the histogram picture and the web server check, behind one main-thread
// object the window calls: it makes the picture's name and address, runs each request on
// a worker thread of its own, keeps the request queue and the connection light, and turns
// failures and expired requests into one message each.
#pragma once

#include "http_client.h"
#include "led_state.h"
#include "request_queue.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>

namespace tonalyx {

// The addresses and the file name a request sends; read on the main thread when a
// request starts, copied into its worker.
struct TUploadRequest {
    std::string Url;     // <root>upload.php
    QString PictureName; // the "fname" part
    QString FileName;    // the "file" part's filename attribute: a bare file name
    QByteArray Png;      // the complete PNG, from its first byte
};

// Worker thread: the multipart POST; true exactly when the server answered "0".
bool UploadImage(const THttpClient& client, const TUploadRequest& request);
// Worker thread: GET of <root>check.php; true exactly when the server answered "0".
bool CheckWEBServer(const THttpClient& client, const std::string& checkUrl);

// Workers (of every service) whose thread has not yet finished its work; any thread. The
// program never waits for them; main() may end the process without running the libraries'
// exit handlers while this is not 0 (they would pull the TLS state from under a running
// transfer), and tests wait for it to reach 0 before they end.
int RunningShareWorkers();

struct TStartedUpload {
    QString Name;    // the picture's name on the server
    QString Address; // its public address
    // Get Link: the <img src="..."/> text for the clipboard; a network: its share page
    // for the address, to open with OpenLink(LinkLiteral, Target).
    QString Target;
};

struct TShareOptions {
    QString ServerRoot;                   // ends in "/"; ServerRootUrl() in the program
    TTickClock Clock = SteadyTickClock(); // the queue's tick clock
    std::chrono::milliseconds Deadline = RequestDeadline; // of every queued request
    std::chrono::milliseconds HttpTimeout = DefaultHttpTimeout;
    QString UploadFileName; // filename attribute; the executable's bare name when empty
};

// Main thread, all of it. Workers are detached threads that end by themselves; a worker
// outliving this object has its result dropped, and the program never waits for one. The window:
//  - after StartUpload or StartWEBServerCheck starts tmRequestQueueIndication and
//    tmUploadImageExpWatch (100 ms each);
//  - on their ticks calls OnIndicationTick / OnExpiryTick and stops the timer(s) when
//    false comes back (OnExpiryTick false: stop both);
//  - shows LedStateChanged on the status bar and, on UploadFailed, the box "Failed to
//    share image. Please try again later." (a modal box is fine: failures arriving while
//    it is open are held and emitted one after another).
class TShareService : public QObject {
    Q_OBJECT
  public:
    explicit TShareService(TShareOptions options, QObject* parent = nullptr);
    ~TShareService() override;

    // Sets green, queues an upload of png (HistToPngStream's bytes, taken on the main
    // thread right after the command) under a new name and starts its worker. network:
    // SocNetLink for Get Link, else the share page's network (SocNetIndex of the command).
    // Everything the command needs comes back at once; the upload may still fail later.
    TStartedUpload StartUpload(int network, QByteArray png);
    // Sets green, queues a check and starts its worker.
    void StartWEBServerCheck();

    // Ticks of the two timers; false: stop the timer (for the expiry tick, both).
    bool OnIndicationTick();
    bool OnExpiryTick();

    TLEDState LEDState() const { return FLED; }
    std::size_t QueuedRequests() const { return FQueue.Size(); }

  signals:
    void LedStateChanged(tonalyx::TLEDState state);
    // One per failed upload or expired request that the light did not already show red.
    void UploadFailed();

  private:
    void SetLED(TLEDState state);
    void RequestDone(TRequestId id, TRequestKind kind, bool ok);
    template <typename Job> void StartWorker(TRequestId id, TRequestKind kind, Job job);

    // What workers reach this object through; shared with every worker, which may outlive
    // this object. Receiver is cleared (under Lock) by the destructor.
    struct TLink {
        std::mutex Lock;
        TShareService* Receiver = nullptr;
    };
    std::shared_ptr<TLink> FLink = std::make_shared<TLink>();
    TShareOptions FOptions;
    TRequestQueue FQueue;
    TFailureReporter FReporter;
    TLEDState FLED = TLEDState::lsOff;
};

} // namespace tonalyx
