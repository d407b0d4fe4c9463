// Folder navigation: the current image's name, the accepted image extensions and
// the previous / next image file of the current image's folder.
#pragma once

#include "image_format.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

namespace tonalyx {

enum class TNeighbor { nPrev, nNext };

// The name a pasted picture is shown under, in the title. It has no accepted extension, so
// no file that was opened or stepped to can ever carry the same name.
QString PastedImageName();

class TFiles {
  public:
    // The locale whose collation orders the folder's names (the user's locale by default).
    explicit TFiles(const QLocale& locale = QLocale());

    // Full path of the current image file, or of the file a step goes to while it opens;
    // empty before the first file and while a pasted picture is shown, which has no folder.
    QString sCurrFile;

    // True when the extension of fn is one of ft's extensions (case ignored) and no format
    // before ft in the table claims it.
    static bool FileFormat(const QString& fn, TFType ft);
    // True when fn passes FileFormat for any format of the table (image_format.h).
    static bool IsAcceptedImageName(const QString& fn);
    // True when fn's format has a second picture beside the one shown at first: a camera raw
    // file, which can be shown developed from its sensor's data.
    static bool HasDevelopment(const QString& fn);

    // Moves sCurrFile to the previous or next accepted file of its folder. Returns false,
    // changing nothing, when there is nowhere to go (no image, a pasted image, fewer than
    // two files, the current name not listed, or the first / last one reached); the
    // caller beeps then.
    bool GetNeighbor(TNeighbor Neighbor);
    // The paths GetNeighbor would move to now, next first, changing nothing. Before the
    // first step in this folder the folder is listed afresh and the listing thrown away, so
    // that the step itself still sees the folder as it is then.
    QStringList NeighborPaths() const;

  private:
    bool SameFolder() const;
    void ReadFolder();
    // The accepted names of folder, sorted; a folder that cannot be read lists nothing.
    QStringList ListFolder(const QString& folder) const;
    // The neighbour's position in list of the current name, or -1 when there is none.
    qsizetype NeighborIndex(const QStringList& list, TNeighbor Neighbor) const;
    // Collation first, then the exact text, so names that differ only in case (possible on
    // case-sensitive file systems) are both kept, in a fixed order.
    bool NameLess(const QString& a, const QString& b) const;
    // Position of name in FileList: the exact name if listed, else the first name the
    // collation holds equal to it; -1 when neither exists.
    qsizetype IndexOf(const QStringList& list, const QString& name) const;

    QString sPath;                       // folder of the last scan, with its trailing separator
    std::optional<QStringList> FileList; // accepted names of sPath; absent until the first scan
    QCollator FCollator;
};

} // namespace tonalyx
