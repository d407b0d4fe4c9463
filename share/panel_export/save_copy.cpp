#include "save_copy.h"

#include "hist_export.h"
#include "panel_export_log.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tonalyx {

QString WithPngExtension(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
               ? path
               : path + QStringLiteral(".png");
}

TOutcome<void> WriteWholeFile(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QSaveFile file(path); // a temporary file renamed over the target once complete
    const qint64 size = static_cast<qint64>(bytes.size());
    // The explicit flush matters: commit() flushes on closing but does not look at the
    // result, so a disk that fills up meanwhile would still replace the old file.
    if (file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush() &&
        file.commit())
        return TOutcome<void>::Success();
    const QString why = file.errorString();
    const int code = file.error();
    file.cancelWriting();
    return TOutcome<void>::Failure(
        QStringLiteral("Cannot save %1: %2").arg(path, why).toStdString(),
        QStringLiteral("QFileDevice error %1: %2").arg(code).arg(why).toStdString());
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
        qCInfo(PanelExportLog).noquote() << "the panel could not be encoded:"
                                         << QString::fromStdString(DescribeFailure(png.Error()));
        FDialogs->ShowError(QString::fromStdString(png.Reason()));
        return;
    }
    const QString chosen = FDialogs->AskSavePath(proposedName, folder);
    if (chosen.isEmpty())
        return;
    const QString path = WithPngExtension(chosen);
    if (QFileInfo::exists(path) && !FDialogs->ConfirmOverwrite(path))
        return;
    const TOutcome<void> written = WriteWholeFile(path, *png);
    if (!written.Ok()) {
        qCInfo(PanelExportLog).noquote()
            << QString::fromStdString(DescribeFailure(written.Error()));
        FDialogs->ShowError(QString::fromStdString(written.Reason()));
    }
}

void THistSaveCopy::Copy() {
    if (FPanelVisible())
        FPutOnClipboard(FExport.MakeHistBitmap());
}

} // namespace tonalyx
