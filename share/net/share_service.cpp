#include "share_service.h"

#include "net_log.h"
#include "protocol.h"
#include "share_links.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace tonalyx {

namespace {

// A good answer is exactly "0"; anything else is the server's refusal.
TOutcome<void> ZeroAnswer(const THttpReply& reply) {
    if (!reply.Ok())
        return reply.Outcome;
    if (!IsZeroReply(reply))
        return TOutcome<void>::Failure("The server did not accept the request",
                                       "it answered \"" + reply.Body + "\" instead of \"" +
                                           std::string(AcceptedAnswer) + "\"");
    return TOutcome<void>::Success();
}

} // namespace

TOutcome<void> UploadImage(const THttpClient& client, const TUploadRequest& request,
                           std::stop_token cancel) {
    const std::string name = request.PictureName.toStdString();
    const std::vector<THttpPart> parts{
        {std::string(UploadPicturePart),
         std::string_view(request.Png.constData(), static_cast<std::size_t>(request.Png.size())),
         request.FileName.toStdString(), "image/png"},
        {std::string(UploadNamePart), name, {}, {}},
    };
    return ZeroAnswer(client.PostMultipart(request.Url, parts, ShortReplyCap, std::move(cancel)));
}

TOutcome<void> CheckWEBServer(const THttpClient& client, const std::string& checkUrl,
                              std::stop_token cancel) {
    return ZeroAnswer(client.Get(checkUrl, ShortReplyCap, std::move(cancel)));
}

TShareService::TShareService(TShareOptions options, QObject* parent)
    : QObject(parent), FOptions(std::move(options)), FQueue(FOptions.Clock, FOptions.Deadline),
      FReporter([this] { emit UploadFailed(); }) {
    if (FOptions.UploadFileName.isEmpty())
        // The bare name only: the full path would tell the server the user's home folder.
        FOptions.UploadFileName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (FOptions.UploadFileName.isEmpty())
        FOptions.UploadFileName = QStringLiteral("tonalyx");
}

// The transfers still running are cancelled and joined as FTasks goes.
TShareService::~TShareService() = default;

void TShareService::SetLED(TLEDState state) {
    if (state == FLED)
        return;
    FLED = state;
    emit LedStateChanged(state);
}

template <typename Job>
void TShareService::StartTransfer(TRequestId id, TRequestKind kind, Job job) {
    FTransfers[id] = FTasks.Start(
        [job = std::move(job), timeout = FOptions.HttpTimeout](std::stop_token cancel) {
            return job(THttpClient(timeout), std::move(cancel));
        },
        [this, id, kind](TOutcome<void> result) { RequestDone(id, kind, result); });
}

TStartedUpload TShareService::StartUpload(int network, QByteArray png) {
    const QString name = MakeUploadFileName();
    SetLED(TLEDState::lsGreen);
    TUploadRequest request{RouteUrl(FOptions.ServerRoot.toStdString(), UploadRoute), name,
                           FOptions.UploadFileName, std::move(png)};
    const TRequestId id = FQueue.Add(TRequestKind::Upload);
    StartTransfer(
        id, TRequestKind::Upload,
        [request = std::move(request)](const THttpClient& client, std::stop_token cancel) {
            return UploadImage(client, request, std::move(cancel));
        });
    const QString address = MakeImageURL(name, FOptions.ServerRoot);
    return {name, address, FillURLTemplate(UrlGroupShare, network, address)};
}

void TShareService::StartWEBServerCheck() {
    SetLED(TLEDState::lsGreen);
    const std::string url = RouteUrl(FOptions.ServerRoot.toStdString(), CheckRoute);
    const TRequestId id = FQueue.Add(TRequestKind::Check);
    StartTransfer(id, TRequestKind::Check,
                  [url](const THttpClient& client, std::stop_token cancel) {
                      return CheckWEBServer(client, url, std::move(cancel));
                  });
}

void TShareService::RequestDone(TRequestId id, TRequestKind kind, const TOutcome<void>& result) {
    FTransfers.erase(id);
    // An entry the deadline watch abandoned changes nothing any more.
    if (!FQueue.Finish(id))
        return;
    const char* what = kind == TRequestKind::Check ? "server check" : "upload";
    if (result.Ok())
        qCDebug(NetLog) << what << "done";
    else // the light turns red; an upload's failure is also shown, in plain words of its own
        qCInfo(NetLog).noquote() << what << "failed:"
                                 << QString::fromStdString(DescribeFailure(result.Error()));
    if (kind == TRequestKind::Check) {
        SetLED(result.Ok() ? TLEDState::lsGreen : TLEDState::lsRed);
        return;
    }
    if (result.Ok()) {
        emit UploadDone();
        return;
    }
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
    for (const TExpiredRequest& expired : pass.Expired) {
        // Its transfer is not waited for any more.
        const auto transfer = FTransfers.find(expired.Id);
        if (transfer != FTransfers.end()) {
            FTasks.Cancel(transfer->second);
            FTransfers.erase(transfer);
        }
        qCInfo(NetLog) << (expired.Kind == TRequestKind::Check ? "server check" : "upload")
                       << "abandoned at its deadline";
        if (FLED == TLEDState::lsRed)
            continue;
        SetLED(TLEDState::lsRed);
        FReporter.Report();
    }
    return true;
}

} // namespace tonalyx
