#include "opener_view.h"

#include "app_core.h"
#include "command_states.h"
#include "hist_panel.h"
#include "hist_readout.h"
#include "image_panel.h"
#include "image_view.h"
#include "names.h"
#include "recent_menu.h"
#include "ribbon_bar.h"
#include "status_bar.h"
#include "status_texts.h"
#include "welcome_panel.h"

#include <QApplication>

namespace tonalyx {

void TWindowOpenerView::SetWaitCursor(bool on) {
    if (on)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TWindowOpenerView::SetImgCtrl(bool NewState, bool NavigationIsOff) {
    F.States->SetImgCtrl(NewState, NavigationIsOff);
}

void TWindowOpenerView::ShowImage(const QImage& image) {
    if (F.PictureReplaced)
        F.PictureReplaced();
    F.ImagePanel->Image()->SetImage(image);
}

void TWindowOpenerView::ShowPreparedImage(const QImage& image, const QImage& preview) {
    if (F.PictureReplaced)
        F.PictureReplaced();
    F.ImagePanel->Image()->SetImage(image, preview);
}

int TWindowOpenerView::PreviewSide() const {
    return F.ImagePanel->Image()->PreviewSide();
}

void TWindowOpenerView::RedrawHistograms() {
    if (TCurrentHist* shown = F.Shown())
        shown->Show(*F.HistPanel);
    F.HistPanel->update();
}

void TWindowOpenerView::SetAppTitle(const TPictureSource& shown) {
    const TAppTitle t = AppTitleText(shown, F.Ribbon->DocumentName());
    F.Ribbon->SetCaption(t.Caption);
    F.Ribbon->SetDocumentName(t.DocumentName);
    F.Window->setWindowTitle(t.AppTitle);
}

void TWindowOpenerView::ShowImageSize(QSize size, TRawRendition rendition) {
    F.StatusBar->SetImageSizeText(ImageSizeText(size, rendition));
    F.StatusBar->ClearFailure(); // it was about another picture, or about none
    F.Readout->ImageCounted();   // every load, cache hit and paste ends here
    if (F.ImageShown)
        F.ImageShown();
}

void TWindowOpenerView::SensorArrived() {
    if (F.SensorArrived)
        F.SensorArrived();
}

void TWindowOpenerView::ShowColourSpace(const QString& name) {
    F.StatusBar->SetColourSpaceText(name);
}

void TWindowOpenerView::HideWelcome() {
    F.ImagePanel->Welcome()->hide();
}

void TWindowOpenerView::RememberRecentImage(const QString& path) {
    F.Recent->Remember(path);
}

void TWindowOpenerView::ShowProgress(const QString& text) {
    F.StatusBar->ShowProgress(text);
}

void TWindowOpenerView::Fail(const QString& reason) {
    F.Beep();
    F.StatusBar->ShowFailure(reason);
}

void TWindowOpenerView::ShowIncomplete(bool incomplete) {
    FIncomplete = incomplete;
    ShowPictureNote();
}

void TWindowOpenerView::ShowNothingCounted(bool nothing) {
    FNothingCounted = nothing;
    ShowPictureNote();
}

void TWindowOpenerView::ShowPictureNote() {
    F.StatusBar->SetPictureNote(FNothingCounted ? NothingCountedText()
                                : FIncomplete   ? IncompletePictureText()
                                                : QString());
}

} // namespace tonalyx
