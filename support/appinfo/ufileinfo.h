// Information about one file on disk, above all the version of the running executable,
// and opening the file with the desktop.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>

namespace tonalyx {

// The fixed version record of a file: thirteen 32-bit words, laid out like the
// fixed-file-info record of an executable's version resource.
struct TVersionBlock {
    std::uint32_t Signature = 0;
    std::uint32_t StrucVersion = 0;
    std::uint32_t FileVersionMS = 0;
    std::uint32_t FileVersionLS = 0;
    std::uint32_t ProductVersionMS = 0; // major << 16 | minor
    std::uint32_t ProductVersionLS = 0; // release << 16 | build
    std::uint32_t FileFlagsMask = 0;
    std::uint32_t FileFlags = 0;
    std::uint32_t FileOS = 0;
    std::uint32_t FileType = 0;
    std::uint32_t FileSubtype = 0;
    std::uint32_t FileDateMS = 0;
    std::uint32_t FileDateLS = 0;
    friend bool operator==(const TVersionBlock&, const TVersionBlock&) = default;
};
static_assert(sizeof(TVersionBlock) == 52);

// Flag bits of TVersionBlock::FileFlags.
inline constexpr std::uint32_t VerFlagDebug = 0x01;
inline constexpr std::uint32_t VerFlagPreRelease = 0x02;
inline constexpr std::uint32_t VerFlagPrivateBuild = 0x08;
inline constexpr std::uint32_t VerFlagSpecialBuild = 0x20;

// The version record of this build, made from the project's own version numbers.
TVersionBlock BuildVersionBlock();
// The path of the running executable.
QString RunningExecutablePath();

// Reads the version record of a file; nullopt when it has none. The default gives
// BuildVersionBlock() for the running executable and nothing for any other file.
using TVersionReader = std::function<std::optional<TVersionBlock>(const QString& fileName)>;
std::optional<TVersionBlock> ReadBuildVersion(const QString& fileName);

// Opens a file with the desktop and returns a shell result code: above 32 on success,
// otherwise one of the codes of ShellErrorText.
using TShellOpen = std::function<int(const QString& fileName, const QString& workDir)>;
// Asks the desktop to open a URL; true when it did.
using TUrlOpener = std::function<bool(const QUrl& url)>;

// The code DesktopShellOpen returns when the desktop took the file.
inline constexpr int ShellOpenSucceeded = 33;
// The default opener: a missing folder gives 3, a missing file 2, an unreadable one 5;
// a file the desktop has no program for gives 31. openUrl defaults to the desktop's.
int DesktopShellOpen(const QString& fileName, const QString& workDir,
                     const TUrlOpener& openUrl = {});

// The message of a failed shell open; empty for the codes that are not failures.
QString ShellErrorText(int code);

// What TFileInfo raises: construction for a path that cannot be found, and Execute for a
// failed shell open. Text() is the message for the user.
class TFileInfoError : public std::runtime_error {
  public:
    explicit TFileInfoError(const QString& text);
    QString Text() const { return FText; }

  private:
    QString FText;
};

// Texts of the version record's OS word and of its type and subtype words.
QString OSText(std::uint32_t os);
QString FileTypeText(std::uint32_t type, std::uint32_t subtype);

class TFileInfo {
  public:
    // Looks the file up once, hidden files and folders included. Throws TFileInfoError
    // with the system's message when it cannot be found.
    explicit TFileInfo(const QString& AFileName, TVersionReader versionReader = {},
                       TShellOpen shellOpen = {});

    // The product version: "major.minor.release.build" and "major.minor.release";
    // empty when the file has no version record.
    QString VersionString();
    QString VersionStringShort();
    // A flag counts only when it is set both in the flags and in the flags mask.
    bool isDebugBuild();
    bool isPreRelease();
    bool isPrivateBuild();
    bool isSpecialBuild();
    QString OS();       // empty without a version record
    QString FileType(); // empty without a version record

    QString Path() const;        // the folder part, with its trailing separator
    QString FileName() const;    // the name part with its extension
    QString name() const;        // the name part up to the first occurrence of its extension
    QString DosFileName() const; // the short alias name; empty where none exists
    QString FileExt() const;     // the extension, dot included

    bool isDirectory() const { return FIsDirectory; }
    bool isHidden() const { return FIsHidden; }
    bool isSystemFile() const { return FIsSystem; }
    bool isVolumeId() const { return false; }
    bool isArchive() const { return FIsArchive; }

    std::int64_t FileSize() const { return FSize; }
    // Local times; CreationTime is invalid where the file system does not record it.
    QDateTime CreationTime() const { return FCreationTime; }
    QDateTime LastAccessed() const { return FLastAccessed; }
    QDateTime LastWritten() const { return FLastWritten; }

    // Opens the file with the desktop. Returns the shell's code on success; throws
    // TFileInfoError with the failure's message otherwise.
    int Execute();

  private:
    bool ReadVersionBlock(); // refreshes fVerBlk; false without a version record
    bool Flag(std::uint32_t bit);

    TVersionBlock fVerBlk;
    QString fFileName;
    TVersionReader FVersionReader;
    TShellOpen FShellOpen;

    bool FIsDirectory = false;
    bool FIsHidden = false;
    bool FIsSystem = false;
    bool FIsArchive = false;
    std::int64_t FSize = 0;
    QDateTime FCreationTime;
    QDateTime FLastAccessed;
    QDateTime FLastWritten;
    QString FDosFileName;
};

} // namespace tonalyx
