#include "status_texts.h"

#include "paths.h"

namespace tonalyx {

QString HistogramSavedText(const QString& path) {
    return QStringLiteral("Histogram saved as %1").arg(FileNamePart(path));
}

QString HistogramCopiedText() {
    return QStringLiteral("Histogram copied to the clipboard");
}

QString LinkCopiedText() {
    return QStringLiteral("Link copied to the clipboard; uploading the histogram\u2026");
}

QString SharePageOpenedText() {
    return QStringLiteral("Share page opened; uploading the histogram\u2026");
}

QString HistogramUploadedText() {
    return QStringLiteral("Histogram uploaded");
}

QString IncompletePictureText() {
    return QStringLiteral("The picture is incomplete: its file ends early");
}

QString NothingCountedText() {
    return QStringLiteral("No pixel of the picture is visible: its histograms are empty");
}

} // namespace tonalyx
