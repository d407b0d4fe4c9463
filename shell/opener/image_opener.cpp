#include "image_opener.h"

#include "display_copy.h"
#include "image_format.h"
#include "neighbour_preparer.h"
#include "open_reasons.h"
#include "paths.h"
#include "qt_raster.h"
#include "statistics.h"
#include "ucache.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace tonalyx {

namespace {

// An open shorter than this shows no progress: the text would only flash.
constexpr int ProgressDelayMs = 500;
constexpr int ProgressIntervalMs = 100;

} // namespace

// Set once the pictures the cache dropped for an open are freed; the worker waits for it.
struct TImageOpener::TRoomMade {
    std::mutex Mutex;
    std::condition_variable_any Changed;
    bool Made = false;

    void Set() {
        std::lock_guard lock(Mutex);
        Made = true;
        Changed.notify_all();
    }
    // False when cancel stopped the wait first.
    bool Wait(std::stop_token cancel) {
        std::unique_lock lock(Mutex);
        return Changed.wait(lock, cancel, [this] { return Made; });
    }
};

QString CannotOpenText(const QString& path, const QString& reason) {
    QString why = reason;
    // A sentence becomes a clause; an acronym at the start ("JPEG ...") stays as it is.
    if (why.size() > 1 && why[0].isUpper() && !why[1].isUpper())
        why[0] = why[0].toLower();
    return QStringLiteral("Cannot open %1: %2").arg(FileNamePart(path), why);
}

QString NotAnImageText(const QString& path) {
    return CannotOpenText(
        path,
        QStringLiteral("not a %1 file").arg(QString::fromStdString(ImageFormatNames(" or "))));
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

QString OpenProgressText(const QString& name, const TOpenProgress* progress, std::int64_t ms) {
    if (ms < ProgressDelayMs)
        return {};
    QString text = name.isEmpty() ? QStringLiteral("Reading the pasted picture")
                                  : QStringLiteral("Opening %1").arg(name);
    const int height = progress ? progress->Height.load(std::memory_order_relaxed) : 0;
    if (height > 0) {
        // The last rows are counted and reduced after they are decoded: 99% until it is in.
        const int rows = progress->Rows.load(std::memory_order_relaxed);
        const auto percent = std::min<std::int64_t>(std::int64_t{rows} * 100 / height, 99);
        text += QStringLiteral("\u2026 %1%").arg(percent);
    } else {
        text += QStringLiteral("\u2026");
    }
    return text + QStringLiteral(" (Esc cancels)");
}

TImageOpener::TImageOpener(TCurrentHist& hist, TFiles& files, TCache& cache, TOpenerView& view,
                           std::unique_ptr<TNeighbourPreparer> preparer, TOpenFunction open,
                           TMemoryLeft memoryLeft)
    : FHist(hist), FFiles(files), FCache(cache), FView(view), FPreparer(std::move(preparer)),
      FOpen(std::move(open)), FMemoryLeft(std::move(memoryLeft)), FCacheBound(cache.MaxBytes()) {
    FProgressTimer.setInterval(ProgressIntervalMs);
    QObject::connect(&FProgressTimer, &QTimer::timeout, [this] { UpdateProgress(); });
    // Pictures the cache lets go of are freed on the worker too.
    FCache.SetOnDropped([this](TCacheData dropped) {
        Dispose(std::move(dropped.Picture), {}, std::move(dropped.Preview));
    });
}

TImageOpener::~TImageOpener() {
    FCache.SetOnDropped({});
    if (FPreparer)
        FPreparer->WhenPrepared({}, {});
    if (FOpening) {
        FTasks.CancelAll();
        FView.SetWaitCursor(false);
    }
}

void TImageOpener::Dispose(TPictureRef picture, QImage image, QImage preview) {
    // Only the last holder of a picture frees it; the others just let go of it.
    if (!picture && image.isNull() && preview.isNull())
        return;
    FDisposal.Start([picture = std::move(picture), image = std::move(image),
                     preview = std::move(preview)](std::stop_token) mutable {
        image = QImage();
        preview = QImage();
        picture.reset();
    });
}

void TImageOpener::PrepareNeighbours() {
    if (!FPreparer)
        return;
    QStringList wanted;
    for (const QString& path : FFiles.NeighborPaths())
        if (!FCache.Contains(CacheKey(path)))
            wanted << path;
    // The neighbours count against the cache's bound. Room is made for them as if they were
    // the size of the picture shown (in a folder they mostly are), dropping older pictures but
    // not that one; a neighbour larger than the room left is not prepared.
    const int cached = FCache.Count();
    if (!wanted.isEmpty()) {
        const std::int64_t shown = TCache::EntryBytes({FPicture, FPreview, FForm});
        FCache.MakeRoom(std::min<std::int64_t>(wanted.size() * shown, FCache.MaxBytes() - shown));
    }
    const std::uint64_t asked = ++FNeighboursAsked;
    const auto want = [this, wanted, side = FView.PreviewSide(), asked] {
        if (asked == FNeighboursAsked) // not overtaken by a later picture's neighbours
            FPreparer->Want(wanted, side, FCache.MaxBytes() - FCache.UsedBytes());
    };
    if (FCache.Count() == cached) {
        want();
        return;
    }
    // The freeing runner takes its tasks in order: the neighbours are wanted once the pictures
    // dropped for them are freed, so that none is decoded beside them.
    FDisposal.Start([](std::stop_token) {}, [want](TOutcome<void>) { want(); });
}

void TImageOpener::ShowCurrent(TPictureRef picture, QImage preview, const TDisplayForm& form) {
    const int side = FView.PreviewSide();
    QImage image = PictureImage(picture);
    if (preview.isNull() || preview.size() != DisplayCopySize(image.size(), side, form))
        preview = DisplayCopy(picture, side, form); // made for another screen, or not at all
    FForm = form;
    // Another picture of the same file (its development, its preview) has the same sensor.
    if (picture && FPicture && !picture->Sensor() && FPicture->Sensor() &&
        picture->Source().IsFile() && picture->Source().Path() == FPicture->Source().Path() &&
        picture->Source().Stamp() == FPicture->Source().Stamp())
        picture->SetSensor(FPicture->Sensor(), FPicture->Mosaic());
    TPictureRef oldPicture = std::exchange(FPicture, std::move(picture));
    QImage oldImage = std::exchange(FCurrent, std::move(image));
    QImage oldPreview = std::exchange(FPreview, std::move(preview));
    FView.ShowPreparedImage(FCurrent, FPreview);
    FView.ShowNothingCounted(FPicture && CountedPixels(FPicture->Counts()[TChannel::R]) == 0);
    Dispose(std::move(oldPicture), std::move(oldImage), std::move(oldPreview));
    AttachSensor();
}

void TImageOpener::ReadSensor(const QString& path) {
    if (FSensor && FSensor->Path == path)
        return; // read, or being read, already
    if (FSensor && FSensor->Task)
        FSensorTasks.Cancel(FSensor->Task);
    const std::uint64_t id = FNextId++;
    FSensor = TSensorReading{id, path, 0, {}};
    FSensor->Task = FSensorTasks.Start(
        [read = FReadSensor, path](std::stop_token cancel) {
            return read(path, [cancel] { return cancel.stop_requested(); });
        },
        [this, id](TOutcome<TSensorKept> kept) {
            // A reading that threw (out of memory) leaves the picture without it, as a file
            // whose sensor cannot be read does.
            SensorRead(id, kept.Ok() ? std::move(kept).Value() : TSensorKept{});
        });
}

void TImageOpener::AttachSensor() {
    const QString path =
        FPicture && FPicture->Source().IsFile() ? QtPathOf(FPicture->Source().Path()) : QString();
    const bool wanted =
        !path.isEmpty() && FPicture->Meta().Rendition != TRawRendition::None && !FPicture->Sensor();
    const bool opening = FOpening && FSensor && FOpening->Path == FSensor->Path;
    if (!wanted) {
        if (FSensor && !opening) {
            if (FSensor->Task)
                FSensorTasks.Cancel(FSensor->Task);
            FSensor.reset();
        }
        return;
    }
    if (FSensor && FSensor->Path == path && !FSensor->Task) {
        FPicture->SetSensor(FSensor->Kept.Histogram, FSensor->Kept.Mosaic);
        FSensor.reset();
        return;
    }
    ReadSensor(path);
}

void TImageOpener::SensorRead(std::uint64_t id, TSensorKept kept) {
    if (!FSensor || FSensor->Id != id)
        return;
    FSensor->Task = 0;
    FSensor->Kept = std::move(kept);
    if (!FPicture || !FPicture->Source().IsFile() ||
        QtPathOf(FPicture->Source().Path()) != FSensor->Path || FPicture->Sensor())
        return; // its picture is still being decoded: it takes it when it is shown
    FPicture->SetSensor(FSensor->Kept.Histogram, FSensor->Kept.Mosaic);
    FSensor.reset();
    // The cache weighs the picture again, now with its sensor's photosites.
    FCache.Reweigh(CacheKey(QtPathOf(FPicture->Source().Path())));
    FView.SensorArrived();
}

void TImageOpener::ShowSizeAndSpace() {
    FView.ShowImageSize(FForm.ShownSize(FCurrent.size()),
                        FPicture ? FPicture->Meta().Rendition : TRawRendition::None);
    FView.ShowColourSpace(FForm.ColourSpaceName());
}

QString TImageOpener::CacheKey(const QString& path) const {
    // A raw file's development is cached beside its preview, under a key of its own (no path
    // holds a NUL), so that switching back and forth decodes each picture once. The prepared
    // neighbours hold one picture a file and drop their raw files on a switch instead.
    return FDeveloped && TFiles::HasDevelopment(path)
               ? path + QChar(u'\0') + QStringLiteral("developed")
               : path;
}

void TImageOpener::SetDeveloped(bool developed) {
    if (developed == FDeveloped)
        return;
    FDeveloped = developed;
    if (FPreparer)
        FPreparer->SetDeveloped(developed);
    // The raw file being opened, or else the one shown, is opened again in the new way.
    QString path;
    if (FOpening)
        path = FOpening->Path; // empty for a paste, which has no other picture
    else if (FPicture && FPicture->Source().IsFile())
        path = QtPathOf(FPicture->Source().Path());
    if (path.isEmpty() || !TFiles::HasDevelopment(path))
        return;
    // A raw file whose preview is too small to show is developed either way.
    if (!FOpening && developed && FPicture->Meta().Rendition == TRawRendition::Developed)
        return;
    LoadImageFile(path);
}

void TImageOpener::NoteIncomplete(const QString& path, bool incomplete) {
    if (incomplete)
        FIncomplete.insert(CacheKey(path));
    else if (!path.isEmpty())
        FIncomplete.remove(CacheKey(path));
    FView.ShowIncomplete(incomplete);
}

void TImageOpener::ShowPrepared(const QString& path, TPreparedImage& prepared) {
    NoteIncomplete(path, prepared.Picture->Incomplete());
    FHist.Adopt(prepared.Picture->Counts());
    ShowCurrent(std::move(prepared.Picture), std::move(prepared.Preview), prepared.Form);
    FFiles.sCurrFile = path;
    FView.RedrawHistograms();
    const bool opening = FOpening.has_value();
    if (opening)
        EndOpening();
    Decoded(path);
    if (opening)
        Settled();
}

void TImageOpener::Decoded(const QString& path) {
    FCache.Push(CacheKey(path), {FPicture, FPreview, FForm});
    FView.SetImgCtrl(true, false);
    FView.SetAppTitle(CurrentSource());
    ShowSizeAndSpace();
    FView.HideWelcome();
    FView.RememberRecentImage(path);
    PrepareNeighbours();
}

void TImageOpener::BeginOpening(const QString& path) {
    ++FNeighboursAsked; // the neighbours of the picture left are no longer wanted
    FOpening = TOpening{FNextId++, path, 0, nullptr};
    FView.SetWaitCursor(true);
    FView.SetImgCtrl(false, true);
    FOpenClock.start();
    FProgressTimer.start();
}

void TImageOpener::EndOpening() {
    FOpening.reset();
    FProgressTimer.stop();
    FView.ShowProgress({});
    FView.SetWaitCursor(false);
}

void TImageOpener::UpdateProgress() {
    if (!FOpening)
        return;
    FView.ShowProgress(OpenProgressText(FileNamePart(FOpening->Path), FOpening->Progress.get(),
                                        FOpenClock.elapsed()));
}

void TImageOpener::Settled() {
    if (FOnSettled)
        FOnSettled();
}

bool TImageOpener::Abandon() {
    if (!FOpening)
        return false;
    if (FOpening->Task)
        FTasks.Cancel(FOpening->Task); // the decoder stops at its next batch of rows
    else if (FPreparer)
        FPreparer->WhenPrepared({}, {});
    const bool paste = FOpening->Path.isEmpty();
    EndOpening();
    // The failure path's command states: navigation stays off after a paste unless a
    // picture is current.
    FView.SetImgCtrl(true, paste && !FPicture);
    AttachSensor(); // a reading for the file given up goes too
    Settled();
    return true;
}

bool TImageOpener::CancelOpen() {
    const bool paste = FOpening && FOpening->Path.isEmpty();
    if (!Abandon())
        return false;
    if (!paste)
        PrepareNeighbours(); // as after a failure: around the file where the next step starts
    return true;
}

void TImageOpener::StartDecode(const QString& path) {
    const bool shownWithSensor = FPicture && FPicture->Sensor() && FPicture->Source().IsFile() &&
                                 QtPathOf(FPicture->Source().Path()) == path;
    if (TFiles::HasDevelopment(path) && !shownWithSensor)
        ReadSensor(path); // beside the decode
    auto progress = std::make_shared<TOpenProgress>();
    FOpening->Progress = progress;
    const std::uint64_t id = FOpening->Id;
    FOpening->Task = FTasks.Start(
        [this, open = FOpen, path, side = FView.PreviewSide(), progress,
         developed = FDeveloped](std::stop_token cancel) {
            const TAdmission admit = [this, side, cancel](int width, int height,
                                                          std::int64_t decoderBytes) {
                return Admit(width, height, decoderBytes, side, cancel);
            };
            return open(path, side, cancel, progress.get(), admit, developed);
        },
        [this, id](TOutcome<std::shared_ptr<TPreparedImage>> result) {
            Opened(id, std::move(result));
        });
}

std::optional<TFailure> TImageOpener::Admit(int width, int height, std::int64_t decoderBytes,
                                            int previewSide, std::stop_token cancel) {
    // The decoder's own memory goes once the picture is decoded, but until then it needs room
    // beside the cache too.
    const std::int64_t bytes = OpenBytes(width, height, previewSide) + decoderBytes;
    auto made = std::make_shared<TRoomMade>();
    QMetaObject::invokeMethod(
        &FRoomContext, [this, bytes, made] { MakeRoom(bytes, made); }, Qt::QueuedConnection);
    if (!made->Wait(cancel))
        return DecodingCancelled();
    // Read now, so that the pictures just freed count as free.
    return WhyNotFits(width, height, previewSide,
                      {FMemoryLeft ? FMemoryLeft() : MemoryLeftBytes(), FCacheBound}, decoderBytes);
}

void TImageOpener::MakeRoom(std::int64_t bytes, const std::shared_ptr<TRoomMade>& made) {
    if (bytes <= FCache.MaxBytes()) {
        const std::int64_t prepared = FPreparer ? FPreparer->HeldBytes() : 0;
        FCache.MakeRoom(std::min(bytes + prepared, FCache.MaxBytes()));
    }
    // The freeing runner takes its tasks in order: this one runs after the pictures dropped
    // above are freed. Should it not run at all, its report still lets the worker go on.
    FDisposal.Start([made](std::stop_token) { made->Set(); },
                    [made](TOutcome<void>) { made->Set(); });
}

void TImageOpener::Opened(std::uint64_t id, TOutcome<std::shared_ptr<TPreparedImage>> result) {
    if (!FOpening || FOpening->Id != id)
        return; // ended meanwhile
    const QString path = FOpening->Path;
    if (!result.Ok() || !result.Value()) {
        LogCannotOpen(path, result.Error());
        FView.Fail(CannotOpenText(path, QString::fromStdString(result.Reason())));
        EndOpening();
        AttachSensor(); // a reading for the file that failed goes too
        FView.SetImgCtrl(true, false);
        PrepareNeighbours(); // around the file that failed, where the next step starts
        Settled();
        return;
    }
    const std::shared_ptr<TPreparedImage> prepared = std::move(result).Value();
    ShowPrepared(path, *prepared);
}

void TImageOpener::NeighbourArrived(std::uint64_t id) {
    if (!FOpening || FOpening->Id != id || FOpening->Task)
        return;
    const QString path = FOpening->Path;
    if (const std::shared_ptr<TPreparedImage> prepared = FPreparer->Take(path)) {
        ShowPrepared(path, *prepared);
        return;
    }
    StartDecode(path); // it could not be read, or changed since: as without preparation
}

void TImageOpener::LoadImageFile(const QString& path) {
    // A revisit costs no decoding and no counting, only the display steps; it leaves the
    // command states, the welcome panel and the recent list as they are.
    if (FCache.Contains(CacheKey(path))) {
        Abandon();
        TCacheData cached = *FCache.Pop(CacheKey(path));
        FHist.Adopt(cached.Picture->Counts());
        ShowCurrent(std::move(cached.Picture), std::move(cached.Preview), cached.Form);
        FView.RedrawHistograms();
        FFiles.sCurrFile = path;
        FView.SetAppTitle(CurrentSource());
        ShowSizeAndSpace();
        FView.ShowIncomplete(FIncomplete.contains(CacheKey(path)));
        PrepareNeighbours();
        return;
    }
    if (!TFiles::IsAcceptedImageName(path)) { // an open under way goes on
        FView.Fail(NotAnImageText(path));
        return;
    }
    Abandon();
    if (FPreparer) {
        // A prepared neighbour is shown as its decode would be; a step onto one still
        // being prepared waits for it, which ends sooner than a decode started now.
        if (!FPreparer->IsPrepared(path)) {
            BeginOpening(path);
            const std::uint64_t id = FOpening->Id;
            if (FPreparer->WhenPrepared(path, [this, id] { NeighbourArrived(id); }))
                return;
        }
        // Takes it, or drops a preparation not begun or of a file changed since.
        if (const std::shared_ptr<TPreparedImage> prepared = FPreparer->Take(path)) {
            ShowPrepared(path, *prepared);
            return;
        }
    }
    if (!FOpening)
        BeginOpening(path);
    StartDecode(path);
}

void TImageOpener::PasteImage(const QImage& clipboardImage, const QString& failure) {
    Abandon();
    BeginOpening({});
    FView.HideWelcome(); // before the attempt, so also when it fails
    const std::uint64_t id = FOpening->Id;
    if (clipboardImage.isNull()) {
        Pasted(id, TFailure{failure.isEmpty()
                                ? std::string("The clipboard holds no picture that can be read")
                                : failure.toStdString(),
                            {}});
        return;
    }
    FOpening->Task = FTasks.Start(
        [picture = clipboardImage, side = FView.PreviewSide()](std::stop_token cancel) {
            return PreparePicture(picture, side, std::move(cancel));
        },
        [this, id](TOutcome<std::shared_ptr<TPreparedImage>> result) {
            Pasted(id, std::move(result));
        });
}

void TImageOpener::Pasted(std::uint64_t id, TOutcome<std::shared_ptr<TPreparedImage>> result) {
    if (!FOpening || FOpening->Id != id)
        return;
    if (!result.Ok() || !result.Value()) {
        FView.Fail(QString::fromStdString(result.Reason()));
        EndOpening();
        // Navigation stays off unless a picture is current.
        FView.SetImgCtrl(true, !FPicture);
        Settled();
        return;
    }
    const std::shared_ptr<TPreparedImage> prepared = std::move(result).Value();
    FHist.Adopt(prepared->Picture->Counts());
    ShowCurrent(std::move(prepared->Picture), std::move(prepared->Preview), {}); // as it is
    FFiles.sCurrFile.clear(); // a pasted picture has no folder
    FView.RedrawHistograms();
    EndOpening();
    FView.SetImgCtrl(true, true); // a pasted picture has no folder to step through
    FView.SetAppTitle(CurrentSource());
    ShowSizeAndSpace();
    FView.ShowIncomplete(false);
    PrepareNeighbours(); // a pasted picture has none: whatever was held is dropped
    Settled();
}

void TImageOpener::ShowNeighbor(TNeighbor neighbor) {
    // During an open the step starts from what is being opened, as it will once shown.
    const bool pasted = FOpening ? FOpening->Path.isEmpty() : CurrentSource().IsClipboard();
    if (pasted) {
        FView.Fail(QStringLiteral("A pasted picture has no folder to step through"));
        return;
    }
    const QString current = FFiles.sCurrFile;
    const QString from = FOpening ? FOpening->Path : current;
    FFiles.sCurrFile = from;
    if (FFiles.GetNeighbor(neighbor)) {
        LoadImageFile(FFiles.sCurrFile);
        return;
    }
    FFiles.sCurrFile = current;
    if (from.isEmpty())
        FView.Fail(QStringLiteral("No image is open"));
    else
        FView.Fail(neighbor == TNeighbor::nNext
                       ? QStringLiteral("No next image in this folder")
                       : QStringLiteral("No previous image in this folder"));
}

bool TImageOpener::KeyDown(int key) {
    if (key == Qt::Key_Escape)
        return CancelOpen();
    const std::optional<TNeighbor> step = NeighborOfKey(key);
    if (!step)
        return false;
    if (!FPicture && !FOpening)
        FView.Fail(QStringLiteral("No image is open"));
    else
        ShowNeighbor(*step);
    return true;
}

} // namespace tonalyx
