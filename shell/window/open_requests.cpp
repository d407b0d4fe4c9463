#include "open_requests.h"

#include "app_core.h"
#include "clipboard_watch.h"
#include "command_states.h"
#include "file_requests.h"
#include "open_image_dialog.h"
#include "welcome_panel.h"

#include <QTimer>
#include <QWidget>

#include <utility>

namespace tonalyx {

TOpenRequests::TOpenRequests(TOpenRequestsParts parts, std::unique_ptr<TImageOpener> opener,
                             QObject* parent)
    : QObject(parent), F(std::move(parts)), FOpener(std::move(opener)) {
    FOpener->SetOnSettled([this] { OpenSettled(); });
}

TOpenRequests::~TOpenRequests() = default;

void TOpenRequests::LoadImageFile(const QString& path) {
    CancelPaste();
    if (FOpener)
        FOpener->LoadImageFile(path);
}

void TOpenRequests::PasteImage() {
    if (!FOpener || F.Clipboard->Taking())
        return; // the picture asked for comes first
    // The wait cursor while the owner answers; the window keeps answering meanwhile.
    F.View->SetWaitCursor(true);
    FPasteCursor = true;
    F.Clipboard->TakePicture([this](TOutcome<QImage> picture) {
        EndPasteCursor();
        if (FOpener)
            FOpener->PasteImage(picture.ValueOr(QImage()),
                                QString::fromStdString(picture.Reason()));
    });
}

bool TOpenRequests::CancelPaste() {
    if (!F.Clipboard->CancelTake())
        return false;
    EndPasteCursor();
    return true;
}

void TOpenRequests::PasteFromWelcome() {
    if (F.States->Enabled(TCommandId::acPasteImage))
        PasteImage();
    else
        F.View->Fail(QStringLiteral("The clipboard holds no picture"));
}

void TOpenRequests::EndPasteCursor() {
    if (FPasteCursor)
        F.View->SetWaitCursor(false);
    FPasteCursor = false;
}

void TOpenRequests::ShowNeighbor(TNeighbor neighbor) {
    CancelPaste();
    if (FOpener)
        FOpener->ShowNeighbor(neighbor);
}

void TOpenRequests::SetDeveloped(bool developed) {
    if (FOpener)
        FOpener->SetDeveloped(developed);
}

bool TOpenRequests::KeyDown(int key) {
    const bool pasteCancelled = key == Qt::Key_Escape && CancelPaste();
    const bool openerTook = FOpener && FOpener->KeyDown(key);
    if (openerTook) // a step or a cancel: a paste still waiting is no longer what is asked
        CancelPaste();
    return pasteCancelled || openerTook;
}

void TOpenRequests::AskAndOpen() {
    if (!FOpener)
        return;
    const QString path = AskImageToOpen(
        F.Window, F.Core->Files ? F.Core->Files->sCurrFile : QString(), F.OpenSettings);
    if (path.isEmpty())
        return;
    F.ImageView->repaint(); // the area under the closed dialog is redrawn before decoding starts
    LoadImageFile(path);
}

void TOpenRequests::Drop(const QList<QUrl>& urls) {
    const TFileRequest request = DroppedFileRequest(urls);
    if (!request.Refusal.isEmpty())
        F.View->Fail(request.Refusal);
    else // after the drop has returned, so the file manager is not held while it decodes
        QTimer::singleShot(0, this, [this, path = request.Path] { LoadImageFile(path); });
}

void TOpenRequests::OpenCommandLine(const QStringList& arguments) {
    const TFileRequest request = CommandLineRequest(arguments);
    FCommandLineRefusal = request.Refusal;
    if (request.Path.isEmpty())
        return;
    FCommandLineOpening = true;
    F.Welcome->hide();
    LoadImageFile(request.Path);
}

void TOpenRequests::OpenSettled() {
    const bool commandLine = std::exchange(FCommandLineOpening, false);
    if (commandLine && !FOpener->CurrentPicture())
        F.Welcome->show(); // it failed, or gave way to another open
    emit Settled(commandLine);
}

void TOpenRequests::Close() {
    F.Clipboard->Stop();
    EndPasteCursor(); // a paste still waiting is dropped
    FOpener.reset();
}

} // namespace tonalyx
