#include "save_copy.h"

#include "hist_export.h"
#include "panel_export_log.h"
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

TOutcome<void> WriteWholeFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
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
    if (opened && step([&] {
            return file.write(reinterpret_cast<const char*>(bytes.data()), size) == size;
        }) &&
        step([&] { return file.flush(); }) && step([&] { return file.commit(); }))
        return TOutcome<void>::Success();
    // Opening checks and tries several things; the path itself says best what is wrong.
    if (!opened)
        if (const int found = CreateFailureCause(path))
            cause = found;
    const QString why = file.errorString();
    const int code = file.error();
    file.cancelWriting();
    return TOutcome<void>::Failure(QStringLiteral("Cannot save %1: %2")
                                       .arg(path, SaveFailureReason(cause, path))
                                       .toStdString(),
                                   QStringLiteral("QFileDevice error %1: %2 (errno %3)")
                                       .arg(code)
                                       .arg(why)
                                       .arg(cause)
                                       .toStdString());
}

THistSaveCopy::THistSaveCopy(const THistExport& exporter, std::unique_ptr<TSaveDialogs> dialogs,
                             std::function<bool()> panelVisible,
                             std::function<void(const QImage&)> putOnClipboard)
    : FExport(exporter), FDialogs(std::move(dialogs)), FPanelVisible(std::move(panelVisible)),
      FPutOnClipboard(std::move(putOnClipboard)) {}

QString THistSaveCopy::Save(const QString& proposedName, const QString& folder) {
    if (!FPanelVisible())
        return {};
    const TPngResult png = EncodePngImage(FExport.MakeHistBitmap());
    if (!png.Ok()) {
        qCInfo(PanelExportLog).noquote() << "the panel could not be encoded:"
                                         << QString::fromStdString(DescribeFailure(png.Error()));
        FDialogs->ShowError(QString::fromStdString(png.Reason()));
        return {};
    }
    const QString chosen = FDialogs->AskSavePath(proposedName, folder);
    if (chosen.isEmpty())
        return {};
    const QString path = WithPngExtension(chosen);
    if (QFileInfo::exists(path) && !FDialogs->ConfirmOverwrite(path))
        return {};
    const TOutcome<void> written = WriteWholeFile(path, *png);
    if (!written.Ok()) {
        qCInfo(PanelExportLog).noquote()
            << QString::fromStdString(DescribeFailure(written.Error()));
        FDialogs->ShowError(QString::fromStdString(written.Reason()));
        return {};
    }
    return path;
}

bool THistSaveCopy::Copy() {
    if (!FPanelVisible())
        return false;
    FPutOnClipboard(FExport.MakeHistBitmap());
    return true;
}

} // namespace tonalyx
