#include "settings_location.h"

#include "names.h"
#include "scrambled.h"
#include "state_log.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>

#include <sys/stat.h>
#endif

namespace tonalyx {

namespace {

// The leading piece of the key; QSettings adds the platform's own root ("Software").
constexpr TScrambled ScrambledOrganisation(u"Varnel Solutions");

#ifdef Q_OS_UNIX
QString KindOf(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("a special file");
}
#endif

// Settings that read as empty and keep nothing. Their file is the root folder, which
// cannot be opened as a file for reading or writing, so nothing is waited on or written
// anywhere: a save ends with the status AccessError, which nothing looks at.
std::unique_ptr<QSettings> UnbackedSettings() {
    return std::make_unique<QSettings>(QDir::rootPath(), QSettings::IniFormat);
}

void WarnOnce(const QString& file, const QString& problem) {
    static QString warned; // main thread only, as the settings are
    const QString text = QStringLiteral("The settings file %1 %2: it is neither read nor "
                                        "written, and the defaults apply.")
                             .arg(file, problem);
    if (text == warned)
        return;
    warned = text;
    qCWarning(StateLog).noquote() << text;
}

} // namespace

QString SettingsFileProblem(const QString& path) {
#ifdef Q_OS_UNIX
    const QByteArray native = QFile::encodeName(path);
    struct stat entry = {};
    // Nothing there yet, or out of reach: QSettings makes the file, or fails, without
    // waiting on anything.
    if (::lstat(native.constData(), &entry) != 0 || S_ISREG(entry.st_mode))
        return {};
    if (!S_ISLNK(entry.st_mode))
        return QStringLiteral("is ") + KindOf(entry.st_mode);
    struct stat target = {};
    if (::stat(native.constData(), &target) != 0) {
        if (errno == ENOENT || errno == ELOOP || errno == ENOTDIR)
            return QStringLiteral("is a symbolic link to nothing");
        return {};
    }
    if (S_ISREG(target.st_mode))
        return {};
    return QStringLiteral("is a symbolic link to ") + KindOf(target.st_mode);
#else
    Q_UNUSED(path);
    return {};
#endif
}

QString UserSettingsFile() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    // QSettings knows the folder of the user scope (the configuration folder, or the one
    // QSettings::setPath chose) but tells it only through a settings object, which reads
    // its files as it is made: ask one whose names exist nowhere.
    const QString probeOrganisation = QStringLiteral("tonalyx-settings-probe");
    const QString probeApplication = QStringLiteral("none");
    const QSettings probe(QSettings::NativeFormat, QSettings::UserScope, probeOrganisation,
                          probeApplication);
    const QString probeTail =
        u'/' + probeOrganisation + u'/' + probeApplication + QStringLiteral(".conf");
    const QString probeFile = probe.fileName();
    if (!probeFile.endsWith(probeTail))
        return {};
    return probeFile.chopped(probeTail.size()) + u'/' + ScrambledOrganisation.Text() + u'/' +
           ProductName() + QStringLiteral(".conf");
#else
    return {};
#endif
}

std::unique_ptr<QSettings> OpenUserSettings() {
    const QString file = UserSettingsFile();
    if (!file.isEmpty()) {
        const QString problem = SettingsFileProblem(file);
        if (!problem.isEmpty()) {
            WarnOnce(file, problem);
            return UnbackedSettings();
        }
    }
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       ScrambledOrganisation.Text(), ProductName());
}

} // namespace tonalyx
