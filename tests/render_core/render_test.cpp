// tonalyx-render: the same PNG bytes as the window's Save for the same panel, its names,
// and what it refuses.
#include "app_core.h"
#include "commands.h"
#include "counting_room.h"
#include "hist_export.h"
#include "hist_panel.h"
#include "main_window.h"
#include "open_reasons.h"
#include "render_command.h"
#include "view_choices.h"

#include "declared_huge.h"
#include "output_capture.h"
#include "peak_memory.h"
#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>
#include <thread>

using namespace tonalyx;
using C = TCommandId;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Output of one run, through temporary files.
test::TCapturedRun RunAndRead(const TRenderOptions& options) {
    return test::CaptureOutput(
        [&](std::FILE* out, std::FILE* err) { return RunRender(options, out, err); });
}

class Render : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(QDir(Dir.path()).mkpath("out"));
        QImage img(80, 60, QImage::Format_RGB32);
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 80; ++x)
                img.setPixel(x, y, qRgb(x * 3, 255 - y * 4, (x * y) % 256));
        ASSERT_TRUE(img.save(Path("photo.jpg"), "JPG"));
        ASSERT_TRUE(img.save(Path("a.b.bmp"), "BMP"));
        Options.Images = {Path("photo.jpg")};
        Options.OutputDir = Path("out");
        Options.Size = DefaultRenderSize();
    }
    QString Path(const QString& name) const { return QDir(Dir.path()).filePath(name); }

    QTemporaryDir Dir;
    TRenderOptions Options;
};

} // namespace

TEST_F(Render, WritesTheBytesTheWindowSavesForTheSamePanel) {
    TAppCore core;
    TfrmMain window(core, {});
    test::StoreNormalWindow({1021, 780});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::OpenAndWait(window, Path("photo.jpg"));
    // As the window shows it, then with HSV and smoothing off, then on the log scale with
    // the Raw group on, which a picture without a sensor histogram leaves out.
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 1) {
            window.Commands()[C::acHSV]->trigger();
            window.Commands()[C::acSmoothingOn]->trigger();
            Options.Hsv = false;
            Options.Smoothing = false;
            Options.Force = true;
        }
        if (pass == 2) {
            window.Commands()[C::acLogScale]->trigger();
            window.ViewChoices()->SetRaw(true);
            Options.Scale = TCountScale::Log;
            Options.Raw = true;
        }
        Options.Size = window.HistPanel()->size();
        const test::TCapturedRun r = RunAndRead(Options);
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        const QString target = QDir(Path("out")).filePath("photo_histogram.png");
        EXPECT_EQ(r.Out.trimmed(), target);
        const std::unique_ptr<QBuffer> saved = window.Export().HistToPngStream();
        ASSERT_NE(saved, nullptr);
        EXPECT_EQ(ReadAll(target), saved->data()) << "pass " << pass;
    }
    window.close();
}

TEST_F(Render, NamesFollowSaveAndNothingIsOverwrittenUnlessForced) {
    QDir(Dir.path()).mkdir("again");
    QFile::copy(Path("photo.jpg"), Path("again/photo.jpg"));
    QFile broken(Path("broken.jpg"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a JPEG");
    broken.close();
    Options.Images = {Path("a.b.bmp"), Path("broken.jpg"), Path("photo.jpg"),
                      Path("again/photo.jpg")};
    test::TCapturedRun r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 1);
    const QDir out(Path("out"));
    EXPECT_EQ(out.entryList(QDir::Files),
              QStringList({"a_histogram.b.png", "photo_histogram.png"}));
    EXPECT_TRUE(r.Err.contains("broken.jpg")) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("again/photo.jpg")) << "the second of one name is skipped";
    EXPECT_EQ(r.Out.split('\n', Qt::SkipEmptyParts).size(), 2);

    // Again: both exist now and stay as they are.
    QFile mark(out.filePath("photo_histogram.png"));
    ASSERT_TRUE(mark.open(QIODevice::WriteOnly));
    mark.write("mine");
    mark.close();
    Options.Images = {Path("photo.jpg")};
    r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(ReadAll(out.filePath("photo_histogram.png")), "mine");
    Options.Force = true;
    r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(ReadAll(out.filePath("photo_histogram.png")).startsWith("\x89PNG"));
}

// A region's panel is the panel of the same pixels cut out; an image the region does not lie
// within fails alone.
TEST_F(Render, ARegionDrawsThePanelOfThePixelsCutOut) {
    const QImage whole(Path("a.b.bmp"));
    ASSERT_TRUE(whole.copy(29, 19, 51, 41).save(Path("cut.bmp"), "BMP")); // to the far edges
    ASSERT_TRUE(whole.copy(0, 0, 40, 30).save(Path("small.bmp"), "BMP"));
    Options.Images = {Path("cut.bmp")};
    ASSERT_EQ(RunAndRead(Options).Status, 0);
    Options.Images = {Path("small.bmp"), Path("a.b.bmp")};
    Options.Region = TRegion{29, 19, 51, 41};
    const test::TCapturedRun r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.trimmed().toStdString(),
              "tonalyx-render: " + Path("small.bmp").toStdString() +
                  ": The region 29,19,51,41 does not lie within the picture (40 x 30)");
    const QDir out(Path("out"));
    EXPECT_EQ(out.entryList(QDir::Files), QStringList({"a_histogram.b.png", "cut_histogram.png"}));
    EXPECT_EQ(ReadAll(out.filePath("a_histogram.b.png")),
              ReadAll(out.filePath("cut_histogram.png")));
    Options.Region.reset();
    Options.Force = true;
    ASSERT_EQ(RunAndRead(Options).Status, 0);
    EXPECT_NE(ReadAll(out.filePath("a_histogram.b.png")),
              ReadAll(out.filePath("cut_histogram.png")));
}

TEST_F(Render, AnUnwritableFolderWritesNothing) {
    Options.OutputDir = Path("missing");
    const test::TCapturedRun r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Path("missing")));
}

// Pictures are counted beside each other only as far as they fit in the memory left: one that
// does not fit even alone fails with the reason the tools give, and the others are written.
TEST_F(Render, APictureTooLargeForTheMemoryLeftFailsAloneFromItsHeader) {
    {
        const std::vector<std::uint8_t> bytes = test::DeclaredHugeProgressiveJpeg(20000, 20000);
        QFile file(Path("huge.jpg"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    Options.Images = {Path("photo.jpg"), Path("huge.jpg"), Path("a.b.bmp")};
    Options.MemoryLeft = [] { return std::uint64_t{200'000'000}; };
    const test::TPeakMemory memory;
    const test::TCapturedRun r = RunAndRead(Options);
    EXPECT_LT(memory.Growth(), 64 << 20);
    EXPECT_EQ(r.Status, 1);
    // Refused alone: in the memory left less what the drawing keeps.
    const std::int64_t left = 200'000'000 - PanelDrawingBytes(Options.Size);
    EXPECT_TRUE(r.Err.startsWith("tonalyx-render: " + Path("huge.jpg") +
                                 ": Its 20000 \u00D7 20000 pixels need "))
        << r.Err.toStdString();
    EXPECT_TRUE(r.Err.endsWith(
        QString(" MB of memory, and only %1 MB is free\n").arg((left + 500'000) / 1'000'000)))
        << r.Err.toStdString();
    EXPECT_EQ(QDir(Path("out")).entryList(QDir::Files),
              QStringList({"a_histogram.b.png", "photo_histogram.png"}));
}

// The drawing is admitted first: a panel that does not fit writes nothing.
TEST_F(Render, APanelTooLargeForTheMemoryLeftWritesNothing) {
    Options.Size = QSize(MaxRenderSide, MaxRenderSide);
    Options.MemoryLeft = [] { return std::uint64_t{500'000'000}; };
    const test::TCapturedRun r = RunAndRead(Options);
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Err.toStdString(),
              "tonalyx-render: a panel of 8192 \u00D7 8192 pixels needs 940 MB "
              "of memory to draw, and only 500 MB is free\n");
    EXPECT_TRUE(QDir(Path("out")).entryList(QDir::Files).isEmpty());
}

// A count that does not fit waits for one beside it to give its room back; one that does not
// fit while no other holds any is refused, so that none waits for ever.
TEST(CountingRoom, ACountWaitsForRoomOthersHoldAndIsRefusedOnlyAlone) {
    TCountingRoom room(10, [] { return std::uint64_t{110}; }); // 100 for the counts
    std::int64_t first = 0, second = 0, third = 0;
    ASSERT_FALSE(room.Take(1, 1, 60, first));
    EXPECT_EQ(first, 60);
    const auto waitUntilWaiting = [&room] {
        while (room.Waiting() == 0)
            std::this_thread::yield();
    };
    std::optional<TFailure> secondRefused{TFailure{"not asked", {}}};
    std::thread waiting([&] { secondRefused = room.Take(1, 1, 60, second); });
    waitUntilWaiting();
    EXPECT_EQ(second, 0);
    room.Release(first);
    waiting.join();
    EXPECT_FALSE(secondRefused);
    EXPECT_EQ(second, 60);
    // A further pass gives its own room back before it asks again.
    EXPECT_FALSE(room.Take(1, 1, 100, second));
    EXPECT_EQ(second, 100);
    std::optional<TFailure> thirdRefused;
    std::thread refused([&] { thirdRefused = room.Take(300, 200, 101, third); });
    waitUntilWaiting();
    room.Release(second);
    refused.join();
    ASSERT_TRUE(thirdRefused);
    EXPECT_EQ(thirdRefused->Reason, PictureOverMemoryLeft(300, 200, 101, 100).Reason);
    EXPECT_EQ(third, 0);
}

TEST(RenderArguments, UsageErrorsAndDefaults) {
    const struct {
        QStringList Args;
        bool Ok;
        int Status;
    } rows[] = {
        {{"x.jpg"}, true, 0},
        {{"--size", "20x150", "--models", "lab,RGB", "--smoothing", "off", "x.jpg"}, true, 0},
        {{"--help"}, false, 0},
        {{}, false, 2},
        {{"--size", "19x459", "x.jpg"}, false, 2},
        {{"--size", "243x149", "x.jpg"}, false, 2},
        {{"--size", "big", "x.jpg"}, false, 2},
        {{"--size", "8192x8192", "x.jpg"}, true, 0},
        {{"--size", "8193x459", "x.jpg"}, false, 2},
        {{"--size", "243x8193", "x.jpg"}, false, 2},
        {{"--size", "30000x30000", "x.jpg"}, false, 2},
        {{"--models", "", "x.jpg"}, false, 2},
        {{"--models", "rgb,cmyk", "x.jpg"}, false, 2},
        {{"--models", "raw", "x.jpg"}, false, 2},
        {{"--models", "hsv,raw", "x.jpg"}, true, 0},
        {{"--smoothing", "maybe", "x.jpg"}, false, 2},
        {{"--scale", "log", "x.jpg"}, true, 0},
        {{"--scale", "cubic", "x.jpg"}, false, 2},
        {{"--region", "0,0,10,10", "x.jpg"}, true, 0},
        {{"--region", "0,0,10", "x.jpg"}, false, 2},
        {{"--region", "0,0,0,10", "x.jpg"}, false, 2},
        {{"x.jpg", "--region"}, false, 2},
        {{"--output"}, false, 2},
        {{"--colour", "x.jpg"}, false, 2},
    };
    for (const auto& row : rows) {
        TRenderOptions options;
        int status = -1;
        const test::TStream sink = test::TemporaryStream();
        EXPECT_EQ(ParseRenderArguments(row.Args, options, status, sink.get(), sink.get()), row.Ok)
            << row.Args.join(' ').toStdString();
        if (!row.Ok) {
            EXPECT_EQ(status, row.Status) << row.Args.join(' ').toStdString();
        }
    }
    {
        TRenderOptions options;
        int status = 0;
        const test::TCapturedRun r = test::CaptureOutput([&](std::FILE* out, std::FILE* err) {
            ParseRenderArguments({"--size", "30000x30000", "x.jpg"}, options, status, out, err);
            return status;
        });
        EXPECT_TRUE(r.Err.startsWith(
            "tonalyx-render: the panel must be at most 8192 pixels wide and 8192 high\n"))
            << r.Err.toStdString();
    }
    TRenderOptions defaults;
    int status = 0;
    ASSERT_TRUE(ParseRenderArguments({"x.jpg"}, defaults, status, stdout, stderr));
    EXPECT_EQ(defaults.Size, QSize(243, 459));
    EXPECT_TRUE(defaults.Rgb && defaults.Hsv && defaults.Lab && defaults.Smoothing);
    EXPECT_FALSE(defaults.Raw);
    EXPECT_EQ(defaults.Scale, TCountScale::Linear);
    EXPECT_EQ(defaults.OutputDir, ".");
    EXPECT_FALSE(defaults.Force);
    EXPECT_FALSE(defaults.Region);
    ASSERT_TRUE(
        ParseRenderArguments({"--region", "5,6,7,8", "x.jpg"}, defaults, status, stdout, stderr));
    EXPECT_EQ(defaults.Region, (TRegion{5, 6, 7, 8}));
}
