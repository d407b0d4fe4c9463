// Where the help is looked for and what F1 opens: the help file where the desktop has a
// viewer for it, the HTML pages where it has none; and the help the build lays beside
// the program.
#include "help_file.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QCoreApplication); // applicationDirPath needs the object

namespace {

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

} // namespace

TEST(HelpFile, FoldersBesideTheProgramThenTheRelocatedAndTheInstalledDataFolder) {
    const QStringList folders = HelpFolders("/opt/t/bin/tonalyx");
    ASSERT_EQ(folders.size(), 3);
    EXPECT_EQ(folders.mid(0, 2), QStringList({"/opt/t/bin", "/opt/t/share/tonalyx"}));
    EXPECT_TRUE(folders[2].endsWith("/share/tonalyx")) << folders[2].toStdString();
    // An installation in the configured prefix finds its data folder once.
    const QString installed = folders[2].chopped(int(sizeof "/share/tonalyx") - 1) + "/bin/tonalyx";
    EXPECT_EQ(HelpFolders(installed).size(), 2);
}

TEST(HelpFile, WhatF1Opens) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bin = dir.filePath("bin"), data = dir.filePath("data"), none = dir.filePath("x");
    const QString binChm = QDir(bin).filePath(HelpFileName);
    const QString dataChm = QDir(data).filePath(HelpFileName);
    const QString dataPages = QDir(data).filePath("help/index.html");
    Touch(dataChm);
    Touch(dataPages);
    QDir().mkpath(bin);
    struct {
        QStringList folders;
        bool viewer;
        QString opened;
    } rows[] = {
        {{bin, data}, true, dataChm},    // the first folder that has the file
        {{bin, data}, false, dataPages}, // no viewer: the pages in the browser
        {{none, bin}, true, QDir(none).filePath(HelpFileName)}, // nothing anywhere
        {{}, true, QString()},
    };
    for (const auto& r : rows)
        EXPECT_EQ(HelpTarget(r.folders, r.viewer), r.opened) << r.folders.join(';').toStdString();
    Touch(binChm);
    EXPECT_EQ(HelpTarget({bin, data}, true), binChm);
    ASSERT_TRUE(QFile::remove(dataPages));
    EXPECT_EQ(HelpTarget({bin, data}, false), binChm); // no pages either: the file after all
}

TEST(HelpFile, OpenHelpLooksBesideTheRunningProgramWhateverTheWorkingFolder) {
    QStringList opened;
    SetHelpOpener([&](const QString& p) { opened << p; });
    SetChmViewerQuery([] { return false; });
    QTemporaryDir elsewhere;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    Touch(QDir(elsewhere.path()).filePath(HelpFileName)); // a decoy in the working folder
    OpenHelp();
    ASSERT_TRUE(QDir::setCurrent(before));
    SetHelpOpener({});
    SetChmViewerQuery({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_FALSE(opened[0].startsWith(elsewhere.path()));
    EXPECT_EQ(opened[0], HelpTarget(ProgramHelpFolders(), false));
}

TEST(HelpFile, TheBuildLaysTheHelpFileAndItsPagesBesideTheProgram) {
#ifndef TONALYX_HELP_BUILT
    GTEST_SKIP() << "chmcmd was not found when the build was configured";
#else
    const QDir program(QStringLiteral(TONALYX_PROGRAM_DIR));
    QFile chm(program.filePath(HelpFileName));
    ASSERT_TRUE(chm.open(QIODevice::ReadOnly)) << chm.fileName().toStdString();
    EXPECT_EQ(chm.read(4), "ITSF"); // the compiled help signature
    EXPECT_GT(chm.size(), 4000);
    EXPECT_EQ(HelpTarget({program.path()}, true), chm.fileName());
    EXPECT_EQ(HelpTarget({program.path()}, false), program.filePath("help/index.html"));
    for (const char* page : {"opening.html", "models.html", "smoothing.html", "saving.html",
                             "light.html", "tools.html"})
        EXPECT_TRUE(QFileInfo::exists(program.filePath(QStringLiteral("help/") + page))) << page;
#endif
}
