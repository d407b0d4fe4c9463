// The product's names, and the texts the title, the status bar and the open dialog show.
#pragma once

#include "picture.h"

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

// What the window's titles show for a current image name.
struct TAppTitle {
    QString Caption;      // always DisplayName()
    QString DocumentName; // the image's name shown beside the caption
    QString AppTitle;     // the task bar text
    friend bool operator==(const TAppTitle&, const TAppTitle&) = default;
};
// The titles for the picture shown, known by its source: a file by its base name, a pasted
// picture by PastedImageName(). None keeps prevDocumentName as the document name.
TAppTitle AppTitleText(const TPictureSource& shown, const QString& prevDocumentName);

// The open dialog's filter, "JPEG & BMP Image (...)" (every format of the table, by name),
// with every accepted extension written so that it matches in any case: dialogs on
// case-sensitive systems would hide IMG_0001.JPG.
QString OpenImageFilter();

// The status bar's size text for an image of the given pixel size, "1920 x 1080"; of a camera
// raw file, which of its pictures that is: "Camera preview 6000 x 4000", "Developed from raw
// 6024 x 4020".
QString ImageSizeText(QSize size, TRawRendition rendition = TRawRendition::None);

} // namespace tonalyx
