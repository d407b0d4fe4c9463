// The pieces of a path: folder, file name, extension and the names made from them. Text
// only: no file is looked at, so the pieces of a name that does not exist are the same as
// those of one that does.
#pragma once

#include <QChar>
#include <QString>

namespace tonalyx {

// A separator is '/' everywhere and also '\\' and the drive colon on Windows.
bool IsPathDelimiter(QChar c);
// Everything up to and including the last separator; empty when there is none.
QString FolderPart(const QString& path);
// Everything after the last separator.
QString FileNamePart(const QString& path);
// From the last '.' of the file-name part to the end, dot included; empty when the
// file-name part has no dot.
QString FileExtension(const QString& path);

// The file-name part without its extension: holiday.final for /pics/holiday.final.jpg,
// x.jpg for x.jpg.jpg. Titles, recent captions and proposed save names use it.
QString FileBaseName(const QString& path);
// The file-name part cut where the text of its extension first occurs: x for x.jpg.jpg,
// where FileBaseName gives x.jpg. The two differ on purpose: the file information's name
// part is cut this way, as its callers have always been given it, while titles, recent
// captions and save names lose only the last extension, so that such a name stays whole.
QString NameBeforeFirstExtension(const QString& path);
// The extension without its dot, ASCII letters upper-cased; empty when there is none.
QString FileExtUpper(const QString& path);
// sPostFix inserted before the extension of sFullName, or appended when there is none.
QString AddPostFix(const QString& sFullName, const QString& sPostFix);

} // namespace tonalyx
