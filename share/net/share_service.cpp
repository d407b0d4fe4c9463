#include "share_service.h"

#include "share_links.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <atomic>
#include <system_error>
#include <thread>

namespace tonalyx {

namespace {
std::atomic<int> RunningWorkers{0};
} // namespace

int RunningShareWorkers() {
    return RunningWorkers.load();
}

bool UploadImage(const THttpClient& client, const TUploadRequest& request) {
    const std::string name = request.PictureName.toStdString();
    const std::vector<THttpPart> parts{
        {"file",
         std::string_view(request.Png.constData(), static_cast<std::size_t>(request.Png.size())),
         request.FileName.toStdString(), "image/png"},
        {"fname", name, {}, {}},
    };
    return IsZeroReply(client.PostMultipart(request.Url, parts, ShortReplyCap));
}

bool CheckWEBServer(const THttpClient& client, const std::string& checkUrl) {
    return IsZeroReply(client.Get(checkUrl, ShortReplyCap));
}

TShareService::TShareService(TShareOptions options, QObject* parent)
    : QObject(parent), FOptions(std::move(options)), FQueue(FOptions.Clock, FOptions.Deadline),
      FReporter([this] { emit UploadFailed(); }) {
    FLink->Receiver = this;
    if (FOptions.UploadFileName.isEmpty())
        // The bare name only: the full path would tell the server the user's home folder.
        FOptions.UploadFileName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (FOptions.UploadFileName.isEmpty())
        FOptions.UploadFileName = QStringLiteral("tonalyx");
}

// Running workers go on by themselves; from here on they hand nothing to this object.
TShareService::~TShareService() {
    std::lock_guard lock(FLink->Lock);
    FLink->Receiver = nullptr;
}

void TShareService::SetLED(TLEDState state) {
    if (state == FLED)
        return;
    FLED = state;
    emit LedStateChanged(state);
}

template <typename Job> void TShareService::StartWorker(TRequestId id, TRequestKind kind, Job job) {
    // A plain detached thread: it touches no Qt object but through the hand-off below, so
    // one still running when the program ends neither holds up the exit nor finds the
    // application object gone.
    ++RunningWorkers;
    try {
        std::thread([job = std::move(job), id, kind, link = FLink, timeout = FOptions.HttpTimeout] {
            bool ok = false;
            try {
                ok = job(THttpClient(timeout));
            } catch (...) {
                ok = false;
            }
            // Under the link's lock this object cannot be in its destructor; the queued call is
            // dropped by Qt if the object goes before the main thread runs it.
            std::lock_guard lock(link->Lock);
            if (link->Receiver)
                QMetaObject::invokeMethod(
                    link->Receiver,
                    [r = link->Receiver, id, kind, ok] { r->RequestDone(id, kind, ok); },
                    Qt::QueuedConnection);
            --RunningWorkers;
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the request fails as it would on the network, once, later
        // on this thread like any other result.
        --RunningWorkers;
        QMetaObject::invokeMethod(
            this, [this, id, kind] { RequestDone(id, kind, false); }, Qt::QueuedConnection);
    }
}

TStartedUpload TShareService::StartUpload(int network, QByteArray png) {
    const QString name = MakeUploadFileName();
    SetLED(TLEDState::lsGreen);
    TUploadRequest request{(FOptions.ServerRoot + QStringLiteral("upload.php")).toStdString(), name,
                           FOptions.UploadFileName, std::move(png)};
    const TRequestId id = FQueue.Add(TRequestKind::Upload);
    StartWorker(id, TRequestKind::Upload,
                [request = std::move(request)](const THttpClient& client) {
                    return UploadImage(client, request);
                });
    const QString address = MakeImageURL(name, FOptions.ServerRoot);
    return {name, address, FillURLTemplate(UrlGroupShare, network, address)};
}

void TShareService::StartWEBServerCheck() {
    SetLED(TLEDState::lsGreen);
    const std::string url = (FOptions.ServerRoot + QStringLiteral("check.php")).toStdString();
    const TRequestId id = FQueue.Add(TRequestKind::Check);
    StartWorker(id, TRequestKind::Check,
                [url](const THttpClient& client) { return CheckWEBServer(client, url); });
}

void TShareService::RequestDone(TRequestId id, TRequestKind kind, bool ok) {
    // An entry the deadline watch abandoned changes nothing any more.
    if (!FQueue.Finish(id))
        return;
    if (kind == TRequestKind::Check) {
        SetLED(ok ? TLEDState::lsGreen : TLEDState::lsRed);
        return;
    }
    if (ok)
        return;
    SetLED(TLEDState::lsRed);
    FReporter.Report();
}

bool TShareService::OnIndicationTick() {
    TLEDState led = FLED;
    const bool keep = FQueue.IndicationPass(led);
    SetLED(led);
    return keep;
}

bool TShareService::OnExpiryTick() {
    // The queue's lock is released when the pass returns; reporting comes after.
    const TExpiryPass pass = FQueue.ExpiryPass();
    if (pass.QueueEmpty) {
        if (FLED != TLEDState::lsRed)
            SetLED(TLEDState::lsGreen);
        return false;
    }
    for (std::size_t i = 0; i < pass.Expired.size(); ++i) {
        if (FLED == TLEDState::lsRed)
            continue;
        SetLED(TLEDState::lsRed);
        FReporter.Report();
    }
    return true;
}

} // namespace tonalyx
