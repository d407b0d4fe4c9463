// Settings files that are not regular files are neither read nor written, and say so in
// the log; a symbolic link to a regular file is followed both ways. Each look at an odd
// file runs in a child process with an upper bound, so a file that is waited on again fails
// the test instead of hanging the run.
#include "settings_location.h"

#include "child_process.h"
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using namespace tonalyx;
using tonalyx::test::InChild;
using tonalyx::test::TChild;
using tonalyx::test::WriteAll;
namespace fs = std::filesystem;

TONALYX_QT_TEST_ENVIRONMENT(QCoreApplication);

namespace {

fs::path FsPath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

// What a child sees through OpenUserSettings: whether the stored record came back, what
// the "tonalyx.state" log said, and that saving returned.
struct TSeen {
    bool ReadSomething = false;
    std::string Log;
    bool Saved = false;
};

int LogFd = -1; // the child's descriptor to the parent, for its message handler

std::optional<TSeen> ReadAndSaveInChild() {
    const std::optional<TChild> child = InChild([](int fd) {
        LogFd = fd;
        qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                if (context.category && std::string(context.category) == "tonalyx.state")
                    WriteAll(LogFd, "log:" + text.toStdString() + "\n");
            });
        {
            const std::unique_ptr<QSettings> settings = OpenUserSettings();
            WriteAll(fd, settings->contains("State") ? "read\n" : "empty\n");
        }
        {
            const std::unique_ptr<QSettings> settings = OpenUserSettings();
            settings->setValue("State", QByteArray(48, 'x'));
            settings->sync();
        }
        WriteAll(fd, "saved\n");
    });
    if (!child)
        return std::nullopt;
    TSeen seen;
    seen.ReadSomething = child->Output.find("read\n") != std::string::npos;
    seen.Saved = child->Output.find("saved\n") != std::string::npos;
    for (std::size_t at = child->Output.find("log:"); at != std::string::npos;
         at = child->Output.find("log:", at + 1))
        seen.Log += child->Output.substr(at + 4, child->Output.find('\n', at) - at - 4);
    return seen;
}

// The settings folder of the test, as the program finds it.
class SettingsFile : public testing::Test {
  protected:
    void SetUp() override {
        File = UserSettingsFile();
        ASSERT_FALSE(File.isEmpty());
        Folder = QFileInfo(File).path();
        ASSERT_TRUE(QDir().mkpath(Folder));
        ASSERT_TRUE(Elsewhere.isValid());
    }
    // The names in the settings folder, hidden ones too.
    QStringList FolderEntries() const {
        return QDir(Folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                      QDir::NoDotAndDotDot);
    }
    QString File, Folder;
    QTemporaryDir Elsewhere; // for the targets of links
};

TEST_F(SettingsFile, IsTheFileQSettingsUses) {
    EXPECT_EQ(OpenUserSettings()->fileName(), File);
    EXPECT_TRUE(File.endsWith("/Tonalyx.conf")) << File.toStdString();
}

// ---------------------------------------------------------------- odd files

struct TOddCase {
    const char* Name;
    const char* Problem; // what the log says the file is
    // Makes the settings file; elsewhere is a folder for link targets.
    std::function<bool(const fs::path& file, const fs::path& elsewhere)> Make;
};

void PrintTo(const TOddCase& c, std::ostream* os) {
    *os << c.Name;
}

class OddSettingsFile : public SettingsFile, public testing::WithParamInterface<TOddCase> {};

TEST_P(OddSettingsFile, IsNeitherReadNorWrittenAndTheLogSaysWhy) {
    const TOddCase& c = GetParam();
    const fs::path file = FsPath(File);
    ASSERT_TRUE(c.Make(file, FsPath(Elsewhere.path())));
    std::error_code ec;
    const fs::file_status before = fs::symlink_status(file, ec);
    const fs::path linkTarget = fs::is_symlink(before) ? fs::read_symlink(file) : fs::path();
    const QStringList entries = FolderEntries();
    const QStringList elsewhere =
        QDir(Elsewhere.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);

    EXPECT_EQ(SettingsFileProblem(File), QString::fromUtf8(c.Problem));
    const std::optional<TSeen> seen = ReadAndSaveInChild();
    ASSERT_TRUE(seen) << "still waiting on the settings file after 5 s";
    EXPECT_FALSE(seen->ReadSomething);
    EXPECT_TRUE(seen->Saved);
    EXPECT_NE(seen->Log.find(File.toStdString()), std::string::npos) << seen->Log;
    EXPECT_NE(seen->Log.find(c.Problem), std::string::npos) << seen->Log;

    // The file is what it was, and nothing was made beside it or where a link points.
    const fs::file_status after = fs::symlink_status(file, ec);
    EXPECT_EQ(after.type(), before.type());
    if (fs::is_symlink(before)) {
        EXPECT_EQ(fs::read_symlink(file), linkTarget);
    }
    if (fs::is_directory(before)) {
        EXPECT_TRUE(fs::is_empty(file));
    }
    EXPECT_EQ(FolderEntries(), entries);
    EXPECT_EQ(QDir(Elsewhere.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              elsewhere);
}

bool Link(const fs::path& target, const fs::path& file) {
    std::error_code ec;
    fs::create_symlink(target, file, ec);
    return !ec;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OddSettingsFile,
    testing::Values(
        TOddCase{"Fifo", "is a FIFO",
                 [](const fs::path& f, const fs::path&) { return mkfifo(f.c_str(), 0600) == 0; }},
        TOddCase{"Folder", "is a folder",
                 [](const fs::path& f, const fs::path&) { return fs::create_directory(f); }},
        TOddCase{"LinkToNull", "is a symbolic link to a device",
                 [](const fs::path& f, const fs::path&) { return Link("/dev/null", f); }},
        TOddCase{"LinkToZero", "is a symbolic link to a device",
                 [](const fs::path& f, const fs::path&) { return Link("/dev/zero", f); }},
        TOddCase{"DanglingLink", "is a symbolic link to nothing",
                 [](const fs::path& f, const fs::path& e) { return Link(e / "gone.conf", f); }},
        TOddCase{"LinkToFifo", "is a symbolic link to a FIFO",
                 [](const fs::path& f, const fs::path& e) {
                     return mkfifo((e / "pipe").c_str(), 0600) == 0 && Link(e / "pipe", f);
                 }},
        TOddCase{"LinkToFolder", "is a symbolic link to a folder",
                 [](const fs::path& f, const fs::path& e) {
                     return fs::create_directory(e / "dir") && Link(e / "dir", f);
                 }},
        TOddCase{"LinkLoop", "is a symbolic link to nothing",
                 [](const fs::path& f, const fs::path&) { return Link(f, f); }}),
    [](const testing::TestParamInfo<TOddCase>& i) { return std::string(i.param.Name); });

// ---------------------------------------------------------------- regular files

TEST_F(SettingsFile, ALinkToARegularFileIsFollowedBothWays) {
    const QString target = Elsewhere.filePath("dotfiles-tonalyx.conf");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[General]\nKept=1\n");
    }
    ASSERT_TRUE(Link(FsPath(target), FsPath(File)));
    EXPECT_TRUE(SettingsFileProblem(File).isEmpty());
    const std::optional<TSeen> seen = ReadAndSaveInChild();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->Saved);
    EXPECT_TRUE(seen->Log.empty()) << seen->Log;
    // The link stays and the file it points to holds the old and the new values.
    EXPECT_TRUE(QFileInfo(File).isSymLink());
    EXPECT_EQ(QFileInfo(File).symLinkTarget(), target);
    QSettings stored(target, QSettings::IniFormat);
    EXPECT_EQ(stored.value("Kept").toInt(), 1);
    EXPECT_EQ(stored.value("State").toByteArray(), QByteArray(48, 'x'));
    // Read through the link on the next start.
    EXPECT_TRUE(OpenUserSettings()->contains("State"));
}

TEST_F(SettingsFile, ARegularFileOrNoneIsReadAndWritten) {
    EXPECT_TRUE(SettingsFileProblem(File).isEmpty()); // none yet
    std::optional<TSeen> seen = ReadAndSaveInChild();
    ASSERT_TRUE(seen);
    EXPECT_FALSE(seen->ReadSomething);
    EXPECT_TRUE(seen->Log.empty()) << seen->Log;
    ASSERT_TRUE(QFileInfo(File).isFile());
    EXPECT_TRUE(SettingsFileProblem(File).isEmpty());
    seen = ReadAndSaveInChild();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->ReadSomething);
    EXPECT_TRUE(seen->Log.empty()) << seen->Log;
}

} // namespace
