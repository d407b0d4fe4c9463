#include "help_file.h"

#include "appinfo_log.h"
#include "data_folders.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace tonalyx {

namespace {

void DesktopOpenFile(const QString& path) {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        qCInfo(AppInfoLog) << "the desktop could not open" << path;
}

THelpOpener& Opener() {
    static THelpOpener opener = DesktopOpenFile;
    return opener;
}

std::function<bool()>& ViewerQuery() {
    static std::function<bool()> query = DesktopHasChmViewer;
    return query;
}

QString FirstFile(const QStringList& folders, const QString& relative) {
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(relative);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

// What xdg-mime names for a type: a desktop file name, or empty.
QString DefaultApplication(const QString& mimeType) {
    QProcess p;
    p.start(QStringLiteral("xdg-mime"),
            {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(1000);
        return {};
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace

QStringList HelpFolders(const QString& executable) {
    QStringList folders{QFileInfo(executable).absolutePath()};
    for (const std::filesystem::path& folder :
         DataFolderCandidates(std::filesystem::path(executable.toStdString()), ""))
        folders << QDir::cleanPath(QString::fromStdString(folder.string()));
    folders.removeDuplicates();
    return folders;
}

QStringList ProgramHelpFolders() {
    return HelpFolders(QCoreApplication::applicationFilePath());
}

QString HelpTarget(const QStringList& folders, bool chmViewer) {
    const QString chm = FirstFile(folders, HelpFileName);
    if (!chm.isEmpty() && chmViewer)
        return chm;
    const QString html = FirstFile(folders, HelpPagesFolder + QStringLiteral("/index.html"));
    if (!html.isEmpty())
        return html;
    if (!chm.isEmpty())
        return chm;
    return folders.isEmpty() ? QString() : QDir(folders.first()).filePath(HelpFileName);
}

bool DesktopHasChmViewer() {
    // Viewers announce either name of the type.
    for (const char* type : {"application/vnd.ms-htmlhelp", "application/x-chm"})
        if (!DefaultApplication(QString::fromLatin1(type)).isEmpty())
            return true;
    return false;
}

void SetHelpOpener(THelpOpener opener) {
    Opener() = opener ? std::move(opener) : THelpOpener(DesktopOpenFile);
}

void SetChmViewerQuery(std::function<bool()> query) {
    ViewerQuery() = query ? std::move(query) : std::function<bool()>(DesktopHasChmViewer);
}

void OpenHelp() {
    const QString target = HelpTarget(ProgramHelpFolders(), ViewerQuery()());
    if (target.isEmpty())
        qCInfo(AppInfoLog) << "no help file in" << ProgramHelpFolders();
    else
        Opener()(target);
}

} // namespace tonalyx
