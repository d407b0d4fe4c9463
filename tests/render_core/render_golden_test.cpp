// tonalyx-render writes, byte for byte, the stored pictures of the panel: several pictures,
// sizes, model sets, with and without smoothing; once through the command and once through
// the program as built.
#include "render_command.h"

#include "panel_golden.h"
#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

struct TGoldenRow {
    const char* Picture;
    int W, H;
    const char* Models; // as --models takes them
    bool Smoothing;

    QString Name() const {
        return QStringLiteral("render_%1_%2x%3_%4_%5")
            .arg(QString::fromLatin1(Picture))
            .arg(W)
            .arg(H)
            .arg(QString::fromLatin1(Models).replace(u',', u'_'))
            .arg(Smoothing ? QStringLiteral("smooth") : QStringLiteral("raw"));
    }
};

const TGoldenRow GoldenRows[] = {
    {"sample", 243, 459, "rgb,hsv,lab", true}, {"sample", 243, 459, "rgb,hsv,lab", false},
    {"sample", 300, 800, "rgb", true},         {"sample", 20, 150, "rgb,hsv,lab", true},
    {"sample", 420, 700, "hsv,lab", false},    {"gradient", 243, 459, "hsv,lab", true},
    {"gradient", 400, 300, "rgb,lab", false},  {"noise", 180, 900, "lab", false},
    {"noise", 243, 459, "rgb,hsv", true},      {"solid", 243, 459, "hsv", true},
    {"grey", 260, 600, "rgb,hsv", true},       {"primaries", 243, 459, "rgb,hsv,lab", false},
};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Arguments(const TGoldenRow& row, const QString& image, const QString& out) {
    return {QStringLiteral("--size"),
            QStringLiteral("%1x%2").arg(row.W).arg(row.H),
            QStringLiteral("--models"),
            QString::fromLatin1(row.Models),
            QStringLiteral("--smoothing"),
            row.Smoothing ? QStringLiteral("on") : QStringLiteral("off"),
            QStringLiteral("--output"),
            out,
            image};
}

class RenderGolden : public testing::TestWithParam<TGoldenRow> {
  protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }
    QTemporaryDir Dir;
};

TEST_P(RenderGolden, TheCommandWritesTheStoredPicture) {
    const TGoldenRow& row = GetParam();
    const QString image = test::WriteGoldenPicture(QString::fromLatin1(row.Picture), Dir.path());
    ASSERT_FALSE(image.isEmpty());
    TRenderOptions options;
    int status = -1;
    std::FILE* sink = std::tmpfile();
    ASSERT_TRUE(
        ParseRenderArguments(Arguments(row, image, Dir.path()), options, status, sink, sink));
    ASSERT_EQ(RunRender(options, sink, sink), 0);
    std::fclose(sink);
    test::ExpectGolden(ReadAll(QDir(Dir.path()).filePath(RenderTargetName(image))), row.Name());
}

INSTANTIATE_TEST_SUITE_P(Panel, RenderGolden, testing::ValuesIn(GoldenRows),
                         [](const testing::TestParamInfo<TGoldenRow>& i) {
                             return i.param.Name().toStdString();
                         });

// The program as built, with the platform it chooses itself, writes the same bytes.
TEST(RenderGoldenProgram, TheProgramWritesTheStoredPictures) {
    if (!qEnvironmentVariableIsEmpty("TONALYX_WRITE_GOLDEN"))
        GTEST_SKIP() << "the command's rows write the pictures";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const TGoldenRow& row : {GoldenRows[1], GoldenRows[6], GoldenRows[7]}) {
        const QString image =
            test::WriteGoldenPicture(QString::fromLatin1(row.Picture), dir.path());
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TONALYX_RENDER), Arguments(row, image, dir.path())
                                                          << QStringLiteral("--force"));
        ASSERT_TRUE(program.waitForFinished(60000)) << row.Name().toStdString();
        ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
        test::ExpectGolden(ReadAll(QDir(dir.path()).filePath(RenderTargetName(image))), row.Name());
    }
}

} // namespace
