// Uploads of the histogram picture and the web server check, behind one main-thread
// object the window calls: it makes the picture's name and address, runs each request on
// a worker of its own, keeps the request queue and the connection light, and turns
// failures and expired requests into one message each.
#pragma once

#include "background_tasks.h"
#include "http_client.h"
#include "led_state.h"
#include "request_queue.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <map>
#include <stop_token>

namespace tonalyx {

// The addresses and the file name a request sends; read on the main thread when a
// request starts, copied into its worker.
struct TUploadRequest {
    std::string Url;     // <root>upload.php
    QString PictureName; // the "fname" part
    QString FileName;    // the "file" part's filename attribute: a bare file name
    QByteArray Png;      // the complete PNG, from its first byte
};

// Worker thread: the multipart POST; a success exactly when the server answered "0".
TOutcome<void> UploadImage(const THttpClient& client, const TUploadRequest& request,
                           std::stop_token cancel = {});
// Worker thread: GET of <root>check.php; a success exactly when the server answered "0".
TOutcome<void> CheckWEBServer(const THttpClient& client, const std::string& checkUrl,
                              std::stop_token cancel = {});

// Requests that run at the same time; more wait their turn (an upload is a click each, so
// this is seldom reached, and the deadline watch frees a place held by a silent server).
inline constexpr int MaxParallelRequests = 8;

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
    QString UploadFileName{}; // filename attribute; the executable's bare name when empty
};

// Main thread, all of it; the transfers run on the service's own workers. A request
// abandoned at its deadline, and every request still running when the service is
// destroyed, is cancelled: its transfer ends at once and reports nothing, so neither the
// deadline nor closing the program waits for the network. The window:
//  - after StartUpload or StartWEBServerCheck starts tmRequestQueueIndication and
//    tmUploadImageExpWatch (100 ms each);
//  - on their ticks calls OnIndicationTick / OnExpiryTick and stops the timer(s) when
//    false comes back (OnExpiryTick false: stop both);
//  - shows LedStateChanged on the status bar and, on UploadFailed, the box "Failed to
//    share image. Please try again later." (a modal box is fine: failures arriving while
//    it is open are held and emitted one after another); UploadDone only in the status bar.
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
    // One per upload the server took; never for one abandoned at its deadline.
    void UploadDone();

  private:
    void SetLED(TLEDState state);
    void RequestDone(TRequestId id, TRequestKind kind, const TOutcome<void>& result);
    // job: TOutcome<void>(const THttpClient&, std::stop_token), on a worker.
    template <typename Job> void StartTransfer(TRequestId id, TRequestKind kind, Job job);

    TShareOptions FOptions;
    TRequestQueue FQueue;
    TFailureReporter FReporter;
    TLEDState FLED = TLEDState::lsOff;
    std::map<TRequestId, TTaskId> FTransfers; // the queued requests' transfers
    // Last: destroyed first, cancelling and joining every transfer.
    TBackgroundTasks FTasks{{.MaxThreads = MaxParallelRequests}};
};

} // namespace tonalyx
