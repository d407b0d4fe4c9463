#include "file_requests.h"

#include "image_opener.h"
#include "names.h"
#include "paths.h"
#include "ufiles.h"

namespace tonalyx {

TFileRequest DroppedFileRequest(const QList<QUrl>& urls) {
    const QString path = urls.isEmpty() ? QString() : urls.first().toLocalFile();
    if (path.isEmpty())
        return {{}, QStringLiteral("Only image files can be dropped here")};
    if (!TFiles::IsAcceptedImageName(path))
        return {{}, NotAnImageText(path)};
    return {path, {}};
}

TFileRequest CommandLineRequest(const QStringList& arguments) {
    if (arguments.isEmpty())
        return {};
    const QString& path = arguments.first();
    if (!TFiles::IsAcceptedImageName(path))
        return {{},
                QStringLiteral("Format ") + FileExtUpper(path) + QStringLiteral(" not supported.")};
    return {path, {}};
}

THistSaveTarget HistSaveTarget(const QString& sCurrFile, bool pasted) {
    const QString name = pasted ? PastedImageName() : sCurrFile;
    return {AddPostFix(FileBaseName(name), QStringLiteral("_histogram")), FolderPart(name)};
}

} // namespace tonalyx
