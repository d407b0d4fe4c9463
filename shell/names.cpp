#include "shell/names.h"

#include "image/ufiles.h"

#include <cstddef>

namespace tonalyx {

namespace {

// A text kept out of the executable in plain form: scrambled while compiling,
// unscrambled on use.
template <std::size_t N>
class TScrambled {
public:
    consteval explicit TScrambled(const char16_t (&plain)[N]) {
        for (std::size_t i = 0; i < N; ++i)
            FData[i] = static_cast<char16_t>(plain[i] ^ Key(i));
    }
    QString Text() const {
        QString s(static_cast<qsizetype>(N - 1), Qt::Uninitialized);
        for (std::size_t i = 0; i + 1 < N; ++i)
            s[static_cast<qsizetype>(i)] = QChar(static_cast<char16_t>(FData[i] ^ Key(i)));
        return s;
    }

private:
    static constexpr char16_t Key(std::size_t i) {
        return static_cast<char16_t>(0x3B71u + 0x4C2Du * static_cast<unsigned>(i));
    }
    char16_t FData[N]{};
};

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

QString FileBaseName(const QString& path) {
    const QString name = FileNamePart(path);
    return name.left(name.size() - FileExtension(path).size());
}

QString FileExtUpper(const QString& path) {
    QString ext = FileExtension(path).mid(1);
    for (QChar& c : ext)
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - (u'a' - u'A'));
    return ext;
}

QString AddPostFix(const QString& sFullName, const QString& sPostFix) {
    const QString ext = FileExtension(sFullName);
    return sFullName.left(sFullName.size() - ext.size()) + sPostFix + ext;
}

TAppTitle AppTitleText(const QString& sCurrFile, const QString& prevDocumentName) {
    TAppTitle t;
    t.Caption = DisplayName();
    if (sCurrFile.isEmpty())
        t.DocumentName = prevDocumentName;
    else if (sCurrFile == PastedImageName())
        t.DocumentName = sCurrFile;
    else
        t.DocumentName = FileBaseName(sCurrFile);
    t.AppTitle = t.DocumentName.isEmpty() ? ProductName()
                                          : t.DocumentName + QStringLiteral(" - ") + ProductName();
    return t;
}

QString ImageSizeText(QSize size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

} // namespace tonalyx
