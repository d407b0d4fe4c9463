#include "ufiles.h"

#include "paths.h"
#include "scrambled.h"

#include <QDir>

#include <algorithm>
#include <cstddef>

namespace tonalyx {

namespace {

constexpr TScrambled ScrambledPastedName(u"Clipboard Image");

} // namespace

QString PastedImageName() {
    static const QString name = ScrambledPastedName.Text();
    return name;
}

TFiles::TFiles(const QLocale& locale) : FCollator(locale) {
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TFiles::FileFormat(const QString& fn, TFType ft) {
    const TImageFormat* format = ImageFormatOf(fn.toStdString());
    return format && format->Name == ft;
}

bool TFiles::IsAcceptedImageName(const QString& fn) {
    return ImageFormatOf(fn.toStdString()) != nullptr;
}

bool TFiles::HasDevelopment(const QString& fn) {
    const TImageFormat* format = ImageFormatOf(fn.toStdString());
    return format && format->Develop;
}

bool TFiles::NameLess(const QString& a, const QString& b) const {
    const int c = FCollator.compare(a, b);
    if (c != 0)
        return c < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

qsizetype TFiles::IndexOf(const QStringList& list, const QString& name) const {
    // The names the collation holds equal to `name` form one run of the sorted list.
    const auto lo = std::lower_bound(
        list.cbegin(), list.cend(), name,
        [this](const QString& a, const QString& b) { return FCollator.compare(a, b) < 0; });
    const auto hi =
        std::upper_bound(lo, list.cend(), name, [this](const QString& a, const QString& b) {
            return FCollator.compare(a, b) < 0;
        });
    if (lo == hi)
        return -1;
    const auto exact = std::find(lo, hi, name);
    return (exact != hi ? exact : lo) - list.cbegin();
}

bool TFiles::SameFolder() const {
    return FolderPart(sCurrFile) == sPath;
}

void TFiles::ReadFolder() {
    sPath = FolderPart(sCurrFile);
    FileList = ListFolder(sPath);
}

QStringList TFiles::ListFolder(const QString& folder) const {
    // Every entry counts, whatever its kind or attributes: hidden and system files, and
    // subfolders whose names look like images. A folder that cannot be read lists nothing.
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QStringList entries = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList list;
    for (const QString& name : entries)
        if (IsAcceptedImageName(name))
            list.append(name);

    std::sort(list.begin(), list.end(),
              [this](const QString& a, const QString& b) { return NameLess(a, b); });
    list.erase(std::unique(list.begin(), list.end()), list.end());
    return list;
}

qsizetype TFiles::NeighborIndex(const QStringList& list, TNeighbor Neighbor) const {
    if (list.size() < 2)
        return -1;
    const qsizetype i = IndexOf(list, FileNamePart(sCurrFile));
    if (i < 0)
        return -1;
    if (Neighbor == TNeighbor::nPrev)
        return i == 0 ? -1 : i - 1;
    return i == list.size() - 1 ? -1 : i + 1;
}

bool TFiles::GetNeighbor(TNeighbor Neighbor) {
    if (sCurrFile.isEmpty())
        return false;

    // The folder is read on the first step and again only after the current image has
    // come from another folder; files added or removed in between go unnoticed.
    if (!FileList || !SameFolder())
        ReadFolder();

    const qsizetype i = NeighborIndex(*FileList, Neighbor);
    if (i < 0)
        return false;
    sCurrFile = sPath + (*FileList)[i];
    return true;
}

QStringList TFiles::NeighborPaths() const {
    if (sCurrFile.isEmpty())
        return {};
    const bool listed = FileList && SameFolder();
    const QString folder = listed ? sPath : FolderPart(sCurrFile);
    const QStringList list = listed ? *FileList : ListFolder(folder);
    QStringList paths;
    for (TNeighbor n : {TNeighbor::nNext, TNeighbor::nPrev})
        if (const qsizetype i = NeighborIndex(list, n); i >= 0)
            paths << folder + list[i];
    return paths;
}

} // namespace tonalyx
