// The product's names and the file-name helpers shared by the title, the status bar,
// the save dialog and the command-line message; and the texts the title and the
// status bar show.
#pragma once

#include <QSize>
#include <QString>

namespace tonalyx {

// "Tonalyx".
QString ProductName();
// The maker's name (kept scrambled in the executable); it leads DisplayName and is the
// about box's maker line.
QString MakerName();
// MakerName() + " " + ProductName(): the main caption and every message box's caption.
QString DisplayName();

// The file-name part of path without its extension (holiday.final for /pics/holiday.final.jpg).
QString FileBaseName(const QString& path);
// The extension without its dot, ASCII letters upper-cased; empty when there is none.
QString FileExtUpper(const QString& path);
// sPostFix inserted before the extension of sFullName, or appended when there is none.
QString AddPostFix(const QString& sFullName, const QString& sPostFix);

// What the window's titles show for a current image name.
struct TAppTitle {
    QString Caption;      // always DisplayName()
    QString DocumentName; // the image's name shown beside the caption
    QString AppTitle;     // the task bar text
    friend bool operator==(const TAppTitle&, const TAppTitle&) = default;
};
// The titles for sCurrFile. An empty sCurrFile keeps prevDocumentName as the document name.
TAppTitle AppTitleText(const QString& sCurrFile, const QString& prevDocumentName);

// The open dialog's filter, "JPEG & BMP Image (...)", with every accepted extension written
// so that it matches in any case: dialogs on case-sensitive systems would hide IMG_0001.JPG.
QString OpenImageFilter();

// The status bar's size text for an image of the given pixel size, "1920 x 1080".
QString ImageSizeText(QSize size);

} // namespace tonalyx
