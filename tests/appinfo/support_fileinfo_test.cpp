// File information: version texts and their tables, name parts, attributes, size, times,
// and opening a file with the desktop (never for real: the openers are stand-ins).
#include "ufileinfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;

namespace {

// A scratch file, and TFileInfo objects whose version record and shell are stand-ins.
class FileInfoTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Tmp.isValid());
        File = Tmp.path() + "/photo.jpg";
        QFile f(File);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1234, 'x'));
    }
    static TVersionReader Block(const TVersionBlock& b) {
        return [b](const QString&) { return std::optional<TVersionBlock>(b); };
    }
    static TVersionReader NoBlock() {
        return [](const QString&) { return std::optional<TVersionBlock>(); };
    }
    // A shell that must never be reached.
    static TShellOpen NoShell() {
        return [](const QString&, const QString&) {
            ADD_FAILURE() << "the shell was asked to open a file";
            return 0;
        };
    }
    static TVersionBlock Product(std::uint32_t ms, std::uint32_t ls) {
        TVersionBlock b;
        b.ProductVersionMS = ms;
        b.ProductVersionLS = ls;
        return b;
    }

    QTemporaryDir Tmp;
    QString File;
};

// ---------------------------------------------------------------- versions

struct TVersionCase {
    std::uint32_t MS, LS;
    const char* Long;
    const char* Short;
};

class VersionTextTest : public FileInfoTest, public testing::WithParamInterface<TVersionCase> {};

TEST_P(VersionTextTest, ProductVersionWords) {
    const TVersionCase& c = GetParam();
    TVersionBlock b = Product(c.MS, c.LS);
    b.FileVersionMS = 0x00090009; // the file version is not what is shown
    b.FileVersionLS = 0x00090009;
    TFileInfo fi(File, Block(b), NoShell());
    EXPECT_EQ(fi.VersionString(), c.Long);
    EXPECT_EQ(fi.VersionStringShort(), c.Short);
}

INSTANTIATE_TEST_SUITE_P(Words, VersionTextTest,
                         testing::Values(TVersionCase{0x00010002, 0x00030004, "1.2.3.4", "1.2.3"},
                                         TVersionCase{0, 0, "0.0.0.0", "0.0.0"},
                                         TVersionCase{0xFFFFFFFF, 0xFFFFFFFF,
                                                      "65535.65535.65535.65535",
                                                      "65535.65535.65535"},
                                         TVersionCase{0x00000001, 0x00010000, "0.1.1.0", "0.1.1"}));

TEST_F(FileInfoTest, FileWithoutVersionRecordGivesEmptyTextsAndNoFlags) {
    TFileInfo fi(File, NoBlock(), NoShell());
    EXPECT_TRUE(fi.VersionString().isEmpty());
    EXPECT_TRUE(fi.VersionStringShort().isEmpty());
    EXPECT_TRUE(fi.OS().isEmpty());
    EXPECT_TRUE(fi.FileType().isEmpty());
    EXPECT_FALSE(fi.isDebugBuild());
    EXPECT_FALSE(fi.isPreRelease());
    EXPECT_FALSE(fi.isPrivateBuild());
    EXPECT_FALSE(fi.isSpecialBuild());
}

TEST_F(FileInfoTest, OrdinaryFileHasNoVersionRecordByDefault) {
    TFileInfo fi(File);
    EXPECT_TRUE(fi.VersionStringShort().isEmpty());
    EXPECT_TRUE(fi.OS().isEmpty());
    EXPECT_TRUE(fi.FileType().isEmpty());
    EXPECT_FALSE(fi.isDebugBuild());
}

TEST_F(FileInfoTest, VersionRecordIsReadAgainOnEveryQuery) {
    int reads = 0;
    TVersionReader reader = [&reads](const QString&) {
        ++reads;
        return reads == 1 ? std::optional<TVersionBlock>(Product(0x00010002, 0x00030004))
                          : std::optional<TVersionBlock>();
    };
    TFileInfo fi(File, reader, NoShell());
    EXPECT_EQ(fi.VersionString(), "1.2.3.4");
    EXPECT_TRUE(fi.VersionString().isEmpty());
    EXPECT_EQ(reads, 2);
}

TEST(RunningExecutable, CarriesTheBuildsOwnVersion) {
    if (RunningExecutablePath().isEmpty())
        GTEST_SKIP() << "this system names the executable only to an application object";
    TFileInfo fi(RunningExecutablePath());
    const QString expected = QStringLiteral(TONALYX_PROJECT_VERSION);
    QStringList parts = expected.split(u'.');
    while (parts.size() < 4)
        parts << "0";
    EXPECT_EQ(fi.VersionString(), parts.join(u'.'));
    EXPECT_EQ(fi.VersionStringShort(), parts.mid(0, 3).join(u'.'));
    EXPECT_EQ(fi.FileType(), "Application");
#ifdef Q_OS_WIN
    EXPECT_EQ(fi.OS(), "Win32 or Windows NT");
#else
    EXPECT_EQ(fi.OS(), "Unknown OS");
#endif
#ifdef NDEBUG
    EXPECT_FALSE(fi.isDebugBuild());
#else
    EXPECT_TRUE(fi.isDebugBuild());
#endif
    EXPECT_FALSE(fi.isPreRelease());
    EXPECT_FALSE(fi.isPrivateBuild());
    EXPECT_FALSE(fi.isSpecialBuild());
}

// ---------------------------------------------------------------- flags

struct TFlagCase {
    std::uint32_t Flags, Mask;
    bool Debug, PreRelease, Private, Special;
};

class FlagTest : public FileInfoTest, public testing::WithParamInterface<TFlagCase> {};

TEST_P(FlagTest, SetInBothFlagsAndMask) {
    const TFlagCase& c = GetParam();
    TVersionBlock b;
    b.FileFlags = c.Flags;
    b.FileFlagsMask = c.Mask;
    TFileInfo fi(File, Block(b), NoShell());
    EXPECT_EQ(fi.isDebugBuild(), c.Debug);
    EXPECT_EQ(fi.isPreRelease(), c.PreRelease);
    EXPECT_EQ(fi.isPrivateBuild(), c.Private);
    EXPECT_EQ(fi.isSpecialBuild(), c.Special);
}

INSTANTIATE_TEST_SUITE_P(Bits, FlagTest,
                         testing::Values(TFlagCase{0x3F, 0x3F, true, true, true, true},
                                         TFlagCase{0x01, 0x3F, true, false, false, false},
                                         TFlagCase{0x02, 0x02, false, true, false, false},
                                         TFlagCase{0x08, 0xFF, false, false, true, false},
                                         TFlagCase{0x20, 0x20, false, false, false, true},
                                         // in the flags but not in the mask
                                         TFlagCase{0x2B, 0x00, false, false, false, false},
                                         TFlagCase{0x01, 0x3E, false, false, false, false},
                                         // in the mask but not in the flags
                                         TFlagCase{0x00, 0x3F, false, false, false, false},
                                         // the other bits name no flag
                                         TFlagCase{0x14, 0x14, false, false, false, false}));

// ---------------------------------------------------------------- OS and file type

struct TOSCase {
    std::uint32_t OS;
    const char* Text;
};

class OSTextTest : public FileInfoTest, public testing::WithParamInterface<TOSCase> {};

TEST_P(OSTextTest, ByOSWord) {
    TVersionBlock b;
    b.FileOS = GetParam().OS;
    TFileInfo fi(File, Block(b), NoShell());
    EXPECT_EQ(fi.OS(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Words, OSTextTest,
    testing::Values(TOSCase{0x00010001, "MS-DOS or 16 bit Windows"},
                    TOSCase{0x00010004, "32 bit Windows"}, TOSCase{0x00020002, "16 bit OS/2"},
                    TOSCase{0x00030003, "32 bit OS/2"}, TOSCase{0x00040004, "Win32 or Windows NT"},
                    TOSCase{0x00000000, "Unknown OS"}, TOSCase{0x00040000, "Unknown OS"},
                    TOSCase{0x00000004, "Unknown OS"}));

struct TTypeCase {
    std::uint32_t Type, Subtype;
    const char* Text;
};

class FileTypeTextTest : public FileInfoTest, public testing::WithParamInterface<TTypeCase> {};

TEST_P(FileTypeTextTest, ByTypeAndSubtype) {
    TVersionBlock b;
    b.FileType = GetParam().Type;
    b.FileSubtype = GetParam().Subtype;
    TFileInfo fi(File, Block(b), NoShell());
    EXPECT_EQ(fi.FileType(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(
    Words, FileTypeTextTest,
    testing::Values(
        TTypeCase{1, 0, "Application"}, TTypeCase{1, 3, "Application"},
        TTypeCase{2, 0, "Dynamic Link Library (DLL)"}, TTypeCase{3, 1, "Device Driver - Printer"},
        TTypeCase{3, 2, "Device Driver - Keyboard"}, TTypeCase{3, 3, "Device Driver - Language"},
        TTypeCase{3, 4, "Device Driver - Display"}, TTypeCase{3, 5, "Device Driver - Mouse"},
        TTypeCase{3, 6, "Device Driver - Network"}, TTypeCase{3, 7, "Device Driver - System"},
        TTypeCase{3, 8, "Device Driver - Installable"}, TTypeCase{3, 9, "Device Driver - Sound"},
        TTypeCase{3, 10, "Device Driver - Unknown"}, TTypeCase{3, 0, "Device Driver - Unknown"},
        TTypeCase{4, 1, "Font File - Raster"}, TTypeCase{4, 2, "Font File - Vector"},
        TTypeCase{4, 3, "Font File - TrueType"}, TTypeCase{4, 4, "Font File - Unknown"},
        TTypeCase{5, 0, "Virtual Device"}, TTypeCase{6, 0, "Unknown File Type"},
        TTypeCase{7, 0, "Static Link Library"}, TTypeCase{0, 0, "Unknown File Type"},
        TTypeCase{8, 1, "Unknown File Type"}));

// ---------------------------------------------------------------- name parts

struct TNamePartCase {
    const char* FileName;
    const char* Name;
    const char* Ext;
};

class NamePartTest : public FileInfoTest, public testing::WithParamInterface<TNamePartCase> {};

TEST_P(NamePartTest, PartsOfARealFile) {
    const TNamePartCase& c = GetParam();
    const QString dir = Tmp.path() + "/some.folder/";
    ASSERT_TRUE(QDir().mkpath(dir));
    const QString path = dir + QString::fromUtf8(c.FileName);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    TFileInfo fi(path, NoBlock(), NoShell());
    EXPECT_EQ(fi.Path(), dir);
    EXPECT_EQ(fi.FileName(), QString::fromUtf8(c.FileName));
    EXPECT_EQ(fi.name(), QString::fromUtf8(c.Name));
    EXPECT_EQ(fi.FileExt(), QString::fromUtf8(c.Ext));
}

INSTANTIATE_TEST_SUITE_P(
    Names, NamePartTest,
    testing::Values(TNamePartCase{"a.jpg", "a", ".jpg"}, TNamePartCase{"readme", "readme", ""},
                    TNamePartCase{"x.jpg.jpg", "x", ".jpg"},
                    TNamePartCase{"holiday.final.jpg", "holiday.final", ".jpg"},
                    TNamePartCase{"Ёлка 2015.BMP", "Ёлка 2015", ".BMP"},
                    TNamePartCase{".profile", "", ".profile"}));

// ---------------------------------------------------------------- attributes, size, times

TEST_F(FileInfoTest, AttributesOfFilesAndFolders) {
    const TFileInfo plain(File, NoBlock(), NoShell());
    EXPECT_FALSE(plain.isDirectory());
    EXPECT_FALSE(plain.isHidden());
    EXPECT_FALSE(plain.isVolumeId());

    const TFileInfo folder(Tmp.path(), NoBlock(), NoShell());
    EXPECT_TRUE(folder.isDirectory());

    // Hidden files and folders are found too.
    const QString hiddenDir = Tmp.path() + "/.cache";
    ASSERT_TRUE(QDir().mkdir(hiddenDir));
    const TFileInfo hiddenFolder(hiddenDir, NoBlock(), NoShell());
    EXPECT_TRUE(hiddenFolder.isDirectory());
#ifndef Q_OS_WIN
    EXPECT_TRUE(hiddenFolder.isHidden());
    const QString hiddenFile = Tmp.path() + "/.photo.jpg";
    ASSERT_TRUE(QFile::copy(File, hiddenFile));
    const TFileInfo hidden(hiddenFile, NoBlock(), NoShell());
    EXPECT_TRUE(hidden.isHidden());
    EXPECT_FALSE(hidden.isDirectory());
    EXPECT_FALSE(hidden.isSystemFile());
    EXPECT_TRUE(hidden.DosFileName().isEmpty());
#endif
}

TEST_F(FileInfoTest, SizeIsTheWholeSize) {
    EXPECT_EQ(TFileInfo(File, NoBlock(), NoShell()).FileSize(), 1234);

    // Sizes beyond 32 bits are not cut (a sparse file takes no room on disk).
    const QString big = Tmp.path() + "/big.bin";
    QFile f(big);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    const qint64 size = (qint64{5} << 30) + 7;
    if (!f.resize(size))
        GTEST_SKIP() << "the file system cannot hold a 5 GiB file";
    f.close();
    EXPECT_EQ(TFileInfo(big, NoBlock(), NoShell()).FileSize(), size);
}

TEST_F(FileInfoTest, TimesAreLocalAndFoundOnce) {
    const QDateTime written(QDate(2015, 6, 7), QTime(8, 9, 10), Qt::UTC);
    const QDateTime read(QDate(2016, 1, 2), QTime(3, 4, 5), Qt::UTC);
    {
        QFile f(File);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(written, QFileDevice::FileModificationTime));
        ASSERT_TRUE(f.setFileTime(read, QFileDevice::FileAccessTime));
    }
    const TFileInfo fi(File, NoBlock(), NoShell());
    EXPECT_EQ(fi.LastWritten(), written);
    EXPECT_EQ(fi.LastWritten().timeSpec(), Qt::LocalTime);
    EXPECT_EQ(fi.LastAccessed(), read);
    if (fi.CreationTime().isValid()) {
        EXPECT_LE(fi.CreationTime(), QDateTime::currentDateTime().addSecs(5));
    }

    // Later changes of the file are not seen: it was looked up once.
    QFile f(File);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(read, QFileDevice::FileModificationTime));
    EXPECT_EQ(fi.LastWritten(), written);
}

TEST_F(FileInfoTest, MissingFileCannotBeLookedUp) {
    try {
        TFileInfo fi(Tmp.path() + "/missing.jpg", NoBlock(), NoShell());
        FAIL() << "constructed for a missing file";
    } catch (const TFileInfoError& e) {
        EXPECT_FALSE(e.Text().isEmpty()); // the system's own message
        EXPECT_STREQ(e.what(), e.Text().toStdString().c_str());
    }
    EXPECT_THROW(TFileInfo(QString(), NoBlock(), NoShell()), TFileInfoError);
}

// ---------------------------------------------------------------- Execute

struct TShellCase {
    int Code;
    const char* Error; // nullptr: not a failure, the code is returned
};

class ExecuteTest : public FileInfoTest, public testing::WithParamInterface<TShellCase> {};

TEST_P(ExecuteTest, ShellCodeBecomesResultOrMessage) {
    const TShellCase& c = GetParam();
    QString openedFile, openedIn;
    TFileInfo fi(File, NoBlock(), [&](const QString& f, const QString& d) {
        openedFile = f;
        openedIn = d;
        return c.Code;
    });
    if (c.Error == nullptr) {
        EXPECT_EQ(fi.Execute(), c.Code);
        EXPECT_TRUE(ShellErrorText(c.Code).isEmpty());
    } else {
        try {
            fi.Execute();
            ADD_FAILURE() << "code " << c.Code << " was taken for success";
        } catch (const TFileInfoError& e) {
            EXPECT_EQ(e.Text(), QString::fromUtf8(c.Error));
        }
    }
    EXPECT_EQ(openedFile, File);
    EXPECT_EQ(openedIn, Tmp.path() + u'/');
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ExecuteTest,
    testing::Values(
        TShellCase{0, "Недостаточно памяти или ресурсов."},
        TShellCase{2, "Указанный файл не найден."}, TShellCase{3, "Указанный путь не найден."},
        TShellCase{5, "Доступ к файлу запрещён."},
        TShellCase{8, "Недостаточно памяти для завершения операции."},
        TShellCase{11, "Ошибка файла .EXE (не -Win32 .EXE или ошибка в .EXE)."},
        TShellCase{26, "Файл используется другим приложением."},
        TShellCase{27, "The filename association is incomplete or invalid."},
        TShellCase{28, "DDE транзакция не может быть завершина из-за тайм-аута."},
        TShellCase{29, "Ошибка транзакции DDE."},
        TShellCase{30, "Транзакция DDE не может быть завершена, потому что другая транзакция DDE "
                       "находится в процессе выполнения."},
        TShellCase{31, "Не найдено приложение связанной с данным расширением файла."},
        TShellCase{32, "Указанная dynamic-link library не найдена."}, TShellCase{1, nullptr},
        TShellCase{4, nullptr}, TShellCase{6, nullptr}, TShellCase{7, nullptr},
        TShellCase{9, nullptr}, TShellCase{10, nullptr}, TShellCase{12, nullptr},
        TShellCase{25, nullptr}, TShellCase{33, nullptr}, TShellCase{42, nullptr},
        TShellCase{100000, nullptr}));

// The desktop opener, with a stand-in for the desktop's own URL handling.
class DesktopOpenTest : public FileInfoTest {
  protected:
    TFileInfo Make(bool desktopAnswer) {
        return TFileInfo(File, NoBlock(),
                         [this, desktopAnswer](const QString& f, const QString& d) {
                             return DesktopShellOpen(f, d, [this, desktopAnswer](const QUrl& url) {
                                 Asked.push_back(url);
                                 return desktopAnswer;
                             });
                         });
    }
    std::vector<QUrl> Asked;
};

TEST_F(DesktopOpenTest, FileTypeWithoutProgramRaisesTheCode31Message) {
    try {
        Make(false).Execute();
        FAIL() << "a refused open was taken for success";
    } catch (const TFileInfoError& e) {
        EXPECT_EQ(e.Text(), "Не найдено приложение связанной с данным расширением файла.");
    }
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], QUrl::fromLocalFile(File));
}

TEST_F(DesktopOpenTest, OpenedFileReturnsASuccessCode) {
    EXPECT_GT(Make(true).Execute(), 32);
    ASSERT_EQ(Asked.size(), 1u);
    EXPECT_EQ(Asked[0], QUrl::fromLocalFile(File));
}

TEST_F(DesktopOpenTest, VanishedFileOrFolderIsReportedWithoutAskingTheDesktop) {
    TFileInfo fi = Make(true);
    ASSERT_TRUE(QFile::remove(File));
    EXPECT_THROW(
        {
            try {
                fi.Execute();
            } catch (const TFileInfoError& e) {
                EXPECT_EQ(e.Text(), "Указанный файл не найден.");
                throw;
            }
        },
        TFileInfoError);
    EXPECT_TRUE(Asked.empty());

    const int missingFolder = DesktopShellOpen(
        Tmp.path() + "/gone/photo.jpg", Tmp.path() + "/gone/", [](const QUrl&) { return true; });
    EXPECT_EQ(missingFolder, 3);
    EXPECT_EQ(DesktopShellOpen(Tmp.path() + "/photo2.jpg", Tmp.path() + u'/',
                               [](const QUrl&) { return true; }),
              2);
}

TEST_F(DesktopOpenTest, UnreadableFileIsAccessDenied) {
    ASSERT_TRUE(QFile::setPermissions(File, QFileDevice::WriteOwner));
    if (QFile(File).open(QIODevice::ReadOnly))
        GTEST_SKIP() << "this user reads every file";
    EXPECT_EQ(DesktopShellOpen(File, Tmp.path() + u'/', [](const QUrl&) { return true; }), 5);
    QFile::setPermissions(File, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace
