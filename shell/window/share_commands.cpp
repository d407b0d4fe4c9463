#include "share_commands.h"

#include "appmessagebox.h"
#include "hist_export.h"
#include "links.h"
#include "named_timer.h"
#include "server_address.h"
#include "share_links.h"
#include "share_service.h"
#include "status_bar.h"
#include "status_texts.h"
#include "window_log.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

namespace tonalyx {

TShareCommands::TShareCommands(TShareParts parts, QObject* parent)
    : QObject(parent), FParts(std::move(parts)),
      FService(new TShareService(TShareOptions{.ServerRoot = ServerRootUrl()}, this)),
      tmRequestQueueIndication(NamedTimer("tmRequestQueueIndication", 100, this)),
      tmUploadImageExpWatch(NamedTimer("tmUploadImageExpWatch", 100, this)),
      tmCheckWEBServer(NamedTimer("tmCheckWEBServer", 100000, this)) {
    ShowFailure = [] {
        AppMessageBox(QStringLiteral("Failed to share image. Please try again later."),
                      QMessageBox::Warning, QMessageBox::Ok);
    };
    connect(FService, &TShareService::LedStateChanged, this,
            [this](TLEDState state) { FParts.StatusBar->SetLEDState(state); });
    connect(FService, &TShareService::UploadFailed, this, [this] {
        FParts.StatusBar->ClearDone(); // "uploading" is no longer true
        ShowFailure();
    });
    connect(FService, &TShareService::UploadDone, this,
            [this] { FParts.StatusBar->ShowDone(HistogramUploadedText()); });
    connect(tmRequestQueueIndication, &QTimer::timeout, this, [this] {
        if (!FService->OnIndicationTick())
            tmRequestQueueIndication->stop();
    });
    connect(tmUploadImageExpWatch, &QTimer::timeout, this, [this] {
        if (!FService->OnExpiryTick()) {
            tmRequestQueueIndication->stop();
            tmUploadImageExpWatch->stop();
        }
    });
    connect(tmCheckWEBServer, &QTimer::timeout, this, &TShareCommands::StartWEBServerCheck);
    tmCheckWEBServer->start();
}

TShareCommands::~TShareCommands() = default;

void TShareCommands::StartTimers() {
    tmRequestQueueIndication->start();
    tmUploadImageExpWatch->start();
}

void TShareCommands::StopTimers() {
    tmRequestQueueIndication->stop();
    tmUploadImageExpWatch->stop();
    tmCheckWEBServer->stop();
}

QByteArray TShareCommands::Snapshot() const {
    QString error;
    const std::unique_ptr<QBuffer> png = FParts.Export->HistToPngStream(&error);
    if (!png) // the upload sends nothing and the server refuses it: the user is told then
        qCInfo(WindowLog) << "the panel could not be encoded for sharing:" << error;
    return png ? png->data() : QByteArray();
}

void TShareCommands::acSocNetHTMLExecute() {
    if (!FParts.PanelVisible())
        return;
    const TStartedUpload started = FService->StartUpload(SocNetLink, Snapshot());
    StartTimers();
    QGuiApplication::clipboard()->setText(started.Target); // the tag at once
    FParts.StatusBar->ShowDone(LinkCopiedText());
}

void TShareCommands::acSocNetExecute(const QAction* command) {
    if (!FParts.PanelVisible())
        return;
    const TStartedUpload started =
        FService->StartUpload(SocNetIndex(command->objectName()), Snapshot());
    StartTimers();
    OpenLink(LinkLiteral, started.Target); // the share page at once; the upload follows
    FParts.StatusBar->ShowDone(SharePageOpenedText());
}

void TShareCommands::tbSocNetTellClick(int network) {
    const QString target = GetSocNetURL(UrlGroupFollow, network, FParts.Inform().URLTell);
    OpenLink(LinkLiteral, FillURLTemplate(UrlGroupShare, network, target));
}

void TShareCommands::tbSocNetFollowClick(int network) {
    OpenLink(LinkLiteral, GetSocNetURL(UrlGroupFollow, network, FParts.Inform().URLFollow));
}

void TShareCommands::StartWEBServerCheck() {
    FService->StartWEBServerCheck();
    StartTimers();
}

} // namespace tonalyx
