#include "paths.h"

namespace tonalyx {

bool IsPathDelimiter(QChar c) {
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\' || c == u':';
#else
    return c == u'/';
#endif
}

namespace {

qsizetype LastDelimiter(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (IsPathDelimiter(path[i]))
            return i;
    return -1;
}

} // namespace

QString FolderPart(const QString& path) {
    return path.left(LastDelimiter(path) + 1);
}

QString FileNamePart(const QString& path) {
    return path.mid(LastDelimiter(path) + 1);
}

QString FileExtension(const QString& path) {
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

QString FileBaseName(const QString& path) {
    const QString name = FileNamePart(path);
    return name.left(name.size() - FileExtension(path).size());
}

QString NameBeforeFirstExtension(const QString& path) {
    const QString name = FileNamePart(path);
    const QString ext = FileExtension(path);
    return ext.isEmpty() ? name : name.left(name.indexOf(ext));
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

} // namespace tonalyx
