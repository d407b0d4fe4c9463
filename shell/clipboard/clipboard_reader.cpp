#include "clipboard_reader.h"

#include "background_tasks.h"
#include "clipboard_log.h"
#if TONALYX_HAVE_X11
#include "x11_selection.h"
#endif

#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>

#include <string>
#include <vector>

namespace tonalyx {

bool ClipboardHoldsPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage();
}

QImage ClipboardPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage() ? qvariant_cast<QImage>(mime->imageData()) : QImage();
}

void SetClipboardPicture(const QImage& picture) {
    auto* mime = new QMimeData; // the clipboard takes it
    mime->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(mime);
}

bool ReportsClipboardChanges(const QString& platformName) {
    // X11 and Windows notify every program; a Wayland compositor notifies the focused one,
    // and an unfocused one could not read the clipboard anyway. The offscreen and minimal
    // platforms keep a clipboard of this program alone. macOS tells nothing until the
    // program is activated.
    static const QStringList reporting = {QStringLiteral("xcb"), QStringLiteral("windows"),
                                          QStringLiteral("offscreen"), QStringLiteral("minimal")};
    return reporting.contains(platformName) || platformName.startsWith(QLatin1String("wayland"));
}

QStringList ReadablePictureFormats() {
    QStringList formats = {QStringLiteral("image/png"), QStringLiteral("image/bmp")};
    for (const QByteArray& mime : QImageReader::supportedMimeTypes())
        if (!formats.contains(QString::fromLatin1(mime)))
            formats << QString::fromLatin1(mime);
    // Both first ones only where a reader exists (a build without the PNG reader).
    const QList<QByteArray> known = QImageReader::supportedMimeTypes();
    formats.removeIf([&](const QString& f) { return !known.contains(f.toLatin1()); });
    return formats;
}

QString PictureFormatOffered(const QStringList& offered, const QStringList& readable) {
    for (const QString& format : readable)
        if (offered.contains(format))
            return format;
    return {};
}

namespace {

class TToolkitClipboardReader final : public TClipboardReader {
  public:
    void AskHoldsPicture(std::function<void(TOutcome<bool>)> report) override {
        report(ClipboardHoldsPicture());
    }
    void FetchPicture(std::function<void(TOutcome<QImage>)> report) override {
        report(ClipboardPicture());
    }
    void CancelQuestions() override {}
    void CancelPictures() override {}
};

#if TONALYX_HAVE_X11
std::vector<std::string> ToStd(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

// Two threads: a paste need not wait for an availability question to an owner that does
// not answer.
class TX11ClipboardReader final : public TClipboardReader {
  public:
    TX11ClipboardReader(const QByteArray& display, std::chrono::milliseconds timeout,
                        std::chrono::milliseconds whole, std::unique_ptr<TClipboardReader> local)
        : FLocal(std::move(local)), FReadable(ReadablePictureFormats()),
          FTasks({.MaxThreads = 2, .LowPriority = false}) {
        FRequest.Display = display.toStdString();
        FRequest.Timeout = timeout;
        FRequest.Whole = whole;
    }

    void AskHoldsPicture(std::function<void(TOutcome<bool>)> report) override {
        if (OwnedHere())
            return FLocal->AskHoldsPicture(std::move(report));
        Track(
            FQuestions,
            FTasks.Start(
                [request = FRequest, readable = FReadable](std::stop_token stop) -> TOutcome<bool> {
                    TOutcome<std::vector<std::string>> offered = AskClipboardFormats(request, stop);
                    if (!offered)
                        return offered.Error();
                    QStringList names;
                    for (const std::string& name : *offered)
                        names << QString::fromStdString(name);
                    return !PictureFormatOffered(names, readable).isEmpty();
                },
                [report = std::move(report)](TOutcome<bool> holds) {
                    if (!holds)
                        qCDebug(ClipboardLog).noquote()
                            << "asking the clipboard failed:"
                            << QString::fromStdString(DescribeFailure(holds.Error()));
                    report(std::move(holds));
                }));
    }

    void FetchPicture(std::function<void(TOutcome<QImage>)> report) override {
        if (OwnedHere())
            return FLocal->FetchPicture(std::move(report));
        Track(FPictures,
              FTasks.Start(
                  [request = FRequest,
                   readable = ToStd(FReadable)](std::stop_token stop) -> TOutcome<QImage> {
                      TOutcome<TSelectionData> data = FetchClipboard(request, readable, stop);
                      if (!data)
                          return data.Error();
                      // Decoded here, off the main thread; a picture that cannot be read is null.
                      return QImage::fromData(
                          QByteArrayView(data->Bytes.data(), qsizetype(data->Bytes.size())));
                  },
                  [report = std::move(report)](TOutcome<QImage> picture) {
                      if (!picture)
                          qCDebug(ClipboardLog).noquote()
                              << "reading the clipboard failed:"
                              << QString::fromStdString(DescribeFailure(picture.Error()));
                      report(std::move(picture));
                  }));
    }

    void CancelQuestions() override {
        Cancel(FQuestions);
        if (FLocal)
            FLocal->CancelQuestions();
    }
    void CancelPictures() override {
        Cancel(FPictures);
        if (FLocal)
            FLocal->CancelPictures();
    }

  private:
    // Our own clipboard is answered by our own event loop; the toolkit reads it directly.
    bool OwnedHere() const { return FLocal && QGuiApplication::clipboard()->ownsClipboard(); }

    void Track(std::vector<TTaskId>& tasks, TTaskId task) {
        std::erase_if(tasks, [this](TTaskId t) { return !FTasks.IsPending(t); }); // reported
        tasks.push_back(task);
    }
    void Cancel(std::vector<TTaskId>& tasks) {
        for (TTaskId task : tasks)
            FTasks.Cancel(task);
        tasks.clear();
    }

    std::unique_ptr<TClipboardReader> FLocal;
    TSelectionRequest FRequest;
    const QStringList FReadable;                // asked here: the image readers are looked up once
    std::vector<TTaskId> FQuestions, FPictures; // since the last cancel of each
    TBackgroundTasks FTasks;                    // last: its threads end before the rest goes
};
#endif

} // namespace

std::unique_ptr<TClipboardReader> MakeToolkitClipboardReader() {
    return std::make_unique<TToolkitClipboardReader>();
}

#if TONALYX_HAVE_X11
std::unique_ptr<TClipboardReader> MakeX11ClipboardReader(const QByteArray& display,
                                                         std::chrono::milliseconds timeout,
                                                         std::chrono::milliseconds whole,
                                                         std::unique_ptr<TClipboardReader> local) {
    return std::make_unique<TX11ClipboardReader>(display, timeout, whole, std::move(local));
}
#endif

std::unique_ptr<TClipboardReader> MakeClipboardReader() {
#if TONALYX_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const TSelectionRequest limits; // the time-outs stated with the request
        return MakeX11ClipboardReader(qgetenv("DISPLAY"), limits.Timeout, limits.Whole,
                                      MakeToolkitClipboardReader());
    }
#endif
    return MakeToolkitClipboardReader();
}

} // namespace tonalyx
