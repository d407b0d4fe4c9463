// The X11 clipboard asked over a connection of our own, against a program that owns the
// clipboard on an X server of the test's own: one that never answers, or answers a little at
// a time, holds up neither the main thread's timers nor a paste beyond the time-outs, nor
// beyond a cancel; one that answers is read, in one piece or in many. Skipped where there is
// no Xvfb.
#include "clipboard_watch.h"
#include "x11_selection.h"

#include "qt_environment.h"
#include "x_clipboard_owner.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

// Short for the test; the program allows its owners more.
constexpr std::chrono::milliseconds Timeout{1000};
constexpr std::chrono::milliseconds Whole{3000};
// A piece of a trickling owner's answer comes well within Timeout.
const QStringList Trickling = {"trickle", "image/png", "200"};
constexpr int Bound = test::XWaitBound;
using test::TClipboardOwner;
using test::TXServer;

QImage Picture() {
    QImage p(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < p.width(); ++x)
            p.setPixel(x, y, qRgb(x * 7, y * 11, (x + y) * 3));
    return p;
}

QByteArray Encoded(const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, format);
    return bytes;
}

class X11Clipboard : public testing::Test {
  protected:
    void SetUp() override {
        if (!TXServer::Get().Running())
            GTEST_SKIP() << "no Xvfb to run an X server";
        Reader = MakeX11ClipboardReader(TXServer::Get().Display(), Timeout, Whole, nullptr);
    }

    QStringList Serve(const char* format, const QByteArray& bytes, int piece = 0) {
        return TClipboardOwner::Serving(format, bytes, Dir.filePath(QStringLiteral("served")),
                                        piece);
    }

    // Asks, counting the ticks of a main-thread timer until the answer comes.
    template <class T> T Wait(const std::function<void(std::function<void(T)>)>& ask) {
        std::optional<T> answer;
        QTimer timer;
        int ticks = 0;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        ask([&](T got) {
            TicksWhileAsking = ticks;
            answer.emplace(std::move(got));
        });
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, Bound));
        return answer ? std::move(*answer) : T::Failure("no answer at all");
    }
    TOutcome<bool> Holds() {
        return Wait<TOutcome<bool>>([this](auto report) { Reader->AskHoldsPicture(report); });
    }
    TOutcome<QImage> Take() {
        return Wait<TOutcome<QImage>>([this](auto report) { Reader->FetchPicture(report); });
    }

    QTemporaryDir Dir;
    std::unique_ptr<TClipboardReader> Reader;
    int TicksWhileAsking = 0;
};

} // namespace

TEST_F(X11Clipboard, AnOwnerThatNeverAnswersHoldsUpNoTimerAndFailsThePasteWithItsReason) {
    TClipboardOwner owner({"silent"});
    ASSERT_TRUE(owner.Ready());

    const TOutcome<bool> holds = Holds();
    EXPECT_FALSE(holds.Ok());
    EXPECT_EQ(holds.Reason(), OwnerSilentReason);
    // A blocked main thread would have seen no tick (or one, released late).
    EXPECT_GE(TicksWhileAsking, 3);

    const TOutcome<QImage> taken = Take();
    EXPECT_FALSE(taken.Ok());
    EXPECT_EQ(taken.Reason(), OwnerSilentReason);
    EXPECT_GE(TicksWhileAsking, 3);

    // The watch the window uses keeps what it knew, and its paste fails the same way.
    TClipboardWatch watch(
        nullptr, MakeX11ClipboardReader(TXServer::Get().Display(), Timeout, Whole, nullptr));
    std::optional<TOutcome<QImage>> pasted;
    ASSERT_TRUE(watch.TakePicture([&](TOutcome<QImage> got) { pasted.emplace(std::move(got)); }));
    EXPECT_FALSE(pasted.has_value()); // nothing waited for within the call
    ASSERT_TRUE(QTest::qWaitFor([&] { return pasted.has_value(); }, Bound));
    EXPECT_EQ(pasted->Reason(), OwnerSilentReason);
    EXPECT_FALSE(watch.HoldsPicture());
}

TEST_F(X11Clipboard, AnOwnerThatAnswersALittleAtATimeIsGivenUpAtTheWholeAnswersDeadline) {
    {
        TClipboardOwner owner(Trickling);
        ASSERT_TRUE(owner.Ready());
        EXPECT_EQ(Holds().Reason(), OwnerSlowReason);
        EXPECT_GE(TicksWhileAsking, 3);
        EXPECT_EQ(Take().Reason(), OwnerSlowReason);
    }
    // The next owner is read as usual.
    TClipboardOwner owner(Serve("image/png", Encoded(Picture(), "PNG"), 97));
    ASSERT_TRUE(owner.Ready());
    const TOutcome<QImage> taken = Take();
    ASSERT_TRUE(taken.Ok()) << taken.Reason();
    EXPECT_EQ(taken->convertToFormat(QImage::Format_RGB32), Picture());
}

TEST_F(X11Clipboard, ACancelledQuestionOrPasteReportsNothingAndHoldsUpNoLaterOne) {
    // Given up only long after the test's bound: the cancel alone frees the workers.
    Reader = MakeX11ClipboardReader(TXServer::Get().Display(), Timeout,
                                    std::chrono::milliseconds(10 * Bound), nullptr);
    {
        TClipboardOwner owner(Trickling);
        ASSERT_TRUE(owner.Ready());
        int reports = 0;
        for (int i = 0; i < 2; ++i) { // as many of each as the reader has workers
            Reader->AskHoldsPicture([&](TOutcome<bool>) { ++reports; });
            Reader->FetchPicture([&](TOutcome<QImage>) { ++reports; });
        }
        QTest::qWait(500); // well into the answers
        Reader->CancelQuestions();
        Reader->CancelPictures();
        QTest::qWait(200);
        EXPECT_EQ(reports, 0);
    }
    TClipboardOwner owner(Serve("image/png", Encoded(Picture(), "PNG")));
    ASSERT_TRUE(owner.Ready());
    const TOutcome<bool> holds = Holds();
    ASSERT_TRUE(holds.Ok()) << holds.Reason();
    EXPECT_TRUE(*holds);
    const TOutcome<QImage> taken = Take();
    ASSERT_TRUE(taken.Ok()) << taken.Reason();
    EXPECT_EQ(taken->convertToFormat(QImage::Format_RGB32), Picture());
}

TEST_F(X11Clipboard, AnAnsweringOwnersPictureIsTakenInOnePieceOrMany) {
    const QImage picture = Picture();
    const QByteArray png = Encoded(picture, "PNG");
    const struct {
        const char* Name;
        const char* Format;
        QByteArray Bytes;
        int Piece;
        bool Holds;
        bool Readable;
        const char* Failure;
    } rows[] = {
        {"PNG", "image/png", png, 0, true, true, ""},
        {"PNG in pieces", "image/png", png, 97, true, true, ""},
        {"BMP", "image/bmp", Encoded(picture, "BMP"), 0, true, true, ""},
        {"BMP in pieces", "image/bmp", Encoded(picture, "BMP"), 1000, true, true, ""},
        {"a broken PNG", "image/png", png.left(40), 0, true, false, ""},
        {"text only", "text/plain", "words", 0, false, false, NoPictureReason},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.Name);
        TClipboardOwner owner(Serve(r.Format, r.Bytes, r.Piece));
        ASSERT_TRUE(owner.Ready());
        const TOutcome<bool> holds = Holds();
        ASSERT_TRUE(holds.Ok()) << holds.Reason();
        EXPECT_EQ(*holds, r.Holds);
        const TOutcome<QImage> taken = Take();
        EXPECT_EQ(taken.Reason(), r.Failure);
        if (taken.Ok()) {
            EXPECT_EQ(taken->convertToFormat(QImage::Format_RGB32),
                      r.Readable ? picture : QImage());
        }
    }
}

TEST_F(X11Clipboard, AnAnswerBeyondTheSizeBoundIsRefusedInOnePieceOrMany) {
    const QByteArray png = Encoded(Picture(), "PNG");
    const auto size = std::size_t(png.size());
    for (int piece : {0, 97}) {
        SCOPED_TRACE(piece);
        TClipboardOwner owner(Serve("image/png", png, piece));
        ASSERT_TRUE(owner.Ready());
        for (std::size_t bound : {size, size - 1}) {
            TSelectionRequest request;
            request.Display = TXServer::Get().Display().toStdString();
            request.Timeout = Timeout;
            request.Whole = Whole;
            request.MaxBytes = bound;
            const auto data = FetchClipboard(request, {"image/png"}, {});
            if (bound == size) {
                ASSERT_TRUE(data.Ok()) << data.Reason();
                EXPECT_EQ(data->Bytes.size(), size);
            } else {
                EXPECT_EQ(data.Reason(), "The clipboard's data is too large");
            }
        }
    }
}

TEST_F(X11Clipboard, AnUnownedClipboardOffersNoPicture) {
    const TOutcome<bool> holds = Holds();
    ASSERT_TRUE(holds.Ok()) << holds.Reason();
    EXPECT_FALSE(*holds);
    EXPECT_EQ(Take().Reason(), NoPictureReason);
}

TEST(X11ClipboardDisplay, AMissingDisplayIsAFailureNotAHang) {
    TSelectionRequest request;
    request.Display = "unix:/no/such/display:0";
    const auto formats = AskClipboardFormats(request, {});
    EXPECT_FALSE(formats.Ok());
    EXPECT_EQ(formats.Reason(), "The clipboard cannot be reached");
}
