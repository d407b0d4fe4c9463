#include "save_copy.h"

#include "hist_export.h"

#include <QFileInfo>
#include <QSaveFile>

namespace tonalyx {

QString WithPngExtension(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)
               ? path
               : path + QStringLiteral(".png");
}

bool WriteWholeFile(const QString& path, const std::vector<std::uint8_t>& bytes, QString* error) {
    QSaveFile file(path); // a temporary file renamed over the target once complete
    const qint64 size = static_cast<qint64>(bytes.size());
    // The explicit flush matters: commit() flushes on closing but does not look at the
    // result, so a disk that fills up meanwhile would still replace the old file.
    if (file.open(QIODevice::WriteOnly) &&
        file.write(reinterpret_cast<const char*>(bytes.data()), size) == size && file.flush() &&
        file.commit())
        return true;
    if (error)
        *error = QStringLiteral("Cannot save %1: %2").arg(path, file.errorString());
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
