// The welcome panel: its sample pictures beside the two explanatory texts, everything
// whole inside the panel's fixed size, and its links reachable from the keyboard.
#include "welcome_panel.h"
#include "welcome_samples.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <set>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

struct TShownPanel {
    QWidget Window;
    QAction Open{QStringLiteral("Open Image")};
    QAction Paste{QStringLiteral("Paste Image from Clipboard")};
    QAction Target{QStringLiteral("Varnel Solutions Products && News")};
    TWelcomePanel* Panel;

    TShownPanel() : Panel(new TWelcomePanel(&Open, &Paste, &Window)) {
        Panel->SetCompanyName(QStringLiteral("Varnel Tonalyx"));
        Panel->SetVersionText(QStringLiteral("ver 1.2.3"));
        Panel->SetTargetAction(&Target);
        Window.resize(900, 400);
        Panel->CentreIn(Window.size());
    }
    QLabel* TextLabel(const QString& start) const {
        for (QLabel* l : Panel->findChildren<QLabel*>())
            if (l->text().startsWith(start))
                return l;
        return nullptr;
    }
    QRect InPanel(const QWidget* w) const { return QRect(w->mapTo(Panel, QPoint()), w->size()); }
};

// How many pixels are drawn and how many colours they take.
std::pair<int, int> Ink(const QImage& image) {
    int drawn = 0;
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 0) {
                ++drawn;
                colours.insert(image.pixel(x, y));
            }
    return {drawn, static_cast<int>(colours.size())};
}

double MeanSaturation(const QImage& image, const QRect& part) {
    double sum = 0;
    int n = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255) {
                sum += QColor(image.pixel(x, y)).hsvSaturation();
                ++n;
            }
    return n ? sum / n : 0;
}

} // namespace

TEST(WelcomePanel, EachExplanatoryTextHasItsSamplePictureUnderIt) {
    TShownPanel w;
    w.Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.Window));
    const struct {
        const char* Text;
        const char* Sample;
    } rows[] = {{"Turn on desired histogram", "imSampleChoice"},
                {"Save histogram, copy it", "imSampleShare"}};
    for (const auto& row : rows) {
        const QLabel* text = w.TextLabel(QString::fromLatin1(row.Text));
        const auto* sample = w.Panel->findChild<QLabel*>(QString::fromLatin1(row.Sample));
        ASSERT_TRUE(text && sample) << row.Sample;
        ASSERT_FALSE(sample->pixmap().isNull()) << row.Sample;
        EXPECT_TRUE(sample->isVisible()) << row.Sample;
        const QRect t = w.InPanel(text);
        const QRect s = w.InPanel(sample);
        EXPECT_GE(s.top(), t.bottom()) << row.Sample;
        EXPECT_LT(s.top() - t.bottom(), 30) << row.Sample;
        EXPECT_LT(std::abs(s.left() - t.left()), 10) << row.Sample;
        EXPECT_GE(s.width(), sample->pixmap().deviceIndependentSize().width()) << row.Sample;
    }
}

TEST(WelcomePanel, EverythingFitsWholeInItsFixedSize) {
    TShownPanel w;
    w.Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.Window));
    EXPECT_EQ(w.Panel->size(), TWelcomePanel::DesignSize);
    for (const QWidget* child : w.Panel->findChildren<QWidget*>()) {
        if (!child->isVisible())
            continue;
        EXPECT_TRUE(w.Panel->rect().contains(w.InPanel(child)))
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
    // The buttons keep their whole captions.
    for (const QToolButton* b : w.Panel->findChildren<QToolButton*>())
        EXPECT_GE(b->width(), b->sizeHint().width()) << b->text().toStdString();
}

TEST(WelcomePanel, SamplesAreDrawnHistograms) {
    const QImage choice = HistogramChoiceSample().toImage();
    const QImage share = SharedPanelSample().toImage();
    for (const QImage* image : {&choice, &share}) {
        const auto [drawn, colours] = Ink(*image);
        EXPECT_GT(drawn, image->width() * image->height() / 3);
        EXPECT_GT(colours, 20);
    }
    // Of the three histograms the middle one is switched off: grey where the others are not.
    const int third = choice.width() / 3;
    const int top = 17;
    const QRect histogram(2, top, third - 6, choice.height() - top - 1);
    const double rgb = MeanSaturation(choice, histogram);
    const double hsv = MeanSaturation(choice, histogram.translated(third, 0));
    EXPECT_LT(hsv * 4, rgb);
    // Drawn sharp on screens that scale.
    const QPixmap doubled = HistogramChoiceSample(2.0);
    EXPECT_EQ(doubled.size(), HistogramChoiceSample().size() * 2);
    EXPECT_EQ(doubled.deviceIndependentSize(), QSizeF(HistogramChoiceSample().size()));
}

TEST(WelcomePanel, TheTextLinksAreReachedByTabAndFollowedByEnter) {
    TShownPanel w;
    w.Window.show();
    w.Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.Window));
    QSignalSpy help(w.Panel, &TWelcomePanel::HelpIndexClicked);
    QSignalSpy product(w.Panel, &TWelcomePanel::ProductPageClicked);
    QSignalSpy company(w.Panel, &TWelcomePanel::CompanyPageClicked);
    for (const char* name : {"lblLocalHelp", "lblProductPage", "lblCompanyPage"}) {
        auto* link = w.Panel->findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_TRUE(link) << name;
        EXPECT_TRUE(link->focusPolicy() & Qt::TabFocus) << name;
        link->setFocus(Qt::TabFocusReason);
        const QImage focused = link->grab().toImage();
        QTest::keyClick(link, Qt::Key_Return);
        w.Window.setFocus();
        EXPECT_NE(focused, link->grab().toImage()) << name; // the frame shows the focus
    }
    EXPECT_EQ(help.count(), 1);
    EXPECT_EQ(product.count(), 1);
    EXPECT_EQ(company.count(), 1);
    // The logos lead to the same pages: they stay the mouse's.
    for (const char* name : {"imProdLogo", "imCompanyLogo"})
        EXPECT_EQ(w.Panel->findChild<QLabel*>(QString::fromLatin1(name))->focusPolicy(),
                  Qt::NoFocus)
            << name;
}
