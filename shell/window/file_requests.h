// The rules for files that reach the window from outside (a drop, the command line) and for
// the name Save proposes. Plain functions of their arguments.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tonalyx {

// What to do with a file handed to the window: open Path, or tell Refusal. Both empty:
// nothing was handed over.
struct TFileRequest {
    QString Path;
    QString Refusal;
    friend bool operator==(const TFileRequest&, const TFileRequest&) = default;
};

// The first dropped file only; anything that is not a local file, or not an image by its
// name (image_format.h), is refused with the reason the status bar shows.
TFileRequest DroppedFileRequest(const QList<QUrl>& urls);
// The first argument only; a name that is not an image gets the message
// "Format EXT not supported.".
TFileRequest CommandLineRequest(const QStringList& arguments);

// Where Save proposes to write the histograms of the current image: its name without the
// extension plus "_histogram", in its folder; a pasted picture's is named after
// PastedImageName(), in no folder.
struct THistSaveTarget {
    QString Name;
    QString Folder;
    friend bool operator==(const THistSaveTarget&, const THistSaveTarget&) = default;
};
THistSaveTarget HistSaveTarget(const QString& sCurrFile, bool pasted = false);

} // namespace tonalyx
