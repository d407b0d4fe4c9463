#include "names.h"

#include "image_format.h"
#include "paths.h"
#include "qt_raster.h"
#include "scrambled.h"
#include "ufiles.h"

#include <QStringList>

#include <string>
#include <string_view>

namespace tonalyx {

namespace {

constexpr TScrambled ScrambledMakerName(u"Varnel");

} // namespace

QString ProductName() {
    return QStringLiteral("Tonalyx");
}

QString MakerName() {
    static const QString name = ScrambledMakerName.Text();
    return name;
}

QString DisplayName() {
    return MakerName() + u' ' + ProductName();
}

TAppTitle AppTitleText(const TPictureSource& shown, const QString& prevDocumentName) {
    TAppTitle t;
    t.Caption = DisplayName();
    if (shown.IsNone())
        t.DocumentName = prevDocumentName;
    else if (shown.IsClipboard())
        t.DocumentName = PastedImageName();
    else
        t.DocumentName = FileBaseName(QtPathOf(shown.Path()));
    t.AppTitle = t.DocumentName.isEmpty() ? ProductName()
                                          : t.DocumentName + QStringLiteral(" - ") + ProductName();
    return t;
}

QString ImageSizeText(QSize size, TRawRendition rendition) {
    const QString text = QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
    switch (rendition) {
    case TRawRendition::CameraPreview:
        return QStringLiteral("Camera preview ") + text;
    case TRawRendition::Developed:
        return QStringLiteral("Developed from raw ") + text;
    case TRawRendition::None:
        break;
    }
    return text;
}

QString OpenImageFilter() {
    QStringList patterns;
    for (const TImageFormat& format : ImageFormats())
        for (const std::string& ext : format.Extensions) {
            QString pattern = QStringLiteral("*.");
            for (const char c : std::string_view(ext).substr(1)) // [jJ][pP][gG]
                pattern += QStringLiteral("[%1%2]").arg(QChar(c), QChar(c).toUpper());
            patterns << pattern;
        }
    return QStringLiteral("%1 Image (%2)")
        .arg(QString::fromStdString(ImageFormatNames(" & ")), patterns.join(u' '));
}

} // namespace tonalyx
