#include "save_failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace tonalyx {

namespace {

// The folder path is written in, as the user named it, with its separator.
QString FolderOf(const QString& path) {
    const QString folder = QFileInfo(path).path();
    return QDir::toNativeSeparators(folder.endsWith(u'/') ? folder : folder + u'/');
}

// The nearest existing part of path's folder, when it is no folder.
QString BlockingFile(const QString& path) {
    QFileInfo part(QFileInfo(path).path());
    while (!part.exists() && part.path() != part.filePath())
        part = QFileInfo(part.path());
    return part.exists() && !part.isDir() ? QDir::toNativeSeparators(part.filePath()) : QString();
}

} // namespace

int CreateFailureCause(const QString& path) {
    const QFileInfo target(path);
    if (target.isDir())
        return EISDIR;
#ifdef Q_OS_UNIX
    if (target.exists() && ::access(QFile::encodeName(path).constData(), W_OK) != 0)
        return errno;
#endif
    const QFileInfo folder(target.path());
    if (!folder.exists())
        return BlockingFile(path).isEmpty() ? ENOENT : ENOTDIR;
    if (!folder.isDir())
        return ENOTDIR;
#ifdef Q_OS_UNIX
    // The system's own answer: it knows about read-only disks and about root.
    if (::access(QFile::encodeName(folder.filePath()).constData(), W_OK) != 0)
        return errno;
#endif
    return 0;
}

QString SaveFailureReason(int errorNumber, const QString& path) {
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("the disk is full");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("your share of the disk is used up");
#endif
    case EFBIG:
        return QStringLiteral("the file is larger than the system allows here");
    case EACCES:
    case EPERM:
        if (const QFileInfo target(path); target.exists() && !target.isWritable())
            return QStringLiteral("no permission to replace %1")
                .arg(QDir::toNativeSeparators(path));
        return QStringLiteral("no permission to write in %1").arg(FolderOf(path));
    case EROFS:
        return QStringLiteral("%1 is on a disk that is read-only").arg(FolderOf(path));
    case ENOENT:
        return QStringLiteral("the folder %1 does not exist").arg(FolderOf(path));
    case ENOTDIR: {
        const QString file = BlockingFile(path);
        return file.isEmpty() ? QStringLiteral("a part of the path is no folder")
                              : QStringLiteral("%1 is a file, not a folder").arg(file);
    }
    case EISDIR:
        return QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(path));
    case ENAMETOOLONG:
        return QStringLiteral("the name is too long");
    case EINVAL:
        return QStringLiteral("the disk does not allow this name");
    case EIO:
        return QStringLiteral("the disk failed while it was written");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("too many files are open");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("the file is in use");
    case 0:
        return QStringLiteral("the file could not be written");
    default:
        break;
    }
    // Anything rarer in the system's words, unless it has none.
    const QString text = QString::fromLocal8Bit(std::strerror(errorNumber));
    if (text.isEmpty() || text.startsWith(QLatin1String("Unknown error")))
        return QStringLiteral("the file could not be written (error %1)").arg(errorNumber);
    return text.left(1).toLower() + text.mid(1);
}

} // namespace tonalyx
