#include "image/ufiles.h"

#include "support/scrambled.h"

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

bool IsPathDelimiter(QChar c) {
#ifdef Q_OS_WIN
    return c == u'/' || c == u'\\' || c == u':';
#else
    return c == u'/';
#endif
}

namespace {
qsizetype LastDelimiter(const QString& path) {
    for (qsizetype i = path.size() - 1; i >= 0; --i)
        if (IsPathDelimiter(path[i]))
            return i;
    return -1;
}
} // namespace

QString FolderPart(const QString& path) {
    return path.left(LastDelimiter(path) + 1);
}

QString FileNamePart(const QString& path) {
    return path.mid(LastDelimiter(path) + 1);
}

QString FileExtension(const QString& path) {
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

TFiles::TFiles(const QLocale& locale) : FCollator(locale) {
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

bool TFiles::FileFormat(const QString& fn, TFType ft) {
    return ImageTypeOf(fn.toStdString()) == ft;
}

bool TFiles::IsAcceptedImageName(const QString& fn) {
    return FileFormat(fn, TFType::JPG) || FileFormat(fn, TFType::BMP);
}

bool TFiles::NameLess(const QString& a, const QString& b) const {
    const int c = FCollator.compare(a, b);
    if (c != 0)
        return c < 0;
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

qsizetype TFiles::IndexOf(const QString& name) const {
    const QStringList& list = *FileList;
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
    if (FileList)
        FileList->clear();
    else
        FileList.emplace();
    sPath = FolderPart(sCurrFile);

    // Every entry counts, whatever its kind or attributes: hidden and system files, and
    // subfolders whose names look like images. A folder that cannot be read lists nothing.
    const QDir dir(sPath.isEmpty() ? QStringLiteral(".") : sPath);
    const QStringList entries = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString& name : entries)
        if (IsAcceptedImageName(name))
            FileList->append(name);

    std::sort(FileList->begin(), FileList->end(),
              [this](const QString& a, const QString& b) { return NameLess(a, b); });
    FileList->erase(std::unique(FileList->begin(), FileList->end()), FileList->end());
}

bool TFiles::GetNeighbor(TNeighbor Neighbor) {
    if (sCurrFile.isEmpty() || sCurrFile == PastedImageName())
        return false;
    const QString name = FileNamePart(sCurrFile);

    // The folder is read on the first step and again only after the current image has
    // come from another folder; files added or removed in between go unnoticed.
    if (!FileList || !SameFolder())
        ReadFolder();

    const QStringList& list = *FileList;
    if (list.size() < 2)
        return false;
    qsizetype i = IndexOf(name);
    if (i < 0)
        return false;
    if (Neighbor == TNeighbor::nPrev) {
        if (i == 0)
            return false;
        --i;
    } else {
        if (i == list.size() - 1)
            return false;
        ++i;
    }
    sCurrFile = sPath + list[i];
    return true;
}

} // namespace tonalyx
