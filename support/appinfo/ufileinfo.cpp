#include "ufileinfo.h"

#include "paths.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#if !defined(TONALYX_VERSION_MAJOR) || !defined(TONALYX_VERSION_MINOR) ||                          \
    !defined(TONALYX_VERSION_PATCH) || !defined(TONALYX_VERSION_TWEAK)
#error "The build passes the project's version numbers as TONALYX_VERSION_MAJOR..TWEAK"
#endif
static_assert(TONALYX_VERSION_MAJOR <= 0xFFFF && TONALYX_VERSION_MINOR <= 0xFFFF &&
                  TONALYX_VERSION_PATCH <= 0xFFFF && TONALYX_VERSION_TWEAK <= 0xFFFF,
              "each part of the version must fit in 16 bits");

namespace tonalyx {

namespace {

constexpr std::uint32_t VersionSignature = 0xFEEF04BD;
constexpr std::uint32_t VersionStrucVersion = 0x00010000;
constexpr std::uint32_t AllFlagsMask = 0x3F;
constexpr std::uint32_t OSUnknown = 0x00000000;
constexpr std::uint32_t OSWindowsNT32 = 0x00040004;
constexpr std::uint32_t TypeApplication = 1;

std::filesystem::path ToFsPath(const QString& path) {
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

QString VersionPart(std::uint32_t word, bool high) {
    return QString::number(high ? (word >> 16) : (word & 0xFFFFu));
}

} // namespace

TFileInfoError::TFileInfoError(const QString& text)
    : std::runtime_error(text.toStdString()), FText(text) {}

TVersionBlock BuildVersionBlock() {
    TVersionBlock b;
    b.Signature = VersionSignature;
    b.StrucVersion = VersionStrucVersion;
    b.ProductVersionMS = (std::uint32_t{TONALYX_VERSION_MAJOR} << 16) | TONALYX_VERSION_MINOR;
    b.ProductVersionLS = (std::uint32_t{TONALYX_VERSION_PATCH} << 16) | TONALYX_VERSION_TWEAK;
    b.FileVersionMS = b.ProductVersionMS;
    b.FileVersionLS = b.ProductVersionLS;
    b.FileFlagsMask = AllFlagsMask;
#ifndef NDEBUG
    b.FileFlags = VerFlagDebug;
#endif
#ifdef Q_OS_WIN
    b.FileOS = OSWindowsNT32;
#else
    b.FileOS = OSUnknown;
#endif
    b.FileType = TypeApplication;
    return b;
}

QString RunningExecutablePath() {
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
#ifdef Q_OS_LINUX
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
#else
    return {};
#endif
}

std::optional<TVersionBlock> ReadBuildVersion(const QString& fileName) {
    const QString exe = QFileInfo(RunningExecutablePath()).canonicalFilePath();
    if (exe.isEmpty() || QFileInfo(fileName).canonicalFilePath() != exe)
        return std::nullopt;
    return BuildVersionBlock();
}

int DesktopShellOpen(const QString& fileName, const QString& workDir, const TUrlOpener& openUrl) {
    // Desktop openers start the program in a folder of their choosing; workDir is the
    // folder the file lies in and only decides which failure a missing file reports.
    const QFileInfo fi(fileName);
    if (!fi.exists()) {
        const QString folder = workDir.isEmpty() ? FolderPart(fileName) : workDir;
        if (!folder.isEmpty() && !QFileInfo(folder).isDir())
            return 3;
        return 2;
    }
    if (!fi.isReadable())
        return 5;
    const QUrl url = QUrl::fromLocalFile(fi.absoluteFilePath());
    const bool opened = openUrl ? openUrl(url) : QDesktopServices::openUrl(url);
    return opened ? ShellOpenSucceeded : 31;
}

QString ShellErrorText(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("Недостаточно памяти или ресурсов.");
    case 2:
        return QStringLiteral("Указанный файл не найден.");
    case 3:
        return QStringLiteral("Указанный путь не найден.");
    case 5:
        return QStringLiteral("Доступ к файлу запрещён.");
    case 8:
        return QStringLiteral("Недостаточно памяти для завершения операции.");
    case 11:
        return QStringLiteral("Ошибка файла .EXE (не -Win32 .EXE или ошибка в .EXE).");
    case 26:
        return QStringLiteral("Файл используется другим приложением.");
    case 27:
        return QStringLiteral("The filename association is incomplete or invalid.");
    case 28:
        return QStringLiteral("DDE транзакция не может быть завершина из-за тайм-аута.");
    case 29:
        return QStringLiteral("Ошибка транзакции DDE.");
    case 30:
        return QStringLiteral("Транзакция DDE не может быть завершена, потому что другая "
                              "транзакция DDE находится в процессе выполнения.");
    case 31:
        return QStringLiteral("Не найдено приложение связанной с данным расширением файла.");
    case 32:
        return QStringLiteral("Указанная dynamic-link library не найдена.");
    default:
        return {};
    }
}

QString OSText(std::uint32_t os) {
    switch (os) {
    case 0x00010001:
        return QStringLiteral("MS-DOS or 16 bit Windows");
    case 0x00010004:
        return QStringLiteral("32 bit Windows");
    case 0x00020002:
        return QStringLiteral("16 bit OS/2");
    case 0x00030003:
        return QStringLiteral("32 bit OS/2");
    case 0x00040004:
        return QStringLiteral("Win32 or Windows NT");
    default:
        return QStringLiteral("Unknown OS");
    }
}

QString FileTypeText(std::uint32_t type, std::uint32_t subtype) {
    switch (type) {
    case 1:
        return QStringLiteral("Application");
    case 2:
        return QStringLiteral("Dynamic Link Library (DLL)");
    case 3: {
        static const char* const drivers[] = {"Printer", "Keyboard",    "Language",
                                              "Display", "Mouse",       "Network",
                                              "System",  "Installable", "Sound"};
        const char* sub = subtype >= 1 && subtype <= 9 ? drivers[subtype - 1] : "Unknown";
        return QStringLiteral("Device Driver - ") + QLatin1StringView(sub);
    }
    case 4: {
        static const char* const fonts[] = {"Raster", "Vector", "TrueType"};
        const char* sub = subtype >= 1 && subtype <= 3 ? fonts[subtype - 1] : "Unknown";
        return QStringLiteral("Font File - ") + QLatin1StringView(sub);
    }
    case 5:
        return QStringLiteral("Virtual Device");
    case 7:
        return QStringLiteral("Static Link Library");
    default:
        return QStringLiteral("Unknown File Type");
    }
}

TFileInfo::TFileInfo(const QString& AFileName, TVersionReader versionReader, TShellOpen shellOpen)
    : fFileName(AFileName),
      FVersionReader(versionReader ? std::move(versionReader) : TVersionReader(ReadBuildVersion)),
      FShellOpen(shellOpen ? std::move(shellOpen)
                           : TShellOpen([](const QString& f, const QString& d) {
                                 return DesktopShellOpen(f, d);
                             })) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(ToFsPath(AFileName), ec);
    if (ec || !std::filesystem::exists(st)) {
        if (!ec)
            ec = std::make_error_code(std::errc::no_such_file_or_directory);
        throw TFileInfoError(QString::fromLocal8Bit(ec.message()));
    }

    const QFileInfo fi(AFileName);
    FIsDirectory = fi.isDir();
    FIsHidden = fi.isHidden(); // on Linux: a name beginning with a dot
    FSize = FIsDirectory ? 0 : fi.size();
    FCreationTime = fi.birthTime();
    FLastAccessed = fi.lastRead();
    FLastWritten = fi.lastModified();
#ifdef Q_OS_WIN
    const std::wstring native = AFileName.toStdWString();
    const DWORD attrs = GetFileAttributesW(native.c_str());
    if (attrs != INVALID_FILE_ATTRIBUTES) {
        FIsHidden = (attrs & FILE_ATTRIBUTE_HIDDEN) != 0;
        FIsSystem = (attrs & FILE_ATTRIBUTE_SYSTEM) != 0;
        FIsArchive = (attrs & FILE_ATTRIBUTE_ARCHIVE) != 0;
    }
    wchar_t shortPath[MAX_PATH + 1];
    const DWORD n = GetShortPathNameW(native.c_str(), shortPath, MAX_PATH + 1);
    if (n > 0 && n <= MAX_PATH) {
        const QString shortName = FileNamePart(QString::fromWCharArray(shortPath, int(n)));
        if (shortName != FileNamePart(AFileName))
            FDosFileName = shortName;
    }
#endif
}

bool TFileInfo::ReadVersionBlock() {
    fVerBlk = {};
    const std::optional<TVersionBlock> b = FVersionReader(fFileName);
    if (!b)
        return false;
    fVerBlk = *b;
    return true;
}

QString TFileInfo::VersionString() {
    if (!ReadVersionBlock())
        return {};
    return VersionPart(fVerBlk.ProductVersionMS, true) + u'.' +
           VersionPart(fVerBlk.ProductVersionMS, false) + u'.' +
           VersionPart(fVerBlk.ProductVersionLS, true) + u'.' +
           VersionPart(fVerBlk.ProductVersionLS, false);
}

QString TFileInfo::VersionStringShort() {
    if (!ReadVersionBlock())
        return {};
    return VersionPart(fVerBlk.ProductVersionMS, true) + u'.' +
           VersionPart(fVerBlk.ProductVersionMS, false) + u'.' +
           VersionPart(fVerBlk.ProductVersionLS, true);
}

bool TFileInfo::Flag(std::uint32_t bit) {
    return ReadVersionBlock() && (fVerBlk.FileFlags & fVerBlk.FileFlagsMask & bit) != 0;
}

bool TFileInfo::isDebugBuild() {
    return Flag(VerFlagDebug);
}
bool TFileInfo::isPreRelease() {
    return Flag(VerFlagPreRelease);
}
bool TFileInfo::isPrivateBuild() {
    return Flag(VerFlagPrivateBuild);
}
bool TFileInfo::isSpecialBuild() {
    return Flag(VerFlagSpecialBuild);
}

QString TFileInfo::OS() {
    return ReadVersionBlock() ? OSText(fVerBlk.FileOS) : QString();
}

QString TFileInfo::FileType() {
    return ReadVersionBlock() ? FileTypeText(fVerBlk.FileType, fVerBlk.FileSubtype) : QString();
}

QString TFileInfo::Path() const {
    return FolderPart(fFileName);
}
QString TFileInfo::FileName() const {
    return FileNamePart(fFileName);
}
QString TFileInfo::FileExt() const {
    return FileExtension(fFileName);
}
QString TFileInfo::DosFileName() const {
    return FDosFileName;
}

QString TFileInfo::name() const {
    return NameBeforeFirstExtension(fFileName);
}

int TFileInfo::Execute() {
    const int code = FShellOpen(fFileName, Path());
    const QString error = ShellErrorText(code);
    if (!error.isEmpty())
        throw TFileInfoError(error);
    return code;
}

} // namespace tonalyx
