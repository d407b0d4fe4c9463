#include "clipboard_watch.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTimer>

namespace tonalyx {

TClipboardWatch::TClipboardWatch(QObject* parent, std::unique_ptr<TClipboardReader> reader)
    : QObject(parent), FReader(std::move(reader)), tmMain(new QTimer(this)) {
    tmMain->setObjectName(QStringLiteral("tmMain"));
    tmMain->setInterval(100);
    connect(tmMain, &QTimer::timeout, this, &TClipboardWatch::Ask);
    if (ReportsClipboardChanges(QGuiApplication::platformName()))
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                &TClipboardWatch::AskAnew);
    else
        tmMain->start();
    Ask();
}

TClipboardWatch::~TClipboardWatch() {
    FReader.reset(); // its threads end before the rest of the watch goes
}

bool TClipboardWatch::TakePicture(std::function<void(TOutcome<QImage>)> report) {
    if (FTaking || FStopped)
        return false;
    FTaking = true;
    FReader->FetchPicture([this, report = std::move(report)](TOutcome<QImage> picture) {
        FTaking = false;
        report(std::move(picture));
    });
    return true;
}

bool TClipboardWatch::CancelTake() {
    if (!FTaking)
        return false;
    FTaking = false;
    FReader->CancelPictures();
    return true;
}

void TClipboardWatch::Stop() {
    FStopped = true;
    tmMain->stop();
    FReader->CancelAll();
    FAsking = FTaking = false;
}

void TClipboardWatch::Ask() {
    if (FStopped)
        return;
    if (FAsking) {
        FAskAgain = true;
        return;
    }
    FAsking = true;
    FReader->AskHoldsPicture([this](TOutcome<bool> holds) { Answered(holds); });
}

void TClipboardWatch::AskAnew() {
    if (FAsking) { // its report never comes
        FReader->CancelQuestions();
        FAsking = FAskAgain = false;
    }
    Ask();
}

void TClipboardWatch::Answered(const TOutcome<bool>& holds) {
    FAsking = false;
    if (holds && *holds != FHoldsPicture) {
        FHoldsPicture = *holds;
        emit Changed(FHoldsPicture);
    }
    if (FAskAgain) {
        FAskAgain = false;
        Ask();
    }
}

} // namespace tonalyx
