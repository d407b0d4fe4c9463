// The histogram panel as a widget: the geometry it really gets, the picture sizes, one
// redraw per relayout, showing and hiding the models through their commands, and what
// the engine's drawing looks like in a grab of the panel.
#include "hist_panel.h"

#include "hist_layout.h"
#include "hist_painter.h"
#include "histogram.h"
#include "raster_fixture.h"
#include "render.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QSignalSpy>

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <functional>
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
                const THistImage& im = Panel->Image(c);
                if (im.Picture().size() != im.ControlSize() - QSize(1, 1))
                    PictureMismatchAtRender = true;
            }
        });
        Panel->setGeometry(0, 0, W, H);
        Panel->HistSetVisibleAndHeightCorr(nullptr);
        Host.show();
    }

    const THistScene& Scene() const { return Panel->Scene(); }
    int Top(THistTab t) const { return Scene().TabRect(t).y(); }
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

TEST_P(PanelGeometry, PartsSitWhereTheArithmeticPutsThem) {
    const TGeometryCase& c = GetParam();
    TRig rig(c.W, c.H, c.Rgb, c.Hsv, c.Lab);
    THistPanel& p = *rig.Panel;
    const THistScene& scene = rig.Scene();
    ASSERT_EQ(p.size(), QSize(c.W, c.H));
    EXPECT_EQ(scene.Size(), p.size());
    EXPECT_EQ(p.PanelHeight(), c.P);
    const char* tabNames[] = {"tabRGB", "tabHSV", "tabLAB"};

    // The visible tabs follow each other from the top in the order RGB, HSV, Lab, at full width.
    int y = 0;
    for (THistTab t : {THistTab::RGB, THistTab::HSV, THistTab::LAB}) {
        const auto i = static_cast<std::size_t>(t);
        const QRect tab = scene.TabRect(t);
        EXPECT_EQ(tab.height(), c.TabHeight[i]) << tabNames[i];
        EXPECT_EQ(tab.width(), c.W);
        EXPECT_EQ(p.TabShown(t), (i == 0 ? c.Rgb : i == 1 ? c.Hsv : c.Lab)) << tabNames[i];
        if (!p.TabShown(t))
            continue;
        EXPECT_EQ(tab, QRect(0, y, c.W, c.TabHeight[i])) << tabNames[i];
        y += tab.height();
    }
    EXPECT_LE(y, c.H);

    // Inside each tab: 20 px above the first panel, 4 below the last, 4 on either side.
    // Each image control or strip is its panel less the 1-px bevel, 10 px narrower than the
    // container; a picture is one pixel smaller again in each direction.
    for (THistTab t : {THistTab::RGB, THistTab::HSV, THistTab::LAB}) {
        const QRect tab = scene.TabRect(t);
        int top = 20;
        const std::vector<THistItem>& items = THistScene::TabItems(t);
        for (std::size_t i = 0; i < items.size(); ++i) {
            const QRect item = scene.ItemRect(t, i).translated(0, -tab.top());
            EXPECT_EQ(item, QRect(4, top, c.W - 8, items[i].IsStrip ? 5 : c.P))
                << tabNames[static_cast<std::size_t>(t)] << " item " << i;
            const QRect client = items[i].IsStrip ? scene.StripRect(items[i].Strip)
                                                  : scene.ImageRect(items[i].Channel);
            EXPECT_EQ(client.translated(-scene.ItemRect(t, i).topLeft()),
                      QRect(1, 1, c.W - 10, items[i].IsStrip ? 3 : c.P - 2))
                << tabNames[static_cast<std::size_t>(t)] << " item " << i;
            top += item.height();
        }
        EXPECT_EQ(top + 4, tab.height());
    }
    for (TChannel ch : AllChannels) {
        EXPECT_EQ(p.Image(ch).ControlSize(), QSize(c.W - 10, c.P - 2)) << ChannelName(ch);
        EXPECT_EQ(p.Image(ch).Picture().size(), QSize(c.W - 11, c.P - 3)) << ChannelName(ch);
    }
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

// The tabs' captions and their panels top to bottom: pnRGB_RGB … pnLab_B1.
TEST(PanelGeometry, TheComponentsOfEachTab) {
    TRig rig(243, 459, true, true, true);
    EXPECT_EQ(rig.Panel->objectName(), "pnHistContainer");
    EXPECT_EQ(THistScene::TabCaption(THistTab::RGB), "RGB");
    EXPECT_EQ(THistScene::TabCaption(THistTab::HSV), "HSV");
    EXPECT_EQ(THistScene::TabCaption(THistTab::LAB), "Lab");
    const auto describe = [](THistTab t) {
        std::string s;
        for (const THistItem& item : THistScene::TabItems(t))
            s += item.IsStrip ? (item.Strip == TStrip::Hue    ? "H1 "
                                 : item.Strip == TStrip::LabA ? "A1 "
                                                              : "B1 ")
                              : std::string(ChannelName(item.Channel)) + " ";
        return s;
    };
    EXPECT_EQ(describe(THistTab::RGB), "RGB R G B ");
    EXPECT_EQ(describe(THistTab::HSV), "H H1 S V ");
    EXPECT_EQ(describe(THistTab::LAB), "L A A1 B_ B1 ");
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
        EXPECT_EQ(rig.Scene().ItemRect(THistTab::RGB, 1).height(), s.P) << s.What;
    }
    EXPECT_FALSE(rig.PictureMismatchAtRender);
}

TEST(PanelRelayout, TooSmallKeepsHeightsAndPictures) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    const QSize picture = p.Image(TChannel::S).Picture().size();
    const int tabLab = rig.Scene().TabRect(THistTab::LAB).height();
    rig.Renders = 0;
    p.resize(243, 149);
    EXPECT_EQ(rig.Renders, 0);
    EXPECT_EQ(rig.Scene().TabRect(THistTab::LAB).height(), tabLab);
    EXPECT_EQ(rig.Scene().ItemRect(THistTab::HSV, 2).height(), 37);
    EXPECT_EQ(p.Image(TChannel::S).Picture().size(), picture);
}

TEST(PanelRelayout, EveryPanelAtLeastSixAtTheSmallestSize) {
    TRig rig(20, 150, true, true, true);
    for (TChannel c : AllChannels)
        EXPECT_GE(rig.Scene().ImageRect(c).height() + 2, 6) << ChannelName(c);
}

// ---------------------------------------------------------------- showing and hiding models

TEST(PanelModels, RGBOffAndOnReturnsAboveHSV) {
    TRig rig(243, 459, true, true, true);
    rig.acRGB.trigger();
    EXPECT_FALSE(rig.Panel->TabShown(THistTab::RGB));
    EXPECT_EQ(rig.Top(THistTab::HSV), 0);
    EXPECT_EQ(rig.Panel->PanelHeight(), 66);
    rig.acRGB.trigger();
    EXPECT_TRUE(rig.Panel->TabShown(THistTab::RGB));
    EXPECT_EQ(rig.Top(THistTab::RGB), 0);
    EXPECT_EQ(rig.Top(THistTab::HSV), 172);
    EXPECT_EQ(rig.Top(THistTab::LAB), 312);
}

TEST(PanelModels, HSVOffAndOnReturnsBetweenRGBAndLab) {
    TRig rig(243, 459, true, true, true);
    rig.acHSV.trigger();
    EXPECT_EQ(rig.Top(THistTab::LAB), rig.Scene().TabRect(THistTab::RGB).height());
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
        EXPECT_EQ(p.TabShown(THistTab::RGB), s.Rgb) << "after " << s.What;
        EXPECT_EQ(p.TabShown(THistTab::HSV), s.Hsv) << "after " << s.What;
        EXPECT_EQ(p.TabShown(THistTab::LAB), s.Lab) << "after " << s.What;
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

// ---------------------------------------------------------------- drawing into the panel

struct TDrawRig : TRig {
    THist Hist;
    test::TTestRaster Picture = test::TTestRaster::Gradient();

    TDrawRig(int W, int H) : TRig(W, H, true, true, true) {
        Hist.Calc(Origin, Picture.View());
        Hist.Calc4Show(Origin, Origin4Show);
        Panel->SetRenderCallback([this] { Hist.Show(Origin4Show, *Panel); });
        Panel->HistHeightCorrect();
    }
};

QImage Grab(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The widget shows the painter's picture of its scene, pixel for pixel, after every change.
TEST(PanelDrawing, TheWidgetShowsThePaintersPicture) {
    TDrawRig rig(243, 459);
    THistPanel& p = *rig.Panel;
    const struct {
        const char* What;
        std::function<void()> Change;
    } steps[] = {
        {"drawn", [] {}},
        {"HSV off", [&] { rig.acHSV.trigger(); }},
        {"wider and lower", [&] { p.resize(300, 400); }},
        {"too low to relayout", [&] { p.resize(280, 149); }},
        {"HSV on again", [&] { rig.acHSV.trigger(); }},
    };
    for (const auto& step : steps) {
        step.Change();
        const QImage shown = Grab(p);
        ASSERT_EQ(shown.size(), p.size()) << step.What;
        EXPECT_EQ(shown, HistPanelImage(p.Scene())) << step.What;
    }
}

TEST(PanelDrawing, HiddenModelIsClearedAndDrawnWhenShownAgain) {
    TDrawRig rig(243, 459);
    THistPanel& p = *rig.Panel;
    const QRgb face = p.Image(TChannel::R).Background().rgb();
    auto drawn = [&](TChannel c) {
        const QImage& pic = p.Image(c).Picture();
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

// A line the engine draws reaches the screen without a relayout.
TEST(PanelDrawing, ALineDrawnLaterIsShown) {
    TRig rig(243, 459, true, true, true);
    THistPanel& p = *rig.Panel;
    (void)Grab(p);
    THistTarget& target = p.Target(TChannel::G);
    target.SetPen({1, 2, 3});
    target.VerticalLine(5, 20, 2);
    const QRect image = p.Scene().ImageRect(TChannel::G);
    EXPECT_EQ(Grab(p).pixel(image.left() + 5, image.top() + 10) | 0xff000000u, qRgb(1, 2, 3));
}

} // namespace
