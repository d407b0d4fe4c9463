// The readout in the window: the bins under the pointer with their raw count and share,
// cleared on leaving, the clipping line after an image opens, the statistics tooltip, and
// an export that stays the same pixel for pixel while the pointer moves over the panel.
#include "hist_readout.h"

#include "app_core.h"
#include "hist_export.h"
#include "hist_panel.h"
#include "main_window.h"
#include "render.h"
#include "statistics.h"
#include "status_bar.h"

#include "qt_environment.h"
#include "stored_window_state.h"
#include "window_opens.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <memory>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

class Readout : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        test::StoreNormalWindow({1021, 780});
        test::ShowNewWindow(Core, Window);
    }
    void TearDown() override { Window->close(); }
    // Saves the picture losslessly and opens it in the window.
    void Open(const QImage& picture) {
        const QString path = QDir(Dir.path()).filePath("picture.bmp");
        ASSERT_TRUE(picture.save(path, "BMP"));
        test::OpenAndWait(*Window, path);
    }
    THistPanel* Panel() const { return Window->HistPanel(); }
    // The width of the histogram's image control.
    int Width(TChannel c) const { return Panel()->Image(c).ControlWidth(); }
    // The pointer over column x of the histogram, 10 px below its top.
    void MoveTo(TChannel c, int x) {
        const QPointF at = QPointF(Panel()->Scene().ImageRect(c).topLeft()) + QPointF(x + 0.5, 10);
        QMouseEvent move(QEvent::MouseMove, at, Panel()->mapToGlobal(at), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Panel(), &move);
    }
    // The pointer onto the bevel left of the histogram, then out of the panel.
    void Leave(TChannel c) {
        MoveTo(c, -2);
        EXPECT_TRUE(Text().isEmpty()) << "over the bevel of " << ChannelName(c);
        MoveTo(c, 0);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(Panel(), &leave);
    }
    QString Text() const { return Window->StatusBar()->ReadoutText(); }

    QTemporaryDir Dir;
    TAppCore Core;
    std::unique_ptr<TfrmMain> Window;
};

} // namespace

QImage Solid(int w, int h, QColor colour) {
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

TEST_F(Readout, OneColourShowsOneBinHoldingEveryPixelAtItsColumn) {
    Open(Solid(64, 48, QColor(10, 20, 30)));
    const TAllChanel& origin = Core.Hist->Raw();
    for (TChannel c : AllChannels) {
        if (c == TChannel::RGB)
            continue; // three bins: one per primary
        int bin = -1;
        for (int i = 0; i < HistBinCount; ++i)
            if (origin[c].Hist[static_cast<std::size_t>(i)] != 0)
                bin = i;
        ASSERT_EQ(origin[c].Hist[static_cast<std::size_t>(bin)], 3072u) << ChannelName(c);
        const int wc = Width(c);
        int shown = 0;
        for (int x = 0; x <= wc - 2; ++x) {
            MoveTo(c, x);
            const TBinRange bins = ColumnBins(origin[c].Others, x, wc);
            const QString expected = bins.First <= bin && bin <= bins.Last
                                         ? QStringLiteral(": 3072 px, 100.0 % at or below")
                                     : bins.Last < bin
                                         ? QStringLiteral(": 0 px, 0.0 % at or below")
                                         : QStringLiteral(": 0 px, 100.0 % at or below");
            ASSERT_EQ(Text(), QString::fromUtf8(ChannelAxis(c).Label) + ' ' +
                                  THistReadout::ValueText(c, bins.First, bins.Last) + expected)
                << ChannelName(c) << " column " << x;
            shown += Text().contains("3072 px");
        }
        EXPECT_GE(shown, 1) << ChannelName(c);
        EXPECT_TRUE(Window->StatusBar()
                        ->findChild<QWidget*>("lblReadout")
                        ->toolTip()
                        .contains("3072 pixels counted"));
        Leave(c);
        EXPECT_TRUE(Text().isEmpty());
    }
    // Known values in the channels' units: hue in quarter degrees, value in percent.
    MoveTo(TChannel::R, Width(TChannel::R) - 2);
    EXPECT_TRUE(Text().startsWith("R 255: 0 px, 100.0 %")) << Text().toStdString();
}

TEST_F(Readout, ClippingLineAndStatisticsTooltips) {
    // 100 pixels: 7 black, 3 white, 5 pure red, the rest mid grey.
    QImage picture = Solid(10, 10, QColor(128, 128, 128));
    for (int i = 0; i < 7; ++i)
        picture.setPixel(i, 0, qRgb(0, 0, 0));
    for (int i = 0; i < 3; ++i)
        picture.setPixel(i, 1, qRgb(255, 255, 255));
    for (int i = 0; i < 5; ++i)
        picture.setPixel(i, 2, qRgb(255, 0, 0));
    Open(picture);
    EXPECT_EQ(Window->StatusBar()->ClippingText(),
              "Clipped: R 7.0 % / 8.0 %, G 12.0 % / 3.0 %, B 12.0 % / 3.0 %");
    EXPECT_EQ(Panel()->ToolTip(TChannel::R), "R: 100 pixels counted\n"
                                             "mean 129.20, median 128, sd 49.35\n"
                                             "7.0 % at 0, 8.0 % at 255");
    const QString hue = Panel()->ToolTip(TChannel::H);
    EXPECT_TRUE(hue.contains("circular sd") && !hue.contains("median")) << hue.toStdString();
    EXPECT_TRUE(Panel()->ToolTip(TChannel::V).endsWith("7.0 % at 0.0 %, 8.0 % at 100.0 %"))
        << Panel()->ToolTip(TChannel::V).toStdString();
    // Resting over a histogram shows its tooltip; over a bevel the panel has none to show.
    const auto helpAt = [this](QPoint at) {
        QHelpEvent help(QEvent::ToolTip, at, Panel()->mapToGlobal(at));
        QApplication::sendEvent(Panel(), &help);
        return help.isAccepted();
    };
    const QRect g = Panel()->Scene().ImageRect(TChannel::G);
    EXPECT_TRUE(helpAt(g.center()));
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), Panel()->ToolTip(TChannel::G));
    EXPECT_FALSE(helpAt(g.topLeft() - QPoint(1, 1)));
    QToolTip::hideText();
}

TEST_F(Readout, TheExportDoesNotChangeWhileThePointerMoves) {
    Open(Solid(64, 48, QColor(200, 120, 40)));
    const QImage before = Window->Export().MakeHistBitmap();
    for (TChannel c : AllChannels) {
        for (int x = 0; x < Width(c); x += 7)
            MoveTo(c, x);
        if (c == TChannel::L) {
            ASSERT_EQ(Window->Export().MakeHistBitmap(), before) << "pointer over L*";
        }
        Leave(c);
    }
    EXPECT_EQ(Window->Export().MakeHistBitmap(), before);
}

TEST(ReadoutText, ValuesInTheChannelsUnits) {
    const struct {
        TChannel Channel;
        int First, Last;
        const char* Text;
    } rows[] = {
        {TChannel::RGB, 12, 14, "12–14"},  {TChannel::H, 49, 51, "12.25–12.75°"},
        {TChannel::S, 301, 301, "50.2 %"}, {TChannel::A, 249, 256, "−3.5–0.0"},
        {TChannel::B_, 510, 510, "127.0"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(THistReadout::ValueText(r.Channel, r.First, r.Last), QString::fromUtf8(r.Text))
            << ChannelName(r.Channel) << " " << r.First;
}
