// The local help: where "Tonalyx Help.chm" and its HTML pages are found, and opening
// them with the desktop. The help file opens only where the desktop has a viewer for it;
// elsewhere the same pages open as HTML in the browser. Main thread.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace tonalyx {

inline constexpr QLatin1StringView HelpFileName{"Tonalyx Help.chm"};
// The HTML pages lie in this folder beside the help file; index.html is the contents.
inline constexpr QLatin1StringView HelpPagesFolder{"help"};

// The folders searched, in order: the executable's own folder, then its data folders
// (DataFolderCandidates: a relocated installation, then the installed one).
QStringList HelpFolders(const QString& executable);
// The same for the running executable.
QStringList ProgramHelpFolders();

// What F1 opens: the first help file found when chmViewer, else the first HTML contents
// page found, else the help file found, else the help file's place in the first folder
// (missing: the desktop then fails as silently as it does for any missing file).
QString HelpTarget(const QStringList& folders, bool chmViewer);

// Whether the desktop names a program for compiled HTML help (xdg-mime); false when it
// cannot be asked. Runs a short process: ask when the user asks for help, not before.
bool DesktopHasChmViewer();

// Receives the local path to open; the default hands it to the desktop's opener.
using THelpOpener = std::function<void(const QString& path)>;
// Replaces the opener and the viewer question (tests); empty ones restore the desktop's.
void SetHelpOpener(THelpOpener opener);
void SetChmViewerQuery(std::function<bool()> query);

// Opens the help for the running program. Failures are silent.
void OpenHelp();

} // namespace tonalyx
