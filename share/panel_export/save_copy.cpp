#include "save_copy.h"

#include "hist_export.h"
#include "save_failure.h"

#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace tonalyx {

QString WithPngExtension(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
               ? path
               : path + QStringLiteral(".png");
}

bool WriteWholeFile(const QString& path, const std::vector<std::uint8_t>& bytes, QString* error) {
    QSaveFile file(path); // a temporary file renamed over the target once complete
    const qint64 size = static_cast<qint64>(bytes.size());
    int cause = 0; // errno of the step that failed, read before anything else can change it
    const auto step = [&cause](const auto& run) {
        errno = 0;
        const bool ok = run();
        if (!ok)
            cause = errno;
        return ok;
    };
    // The explicit flush matters: commit() flushes on closing but does not look at the
    // result, so a disk that fills up meanwhile would still replace the old file.
    const bool opened = step([&] { return file.open(QIODevice::WriteOnly); });
    if (opened &&
        step([&] {
            return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size;
        }) &&
        step([&] { return file.flush(); }) && step([&] { return file.commit(); }))
        return true;
    // Opening checks and tries several things; the path itself says best what is wrong.
    if (!opened)
        if (const int found = CreateFailureCause(path))
            cause = found;
    if (error)
        *error = QStringLiteral("Cannot save %1: %2").arg(path, SaveFailureReason(cause, path));
    file.cancelWriting();
    return false;
}

THistSaveCopy::THistSaveCopy(const THistExport& exporter, std::unique_ptr<TSaveDialogs> dialogs,
                             std::function<bool()> panelVisible,
                             std::function<void(const QImage&)> putOnClipboard)
    : FExport(exporter), FDialogs(std::move(dialogs)), FPanelVisible(std::move(panelVisible)),
      FPutOnClipboard(std::move(putOnClipboard)) {}

void THistSaveCopy::Save(const QString& proposedName, const QString& folder) {
    if (!FPanelVisible())
        return;
    const TPngResult png = EncodePngImage(FExport.MakeHistBitmap());
    if (!png.Ok()) {
        FDialogs->ShowError(QString::fromStdString(png.Error));
        return;
    }
    const QString chosen = FDialogs->AskSavePath(proposedName, folder);
    if (chosen.isEmpty())
        return;
    const QString path = WithPngExtension(chosen);
    if (QFileInfo::exists(path) && !FDialogs->ConfirmOverwrite(path))
        return;
    QString error;
    if (!WriteWholeFile(path, png.Bytes, &error))
        FDialogs->ShowError(error);
}

void THistSaveCopy::Copy() {
    if (FPanelVisible())
        FPutOnClipboard(FExport.MakeHistBitmap());
}

} // namespace tonalyx
