// The histogram panel as a widget: the geometry it really gets, the picture sizes, one
// redraw per relayout, showing and hiding the models through their commands, and what
// the engine's drawing looks like in a grab of the panel.
#include "hist_panel.h"

#include "histogram.h"
#include "render.h"
#include "raster_fixture.h"
#include "colour_strips.h"
#include "hist_layout.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace tonalyx;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QRect& r, std::ostream* os) {
    *os << "(" << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height() << ")";
}
inline void PrintTo(const QSize& s, std::ostream* os) {
    *os << s.width() << " x " << s.height();
}
QT_END_NAMESPACE

namespace {

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

constexpr TChannel RGBChannels[] = {TChannel::RGB, TChannel::R, TChannel::G, TChannel::B};
constexpr TChannel HSVChannels[] = {TChannel::H, TChannel::S, TChannel::V};
constexpr TChannel LabChannels[] = {TChannel::L, TChannel::A, TChannel::B_};

// The panel in a window of its own, as the main window holds it, with the three commands.
struct TRig {
    QWidget Host;
    QAction acRGB{"RGB"}, acHSV{"HSV"}, acLab{"LAB"};
    THistPanel* Panel;
    int Renders = 0;
    // Set when a redraw saw a picture that was not one pixel smaller than its control.
    bool PictureMismatchAtRender = false;

    TRig(int W, int H, bool rgb, bool hsv, bool lab) : Panel(new THistPanel(&Host)) {
        Host.resize(W + 100, H + 100);
        acRGB.setCheckable(true);
        acHSV.setCheckable(true);
        acLab.setCheckable(true);
        acRGB.setChecked(rgb);
        acHSV.setChecked(hsv);
        acLab.setChecked(lab);
        Panel->SetModelActions(&acRGB, &acHSV, &acLab);
        Panel->SetRenderCallback([this] {
            ++Renders;
            for (TChannel c : AllChannels) {
                const THistImage* im = Panel->Image(c);
                if (im->Picture().size() != QSize(im->width() - 1, im->height() - 1))
                    PictureMismatchAtRender = true;
            }
        });
        Panel->setGeometry(0, 0, W, H);
        Panel->HistSetVisibleAndHeightCorr(nullptr);
        Host.show();
    }

    QRect InPanel(const QWidget* w) const {
        return QRect(w->mapTo(Panel, QPoint(0, 0)), w->size());
    }
    int Top(THistTab t) const { return Panel->Tab(t)->y(); }
};

// ---------------------------------------------------------------- geometry

struct TGeometryCase {
    const char* Name;
    int W, H;
    bool Rgb, Hsv, Lab;
    int P;                        // expected panel height
    std::array<int, 3> TabHeight; // tabRGB, tabHSV, tabLAB
};

class PanelGeometry : public testing::TestWithParam<TGeometryCase> {};

TEST_P(PanelGeometry, WidgetsSitWhereTheArithmeticPutsThem) {
    const TGeometryCase& c = GetParam();
    TRig rig(c.W, c.H, c.Rgb, c.Hsv, c.Lab);
    THistPanel& p = *rig.Panel;
    ASSERT_EQ(p.size(), QSize(c.W, c.H));
    EXPECT_EQ(p.PanelHeight(), c.P);

    // The visible tabs follow each other from the top in the order RGB, HSV, Lab, at full width.
    int y = 0;
    for (THistTab t : {THistTab::RGB, THistTab::HSV, THistTab::LAB}) {
        const THistTabControl* tab = p.Tab(t);
        EXPECT_EQ(tab->height(), c.TabHeight[static_cast<std::size_t>(t)])
            << tab->objectName().toStdString();
        EXPECT_EQ(tab->width(), c.W);
        if (tab->isHidden())
            continue;
        EXPECT_EQ(tab->geometry(), QRect(0, y, c.W, c.TabHeight[static_cast<std::size_t>(t)]))
            << tab->objectName().toStdString();
        y += tab->height();
    }
    EXPECT_LE(y, c.H);

    // Inside each tab: 20 px above the first panel, 4 below the last, 4 on either side.
    const std::vector<std::vector<QWidget*>> items = {
        {p.pnRGB_RGB, p.pnRGB_R, p.pnRGB_G, p.pnRGB_B},
        {p.pnHSV_H, p.pnHSV_H1, p.pnHSV_S, p.pnHSV_V},
        {p.pnLab_L, p.pnLab_A, p.pnLab_A1, p.pnLab_B, p.pnLab_B1}};
    for (std::size_t t = 0; t < items.size(); ++t) {
        int top = 20;
        for (QWidget* item : items[t]) {
            const bool strip = item == p.pnHSV_H1 || item == p.pnLab_A1 || item == p.pnLab_B1;
            EXPECT_EQ(item->geometry(), QRect(4, top, c.W - 8, strip ? 5 : c.P))
                << item->objectName().toStdString();
            top += item->height();
        }
        EXPECT_EQ(top + 4, p.Tab(static_cast<THistTab>(t))->height());
    }

    // Each image control is its panel less the 1-px bevel, 10 px narrower than the
    // container; its picture is one pixel smaller again in each direction.
    for (TChannel ch : AllChannels) {
        const THistImage* im = p.Image(ch);
        EXPECT_EQ(im->geometry(), QRect(1, 1, c.W - 10, c.P - 2)) << im->objectName().toStdString();
        EXPECT_EQ(im->Picture().size(), QSize(c.W - 11, c.P - 3)) << im->objectName().toStdString();
    }
    for (QWidget* s : std::initializer_list<QWidget*>{p.imHSV_H1, p.imLAB_A1, p.imLAB_B1})
        EXPECT_EQ(s->geometry(), QRect(1, 1, c.W - 10, 3)) << s->objectName().toStdString();
}

const TGeometryCase GeometryCases[] = {
    {"DesignWidthAllModels", 243, 459, true, true, true, 37, {172, 140, 145}},
    {"DesignWidthOnlyRGB", 243, 459, true, false, false, 108, {456, 353, 358}},
    {"OnlyHSVTall", 243, 900, false, true, false, 140, {584, 449, 454}},
    {"WideAllModels", 300, 800, true, true, true, 71, {308, 242, 247}},
    {"HSVAndLab", 243, 459, false, true, true, 66, {288, 227, 232}},
    {"Smallest", 20, 150, true, true, true, 6, {48, 47, 52}},
};

INSTANTIATE_TEST_SUITE_P(Panel, PanelGeometry, testing::ValuesIn(GeometryCases),
                         [](const testing::TestParamInfo<TGeometryCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(PanelGeometry, NamesOfTheComponents) {
    TRig rig(243, 459, true, true, true);
    const THistPanel& p = *rig.Panel;
    EXPECT_EQ(p.objectName(), "pnHistContainer");
    const char* names[] = {
        "tabRGB",   "tabHSV",    "tabLAB",    "pnRGB_RGB", "pnRGB_R", "pnRGB_G",  "pnRGB_B",
        "pnHSV_H",  "pnHSV_H1",  "pnHSV_S",   "pnHSV_V",   "pnLab_L", "pnLab_A",  "pnLab_A1",
        "pnLab_B",  "pnLab_B1",  "imRGB_RGB", "imRGB_R",   "imRGB_G", "imRGB_B",  "imHSV_H",
        "imHSV_S",  "imHSV_V",   "imLAB_L",   "imLAB_A",   "imLAB_B", "imHSV_H1", "imLAB_A1",
        "imLAB_B1", "lblLAB_A1", "lblLAB_B1"};
    for (const char* n : names)
        EXPECT_NE(p.findChild<QWidget*>(QString::fromLatin1(n)), nullptr) << n;
    EXPECT_EQ(p.tabRGB->Caption(), "RGB");
    EXPECT_EQ(p.tabHSV->Caption(), "HSV");
    EXPECT_EQ(p.tabLAB->Caption(), "Lab");
    EXPECT_EQ(p.lblLAB_A1->text(), "^");
    EXPECT_EQ(p.Image(TChannel::B_), p.imLAB_B);
}

// ---------------------------------------------------------------- relayout and redraw

TEST(PanelRelayout, OneRedrawPerRelayoutAfterThePicturesAreResized) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    struct {
        const char* What;
        QSize Size;
        int Redraws;
        int P;
    } steps[] = {
        {"taller", {243, 2000}, 1, 140},        {"wider", {300, 2000}, 1, 174},
        {"lower than 150", {300, 149}, 0, 174}, {"narrower than 20", {19, 600}, 0, 174},
        {"exactly 150 x 20", {20, 150}, 1, 6},  {"back to the design size", {243, 459}, 1, 37},
    };
    for (const auto& s : steps) {
        rig.Renders = 0;
        p.resize(s.Size);
        EXPECT_EQ(rig.Renders, s.Redraws) << s.What;
        EXPECT_EQ(p.PanelHeight(), s.P) << s.What;
        EXPECT_EQ(p.pnRGB_R->height(), s.P) << s.What;
    }
    EXPECT_FALSE(rig.PictureMismatchAtRender);
}

TEST(PanelRelayout, TooSmallKeepsHeightsAndPictures) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    const QSize picture = p.imHSV_S->Picture().size();
    const int tabLab = p.tabLAB->height();
    rig.Renders = 0;
    p.resize(243, 149);
    EXPECT_EQ(rig.Renders, 0);
    EXPECT_EQ(p.tabLAB->height(), tabLab);
    EXPECT_EQ(p.pnHSV_S->height(), 37);
    EXPECT_EQ(p.imHSV_S->Picture().size(), picture);
}

TEST(PanelRelayout, EveryPanelAtLeastSixAtTheSmallestSize) {
    TRig rig(20, 150, true, true, true);
    for (TChannel c : AllChannels)
        EXPECT_GE(rig.Panel->Panel(c)->height(), 6) << ChannelName(c);
}

// ---------------------------------------------------------------- showing and hiding models

TEST(PanelModels, RGBOffAndOnReturnsAboveHSV) {
    TRig rig(243, 459, true, true, true);
    rig.acRGB.trigger();
    EXPECT_TRUE(rig.Panel->tabRGB->isHidden());
    EXPECT_EQ(rig.Top(THistTab::HSV), 0);
    EXPECT_EQ(rig.Panel->PanelHeight(), 66);
    rig.acRGB.trigger();
    EXPECT_FALSE(rig.Panel->tabRGB->isHidden());
    EXPECT_EQ(rig.Top(THistTab::RGB), 0);
    EXPECT_EQ(rig.Top(THistTab::HSV), 172);
    EXPECT_EQ(rig.Top(THistTab::LAB), 312);
}

TEST(PanelModels, HSVOffAndOnReturnsBetweenRGBAndLab) {
    TRig rig(243, 459, true, true, true);
    rig.acHSV.trigger();
    EXPECT_EQ(rig.Top(THistTab::LAB), rig.Panel->tabRGB->height());
    rig.acHSV.trigger();
    EXPECT_LT(rig.Top(THistTab::RGB), rig.Top(THistTab::HSV));
    EXPECT_LT(rig.Top(THistTab::HSV), rig.Top(THistTab::LAB));
}

TEST(PanelModels, LastModelCannotBeSwitchedOff) {
    TRig rig(243, 459, false, false, true);
    THistPanel& p = *rig.Panel;
    struct {
        const char* What;
        QAction* Invoke;
        bool Rgb, Hsv, Lab; // checked and shown afterwards
    } steps[] = {
        {"Lab, the only model", &rig.acLab, false, false, true},
        {"RGB", &rig.acRGB, true, false, true},
        {"Lab again", &rig.acLab, true, false, false},
        {"RGB, now the only model", &rig.acRGB, true, false, false},
        {"HSV", &rig.acHSV, true, true, false},
        {"RGB", &rig.acRGB, false, true, false},
    };
    for (const auto& s : steps) {
        s.Invoke->trigger();
        EXPECT_EQ(rig.acRGB.isChecked(), s.Rgb) << "after " << s.What;
        EXPECT_EQ(rig.acHSV.isChecked(), s.Hsv) << "after " << s.What;
        EXPECT_EQ(rig.acLab.isChecked(), s.Lab) << "after " << s.What;
        EXPECT_EQ(!p.tabRGB->isHidden(), s.Rgb) << "after " << s.What;
        EXPECT_EQ(!p.tabHSV->isHidden(), s.Hsv) << "after " << s.What;
        EXPECT_EQ(!p.tabLAB->isHidden(), s.Lab) << "after " << s.What;
        if (s.Rgb && s.Lab) {
            EXPECT_LT(rig.Top(THistTab::RGB), rig.Top(THistTab::LAB)) << "after " << s.What;
        }
    }
}

TEST(PanelModels, ContainerHidesWithAllModelsOff) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    QSignalSpy spy(&p, &THistPanel::ContainerVisibilityChanged);
    rig.acRGB.setChecked(false);
    rig.acHSV.setChecked(false);
    rig.acLab.setChecked(false);
    rig.Renders = 0;
    p.HistSetVisibleAndHeightCorr(nullptr); // as a restored window state does
    EXPECT_TRUE(p.isHidden());
    EXPECT_EQ(rig.Renders, 0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.at(0).at(0).toBool());

    rig.acHSV.trigger();
    EXPECT_FALSE(p.isHidden());
    EXPECT_EQ(rig.Renders, 1);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_TRUE(spy.at(1).at(0).toBool());
    EXPECT_EQ(rig.Top(THistTab::HSV), 0);
}

// ---------------------------------------------------------------- the image control as a target

TEST(HistImage, LinesLeaveTheirEndPointAndStayInThePicture) {
    QWidget parent;
    THistImage im(QColor(240, 240, 240), &parent);
    im.resize(12, 11); // a 11 × 10 picture
    im.ResizePicture();
    struct {
        int X, From, To;
        std::vector<int> Rows; // painted rows of column X
    } cases[] = {
        {3, 9, 5, {6, 7, 8, 9}},
        {4, 5, 9, {5, 6, 7, 8}},
        {5, 9, 9, {}},
        {6, 12, -4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {10, 9, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {11, 9, 0, {}}, // the control's last column is not in the picture
        {-1, 9, 0, {}},
    };
    const QRgb ink = qRgb(1, 2, 3);
    for (const auto& c : cases) {
        im.Clear();
        im.SetPen({1, 2, 3});
        im.VerticalLine(c.X, c.From, c.To);
        std::vector<int> rows;
        int others = 0;
        for (int y = 0; y < im.Picture().height(); ++y)
            for (int x = 0; x < im.Picture().width(); ++x) {
                if (im.Picture().pixel(x, y) != ink)
                    continue;
                if (x == c.X) {
                    rows.push_back(y);
                } else {
                    ++others;
                }
            }
        EXPECT_EQ(rows, c.Rows) << "x " << c.X << " from " << c.From << " to " << c.To;
        EXPECT_EQ(others, 0);
    }
}

// ---------------------------------------------------------------- drawing into the panel

// A gradient picture: red across, green down, blue along the diagonal.
test::TTestRaster Gradient() {
    test::TTestRaster r(160, 120);
    for (int y = 0; y < r.Height; ++y)
        for (int x = 0; x < r.Width; ++x)
            r.Set(x, y, x * 255 / 159, y * 255 / 119, (x + y) * 255 / 278);
    return r;
}

QRgb Rgb(TRgb c) {
    return qRgb(c.r, c.g, c.b);
}

// Counts of each colour in the grabbed area of one image control.
struct TImageColours {
    int Bar = 0, Background = 0, Other = 0;
    bool TopRowClear = true, LastColumnClear = true, BottomRowHasBar = false;
};

TImageColours ColoursOf(const QImage& grab, const QRect& r, QRgb bar, QRgb background) {
    TImageColours c;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb px = grab.pixel(x, y) | 0xff000000u;
            if (px == bar) {
                ++c.Bar;
                if (y == r.top())
                    c.TopRowClear = false;
                if (x == r.right())
                    c.LastColumnClear = false;
                if (y == r.bottom() - 1)
                    c.BottomRowHasBar = true;
            } else if (px == background) {
                ++c.Background;
            } else {
                ++c.Other;
            }
        }
    return c;
}

struct TDrawRig : TRig {
    THist Hist;
    test::TTestRaster Picture = Gradient();

    TDrawRig(int W, int H) : TRig(W, H, true, true, true) {
        Hist.Calc(Origin, Picture.View());
        Hist.Calc4Show(Origin, Origin4Show);
        Panel->SetRenderCallback([this] { Hist.Show(Origin4Show, *Panel); });
        Panel->HistHeightCorrect();
    }
};

TEST(PanelDrawing, ShowDrawsEachChannelInItsColour) {
    TDrawRig rig(243, 459);
    THistPanel& p = *rig.Panel;
    const QImage grab = p.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(grab.size(), QSize(243, 459));
    const QRgb face = p.imRGB_R->Background().rgb();
    for (TChannel c : AllChannels) {
        const THistImage* im = p.Image(c);
        const TImageColours colours = ColoursOf(grab, rig.InPanel(im), Rgb(BarColour(c)), face);
        EXPECT_GT(colours.Bar, 0) << ChannelName(c);
        EXPECT_GT(colours.Background, 0) << ChannelName(c);
        EXPECT_EQ(colours.Other, 0) << ChannelName(c);
        // Bars stand on the picture's bottom row; the picture's top row and the control's
        // last row and column stay background.
        EXPECT_TRUE(colours.BottomRowHasBar) << ChannelName(c);
        EXPECT_TRUE(colours.TopRowClear) << ChannelName(c);
        EXPECT_TRUE(colours.LastColumnClear) << ChannelName(c);
        const QRect r = rig.InPanel(im);
        for (int x = r.left(); x <= r.right(); ++x)
            EXPECT_EQ(grab.pixel(x, r.bottom()) | 0xff000000u, face)
                << ChannelName(c) << " column " << x;
    }
}

TEST(PanelDrawing, HiddenModelIsClearedAndDrawnWhenShownAgain) {
    TDrawRig rig(243, 459);
    THistPanel& p = *rig.Panel;
    const QRgb face = p.imRGB_R->Background().rgb();
    auto drawn = [&](TChannel c) {
        const QImage& pic = p.Image(c)->Picture();
        for (int y = 0; y < pic.height(); ++y)
            for (int x = 0; x < pic.width(); ++x)
                if ((pic.pixel(x, y) | 0xff000000u) != face)
                    return true;
        return false;
    };
    rig.acHSV.trigger();
    for (TChannel c : HSVChannels)
        EXPECT_FALSE(drawn(c)) << ChannelName(c);
    for (TChannel c : RGBChannels)
        EXPECT_TRUE(drawn(c)) << ChannelName(c);
    for (TChannel c : LabChannels)
        EXPECT_TRUE(drawn(c)) << ChannelName(c);
    rig.acHSV.trigger();
    for (TChannel c : HSVChannels)
        EXPECT_TRUE(drawn(c)) << ChannelName(c);
}

// The strips show their pictures stretched over the whole strip, three rows high.
TEST(PanelDrawing, StripsShowTheirColours) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    const QImage grab = p.grab().toImage().convertToFormat(QImage::Format_RGB32);
    struct {
        const TStripImage* Strip;
        QImage Picture;
    } strips[] = {{p.imHSV_H1, HueStrip()}, {p.imLAB_A1, LabAStrip()}, {p.imLAB_B1, LabBStrip()}};
    for (const auto& s : strips) {
        const QRect r = rig.InPanel(s.Strip);
        ASSERT_EQ(r.height(), 3);
        for (int y = r.top(); y <= r.bottom(); ++y) {
            EXPECT_EQ(grab.pixel(r.left(), y) | 0xff000000u, s.Picture.pixel(0, 0))
                << s.Strip->objectName().toStdString();
            EXPECT_EQ(grab.pixel(r.right(), y) | 0xff000000u,
                      s.Picture.pixel(s.Picture.width() - 1, 0))
                << s.Strip->objectName().toStdString();
        }
    }
}

// The "^" marks the middle of the a* and b* axes in the window colour, over the strip.
TEST(PanelDrawing, CaretMarksTheMiddleOfTheLabStrips) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    const QImage grab = p.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRgb window = p.palette().color(QPalette::Base).rgb();
    for (const QLabel* l : {p.lblLAB_A1, p.lblLAB_B1}) {
        EXPECT_TRUE(l->font().bold());
        EXPECT_EQ(l->font().pixelSize(), 12);
        const QRect strip = rig.InPanel(l->parentWidget()->findChild<TStripImage*>());
        int left = strip.right(), right = strip.left();
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                if ((grab.pixel(x, y) | 0xff000000u) == window) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_LE(left, right) << l->objectName().toStdString() << " draws nothing over its strip";
        const int middle = strip.left() + strip.width() / 2;
        EXPECT_LE(std::abs((left + right) / 2 - middle), 1) << l->objectName().toStdString();
        EXPECT_LE(right - left, 10) << l->objectName().toStdString();
    }
}

} // namespace
