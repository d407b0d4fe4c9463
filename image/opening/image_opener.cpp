#include "image_opener.h"

#include "accumulate.h"
#include "display_copy.h"
#include "image_loader.h"
#include "neighbour_preparer.h"
#include "opening_log.h"
#include "paths.h"
#include "qt_raster.h"
#include "ucache.h"

#include <utility>

namespace tonalyx {

namespace {

// Shows the wait cursor for its lifetime.
class TBusy {
  public:
    explicit TBusy(TOpenerView& view) : FView(view) { FView.SetWaitCursor(true); }
    ~TBusy() { Done(); }
    void Done() {
        if (FActive)
            FView.SetWaitCursor(false);
        FActive = false;
    }

  private:
    TOpenerView& FView;
    bool FActive = true;
};

} // namespace

QString CannotOpenText(const QString& path, const QString& reason) {
    QString why = reason;
    // A sentence becomes a clause; an acronym at the start ("JPEG ...") stays as it is.
    if (why.size() > 1 && why[0].isUpper() && !why[1].isUpper())
        why[0] = why[0].toLower();
    return QStringLiteral("Cannot open %1: %2").arg(FileNamePart(path), why);
}

std::optional<TNeighbor> NeighborOfKey(int key) {
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_Left:
    case Qt::Key_Up:
        return TNeighbor::nPrev;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return TNeighbor::nNext;
    default:
        return std::nullopt;
    }
}

TImageOpener::TImageOpener(TCurrentHist& hist, TFiles& files, TCache& cache, TOpenerView& view,
                           std::unique_ptr<TNeighbourPreparer> preparer)
    : FHist(hist), FFiles(files), FCache(cache), FView(view), FPreparer(std::move(preparer)) {}

TImageOpener::~TImageOpener() = default;

void TImageOpener::PrepareNeighbours() {
    if (!FPreparer)
        return;
    QStringList wanted;
    for (const QString& path : FFiles.NeighborPaths())
        if (!FCache.Contains(path))
            wanted << path;
    FPreparer->Want(wanted, FView.PreviewSide());
}

void TImageOpener::ShowCurrent(QImage preview) {
    const int side = FView.PreviewSide();
    if (preview.isNull() || preview.size() != DisplayCopySize(FCurrent.size(), side, FForm))
        preview = DisplayCopy(FCurrent, side, FForm); // made for another screen, or not at all
    FPreview = std::move(preview);
    FView.ShowPreparedImage(FCurrent, FPreview);
}

void TImageOpener::ShowSizeAndSpace() {
    FView.ShowImageSize(FForm.ShownSize(FCurrent.size()));
    FView.ShowColourSpace(FForm.ColourSpaceName());
}

void TImageOpener::NoteIncomplete(const QString& path, bool incomplete) {
    if (incomplete)
        FIncomplete.insert(path);
    else if (!path.isEmpty())
        FIncomplete.remove(path);
    FView.ShowIncomplete(incomplete);
}

void TImageOpener::ShowPrepared(const QString& path, TPreparedImage& prepared) {
    NoteIncomplete(path, prepared.Incomplete);
    FCurrent = std::move(prepared.Image);
    FForm = prepared.Form;
    ShowCurrent(prepared.Preview);
    FFiles.sCurrFile = path;
    FHist.Adopt(prepared.Counts);
    FView.RedrawHistograms();
    Decoded(path);
}

void TImageOpener::Decoded(const QString& path) {
    FCache.PushOwned(path, FCurrent, FHist.Raw(), FPreview, FForm); // FCurrent owns its pixels
    FView.SetImgCtrl(true, false);
    FView.SetAppTitle();
    ShowSizeAndSpace();
    FView.HideWelcome();
    FView.RememberRecentImage(path);
    PrepareNeighbours();
}

void TImageOpener::CountAndShow(const TPrimaryCounts* primaries) {
    const TRasterView raster = RasterOf(FCurrent);
    if (primaries)
        FHist.Count(raster, *primaries);
    else
        FHist.Count(raster);
    FView.RedrawHistograms();
}

void TImageOpener::LoadImageFile(const QString& path) {
    // A revisit costs no decoding and no counting, only the display steps; it leaves the
    // command states, the welcome panel and the recent list as they are.
    QImage cached, preview;
    TDisplayForm form;
    if (FHist.Restore(
            [&](TAllChanel& raw) { return FCache.Pop(path, cached, raw, &preview, &form); })) {
        FCurrent = cached;
        FForm = form;
        ShowCurrent(preview);
        FView.RedrawHistograms();
        FFiles.sCurrFile = path;
        FView.SetAppTitle();
        ShowSizeAndSpace();
        FView.ShowIncomplete(FIncomplete.contains(path));
        PrepareNeighbours();
        return;
    }
    if (!TFiles::IsAcceptedImageName(path)) {
        FView.Fail(CannotOpenText(path, QStringLiteral("not a JPEG or BMP file")));
        return;
    }
    // A prepared neighbour is shown as its decode would be; a step onto one still being
    // prepared waits for it, which ends sooner than a decode started now.
    if (const std::shared_ptr<TPreparedImage> prepared =
            FPreparer ? FPreparer->Take(path) : nullptr) {
        ShowPrepared(path, *prepared);
        return;
    }

    TBusy busy(FView);
    FView.SetImgCtrl(false, true);
    TOutcome<TLoadedImage> loaded = DecodeAndCount(PathOf(path));
    if (!loaded.Ok()) {
        qCInfo(OpeningLog).noquote() // the reason's technical detail, for whoever asks
            << "cannot open" << path << QString::fromStdString(DescribeFailure(loaded.Error()));
        FView.Fail(CannotOpenText(path, QString::fromStdString(loaded.Reason())));
        busy.Done();
        FView.SetImgCtrl(true, false);
        PrepareNeighbours(); // around the file that failed, where the next step starts
        return;
    }
    FForm = TDisplayForm(loaded->Image.Meta(), path);
    NoteIncomplete(path, loaded->Image.Incomplete());
    FCurrent = ToQImage(std::move(loaded->Image));
    ShowCurrent({});
    FFiles.sCurrFile = path;
    CountAndShow(&loaded->Primaries);
    busy.Done();
    Decoded(path);
}

void TImageOpener::PasteImage(const QImage& clipboardImage) {
    TBusy busy(FView);
    FView.SetImgCtrl(false, true);
    FView.HideWelcome(); // before the attempt, so also when it fails

    const QImage image =
        clipboardImage.isNull() ? QImage() : clipboardImage.convertToFormat(QImage::Format_BGR888);
    if (image.isNull()) {
        FView.Fail(QStringLiteral("The clipboard holds no picture that can be read"));
        busy.Done();
        // Navigation stays off unless a file (or an earlier paste) is current.
        FView.SetImgCtrl(true, FFiles.sCurrFile.isEmpty());
        return;
    }
    FCurrent = image;
    FForm = {}; // a pasted picture is shown as it is
    FView.ShowImage(FCurrent);
    FFiles.sCurrFile.clear();
    CountAndShow(nullptr);
    busy.Done();
    FView.SetImgCtrl(true, true); // a pasted picture has no folder to step through
    FFiles.sCurrFile = PastedImageName();
    FView.SetAppTitle();
    ShowSizeAndSpace();
    FView.ShowIncomplete(false);
    PrepareNeighbours(); // a pasted picture has none: whatever was held is dropped
}

void TImageOpener::ShowNeighbor(TNeighbor neighbor) {
    if (FFiles.GetNeighbor(neighbor))
        LoadImageFile(FFiles.sCurrFile);
    else if (FFiles.sCurrFile.isEmpty())
        FView.Fail(QStringLiteral("No image is open"));
    else if (FFiles.sCurrFile == PastedImageName())
        FView.Fail(QStringLiteral("A pasted picture has no folder to step through"));
    else
        FView.Fail(neighbor == TNeighbor::nNext
                       ? QStringLiteral("No next image in this folder")
                       : QStringLiteral("No previous image in this folder"));
}

bool TImageOpener::KeyDown(int key) {
    const std::optional<TNeighbor> step = NeighborOfKey(key);
    if (!step)
        return false;
    if (FFiles.sCurrFile.isEmpty())
        FView.Fail(QStringLiteral("No image is open"));
    else
        ShowNeighbor(*step);
    return true;
}

} // namespace tonalyx
