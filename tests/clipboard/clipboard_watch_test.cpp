// The clipboard watch over the toolkit's clipboard and over a reader that answers later, and
// the choice of the picture format among those a clipboard offers.
#include "clipboard_watch.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>

#include <deque>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

// Answers when the test says so, as a reader asking a slow owner does.
class TLaterReader final : public TClipboardReader {
  public:
    struct TLog {
        int Asked = 0;
        int Cancelled = 0; // calls that dropped a report
        std::deque<std::function<void(TOutcome<bool>)>> Questions;
        std::deque<std::function<void(TOutcome<QImage>)>> Takes;
    };
    explicit TLaterReader(TLog& log) : FLog(log) {}
    void AskHoldsPicture(std::function<void(TOutcome<bool>)> report) override {
        ++FLog.Asked;
        FLog.Questions.push_back(std::move(report));
    }
    void FetchPicture(std::function<void(TOutcome<QImage>)> report) override {
        FLog.Takes.push_back(std::move(report));
    }
    void CancelQuestions() override { Drop(FLog.Questions); }
    void CancelPictures() override { Drop(FLog.Takes); }

  private:
    template <class T> void Drop(std::deque<T>& reports) {
        FLog.Cancelled += reports.empty() ? 0 : 1;
        reports.clear();
    }
    TLog& FLog;
};

void Answer(TLaterReader::TLog& log, TOutcome<bool> holds) {
    auto report = std::move(log.Questions.front());
    log.Questions.pop_front();
    report(std::move(holds));
}

} // namespace

TEST(ClipboardWatch, TellsEachChangeOfWhetherTheToolkitsClipboardOffersAPicture) {
    QGuiApplication::clipboard()->clear();
    TClipboardWatch watch(nullptr, MakeToolkitClipboardReader());
    EXPECT_FALSE(watch.HoldsPicture());
    QSignalSpy told(&watch, &TClipboardWatch::Changed);
    QImage picture(6, 4, QImage::Format_RGB32);
    picture.fill(qRgb(10, 20, 30));

    SetClipboardPicture(picture);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.count() == 1; }, 5000));
    EXPECT_TRUE(watch.HoldsPicture());
    int taken = 0;
    EXPECT_TRUE(watch.TakePicture([&](TOutcome<QImage> got) {
        ++taken;
        ASSERT_TRUE(got.Ok());
        EXPECT_EQ(got->convertToFormat(QImage::Format_RGB32), picture);
    }));
    EXPECT_EQ(taken, 1); // the toolkit's clipboard answers at once
    QGuiApplication::clipboard()->setText(QStringLiteral("words"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.count() == 2; }, 5000));
    EXPECT_FALSE(told.last().first().toBool());
    EXPECT_TRUE(ClipboardPicture().isNull());

    QGuiApplication::clipboard()->setText(QStringLiteral("other words")); // still no picture
    watch.Stop();
    SetClipboardPicture(picture);
    QCoreApplication::processEvents();
    EXPECT_EQ(told.count(), 2);
    EXPECT_FALSE(watch.TakePicture([](TOutcome<QImage>) { ADD_FAILURE(); }));
    QGuiApplication::clipboard()->clear();
}

TEST(ClipboardWatch, AChangeDropsTheQuestionStillOutAndATakeCanBeCancelled) {
    TLaterReader::TLog log;
    TClipboardWatch watch(nullptr, std::make_unique<TLaterReader>(log));
    QSignalSpy told(&watch, &TClipboardWatch::Changed);
    EXPECT_EQ(log.Asked, 1);

    // An owner that never finishes its answer holds up no question about the next owner.
    QGuiApplication::clipboard()->setText(QStringLiteral("a change while asking"));
    QGuiApplication::clipboard()->setText(QStringLiteral("and another"));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.Asked, 3);
    EXPECT_EQ(log.Cancelled, 2);
    ASSERT_EQ(log.Questions.size(), 1U); // the newest
    Answer(log, true);
    EXPECT_TRUE(watch.HoldsPicture());
    EXPECT_EQ(told.count(), 1);
    EXPECT_EQ(log.Asked, 3);
    QGuiApplication::clipboard()->setText(QStringLiteral("a third"));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.Cancelled, 2);                       // none was out
    Answer(log, TOutcome<bool>::Failure("no answer")); // a failure changes nothing
    EXPECT_TRUE(watch.HoldsPicture());
    EXPECT_EQ(told.count(), 1);

    // One picture is taken at a time; the report comes when the reader answers.
    int taken = 0;
    EXPECT_TRUE(watch.TakePicture([&](TOutcome<QImage>) { ++taken; }));
    EXPECT_TRUE(watch.Taking());
    EXPECT_FALSE(watch.TakePicture([&](TOutcome<QImage>) { ++taken; }));
    log.Takes.front()(QImage());
    log.Takes.pop_front();
    EXPECT_EQ(taken, 1);
    EXPECT_FALSE(watch.Taking());

    // A cancelled take reports nothing, and the next one is taken.
    EXPECT_FALSE(watch.CancelTake());
    EXPECT_TRUE(watch.TakePicture([&](TOutcome<QImage>) { ADD_FAILURE(); }));
    EXPECT_TRUE(watch.CancelTake());
    EXPECT_TRUE(log.Takes.empty());
    EXPECT_FALSE(watch.Taking());
    EXPECT_TRUE(watch.TakePicture([&](TOutcome<QImage>) { ++taken; }));
    log.Takes.front()(QImage());
    log.Takes.pop_front();
    EXPECT_EQ(taken, 2);

    EXPECT_TRUE(watch.TakePicture([&](TOutcome<QImage>) { ++taken; }));
    watch.Stop(); // the window closes: what is still asked is dropped
    EXPECT_TRUE(log.Takes.empty());
    EXPECT_FALSE(watch.Taking());
    QGuiApplication::clipboard()->clear();
}

TEST(ClipboardFormats, ThePreferredReadablePictureFormatIsChosen) {
    const QStringList readable = ReadablePictureFormats();
    ASSERT_GE(readable.size(), 2);
    EXPECT_EQ(readable.mid(0, 2), QStringList({"image/png", "image/bmp"}));
    EXPECT_TRUE(readable.contains("image/jpeg"));
    const struct {
        QStringList Offered;
        QString Chosen;
    } rows[] = {
        {{"TARGETS", "image/bmp", "text/plain", "image/png"}, "image/png"},
        {{"image/jpeg", "image/bmp"}, "image/bmp"},
        {{"TIMESTAMP", "image/jpeg"}, "image/jpeg"},
        {{"TARGETS", "text/plain", "UTF8_STRING", "image/x-no-such-format"}, ""},
        {{}, ""},
    };
    for (const auto& r : rows)
        EXPECT_EQ(PictureFormatOffered(r.Offered, readable), r.Chosen)
            << r.Offered.join(' ').toStdString();
}
