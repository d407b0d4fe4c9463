// A save that fails says why in plain words, never "Unknown error", and leaves the old file
// as it was and no partial file: the reasons by error number, then real failures (a missing
// folder, a file where a folder should be, a folder where the file should be, a read-only
// folder and file, a file size limit).
#include "save_copy.h"
#include "save_failure.h"

#include "child_process.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <ostream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

using namespace tonalyx;
using tonalyx::test::InChild;
using tonalyx::test::TChild;
using tonalyx::test::WriteAll;

namespace {

// ---------------------------------------------------------------- reasons by error number

struct TReasonCase {
    int Error;
    const char* Reason; // for the path /pics/h.png, which does not exist here
};

void PrintTo(const TReasonCase& c, std::ostream* os) {
    *os << "errno " << c.Error;
}

class SaveFailureReasonTest : public testing::TestWithParam<TReasonCase> {};

TEST_P(SaveFailureReasonTest, PlainWords) {
    EXPECT_EQ(SaveFailureReason(GetParam().Error, "/pics/h.png"),
              QString::fromUtf8(GetParam().Reason));
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, SaveFailureReasonTest,
    testing::Values(TReasonCase{ENOSPC, "the disk is full"},
                    TReasonCase{EDQUOT, "your share of the disk is used up"},
                    TReasonCase{EFBIG, "the file is larger than the system allows here"},
                    TReasonCase{EACCES, "no permission to write in /pics/"},
                    TReasonCase{EPERM, "no permission to write in /pics/"},
                    TReasonCase{EROFS, "/pics/ is on a disk that is read-only"},
                    TReasonCase{ENOENT, "the folder /pics/ does not exist"},
                    TReasonCase{ENOTDIR, "a part of the path is no folder"},
                    TReasonCase{EISDIR, "/pics/h.png is a folder"},
                    TReasonCase{ENAMETOOLONG, "the name is too long"},
                    TReasonCase{EINVAL, "the disk does not allow this name"},
                    TReasonCase{EIO, "the disk failed while it was written"},
                    TReasonCase{EMFILE, "too many files are open"},
                    TReasonCase{ETXTBSY, "the file is in use"},
                    TReasonCase{0, "the file could not be written"},
                    // rarer ones in the system's words, starting in lower case
                    TReasonCase{ECONNRESET, "connection reset by peer"},
                    TReasonCase{123456, "the file could not be written (error 123456)"}));

// ---------------------------------------------------------------- real failures

class SaveFailure : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    void TearDown() override {
        // Folders made read-only must be removable again.
        for (const QString& d : Locked)
            QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Put(const QString& path, const QByteArray& bytes) const {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // The error of writing 4 KiB to path, which must fail.
    static QString Failure(const QString& path) {
        const TOutcome<void> written = WriteWholeFile(path, std::vector<std::uint8_t>(4096, 7));
        EXPECT_FALSE(written.Ok());
        const QString error = written.Ok() ? QString() : QString::fromStdString(written.Reason());
        EXPECT_FALSE(error.contains("Unknown error")) << error.toStdString();
        return error;
    }
    QStringList Entries(const QString& folder) const {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    // Whether this user is refused writing in a read-only folder (root is not).
    bool PermissionsApply(const QString& folder) {
        Locked << folder;
        EXPECT_TRUE(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        return access(QFile::encodeName(folder).constData(), W_OK) != 0;
    }

    QTemporaryDir Dir;
    QStringList Locked;
};

TEST_F(SaveFailure, MissingFolder) {
    EXPECT_EQ(Failure(Path("gone/h.png")), "Cannot save " + Path("gone/h.png") + ": the folder " +
                                               Path("gone/") + " does not exist");
    EXPECT_FALSE(QFileInfo::exists(Path("gone")));
}

TEST_F(SaveFailure, AFileWhereAFolderShouldBe) {
    Put(Path("IMG_0012.JPG"), "picture");
    EXPECT_EQ(Failure(Path("IMG_0012.JPG/sub/h.png")),
              "Cannot save " + Path("IMG_0012.JPG/sub/h.png") + ": " + Path("IMG_0012.JPG") +
                  " is a file, not a folder");
    EXPECT_EQ(Read(Path("IMG_0012.JPG")), "picture");
}

TEST_F(SaveFailure, AFolderWhereTheFileShouldBe) {
    ASSERT_TRUE(QDir().mkdir(Path("h.png")));
    EXPECT_EQ(Failure(Path("h.png")),
              "Cannot save " + Path("h.png") + ": " + Path("h.png") + " is a folder");
    EXPECT_TRUE(QFileInfo(Path("h.png")).isDir());
}

TEST_F(SaveFailure, ReadOnlyFolderKeepsTheOldFile) {
    const QString folder = Path("locked");
    ASSERT_TRUE(QDir().mkdir(folder));
    Put(folder + "/h.png", "old contents");
    if (!PermissionsApply(folder))
        GTEST_SKIP() << "this user writes in read-only folders";
    EXPECT_EQ(Failure(folder + "/h.png"),
              "Cannot save " + folder + "/h.png: no permission to write in " + folder + "/");
    EXPECT_EQ(Read(folder + "/h.png"), "old contents");
    EXPECT_EQ(Entries(folder), QStringList{"h.png"});
}

TEST_F(SaveFailure, ReadOnlyFileIsNotReplaced) {
    Put(Path("h.png"), "old contents");
    ASSERT_TRUE(QFile::setPermissions(Path("h.png"), QFile::ReadOwner));
    if (access(QFile::encodeName(Path("h.png")).constData(), W_OK) == 0)
        GTEST_SKIP() << "this user writes read-only files";
    EXPECT_EQ(Failure(Path("h.png")),
              "Cannot save " + Path("h.png") + ": no permission to replace " + Path("h.png"));
    EXPECT_EQ(Read(Path("h.png")), "old contents");
}

TEST_F(SaveFailure, AFileSizeLimitKeepsTheOldFileAndLeavesNoPart) {
    // The limit applies to the child alone; it works even for root.
    Put(Path("keep.png"), "old contents");
    const QString target = Path("keep.png");
    const std::optional<TChild> child = InChild([&](int fd) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit small{};
        getrlimit(RLIMIT_FSIZE, &small);
        small.rlim_cur = 100;
        setrlimit(RLIMIT_FSIZE, &small);
        const TOutcome<void> written = WriteWholeFile(target, std::vector<std::uint8_t>(4096, 7));
        WriteAll(fd, written.Ok() ? std::string("saved") : written.Reason());
    });
    ASSERT_TRUE(child) << "still saving after 5 s";
    EXPECT_EQ(QString::fromStdString(child->Output),
              "Cannot save " + target + ": the file is larger than the system allows here");
    EXPECT_EQ(Read(target), "old contents");
    EXPECT_EQ(Entries(Dir.path()), QStringList{"keep.png"});
}

} // namespace
