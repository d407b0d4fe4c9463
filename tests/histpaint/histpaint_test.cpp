// The histogram panel without a widget: the image controls as the engine's targets, the
// scene's places, relayout and change reports, and what the painter draws.
#include "hist_painter.h"
#include "hist_scene.h"

#include "colour_strips.h"
#include "histogram.h"
#include "render.h"

#include "qt_environment.h"
#include "raster_fixture.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/resource.h>
#endif

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QGuiApplication);

namespace {

// A scene of the given size and models after its relayout, as tonalyx-render makes it.
struct TSceneRig {
    THistScene Scene;
    TSceneRig(int W, int H, bool rgb = true, bool hsv = true, bool lab = true) {
        Scene.SetSize({W, H});
        Scene.ShowModels({rgb, hsv, lab});
        Scene.HistHeightCorrect();
    }
};

// ---------------------------------------------------------------- the image control as a target

TEST(HistImage, LinesLeaveTheirEndPointAndStayInThePicture) {
    THistImage im(QColor(240, 240, 240));
    im.SetControlSize({12, 11}); // a 11 × 10 picture
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

TEST(HistImage, EveryChangeIsReportedWithItsPart) {
    THistImage im(QColor(240, 240, 240));
    std::vector<QRect> reported;
    im.SetChanged([&](const QRect& part) { reported.push_back(part); });
    im.SetControlSize({12, 11});
    EXPECT_TRUE(reported.empty()) << "the picture keeps its size until asked";
    im.ResizePicture();
    im.ResizePicture(); // the size it has already
    im.VerticalLine(3, 9, 5);
    im.VerticalLine(11, 9, 0); // outside the picture
    im.VerticalLine(4, 2, 2);  // nothing to draw
    im.Clear();
    EXPECT_EQ(reported, (std::vector<QRect>{{0, 0, 11, 10}, {3, 6, 1, 4}, {0, 0, 11, 10}}));
}

// ---------------------------------------------------------------- the scene

TEST(HistScene, TheDesignBeforeAnyRelayout) {
    THistScene scene;
    EXPECT_EQ(scene.Size(), QSize(243, 188 + 152 + 157));
    EXPECT_EQ(scene.PanelHeight(), 41);
    EXPECT_EQ(scene.LastHeights(), THistHeights{});
    EXPECT_EQ(scene.TabRect(THistTab::HSV), QRect(0, 188, 243, 152));
    EXPECT_EQ(scene.ImageRect(TChannel::R), QRect(5, 20 + 41 + 1, 233, 39));
    EXPECT_EQ(scene.Image(TChannel::R).Picture().size(), QSize(232, 38));
}

struct TSceneCase {
    const char* Name;
    int W, H;
    bool Rgb, Hsv, Lab;
    bool Relayout;
    int P;
    std::array<int, 3> Top; // of the shown tabs; -1 for a hidden one
};

class SceneRelayout : public testing::TestWithParam<TSceneCase> {};

TEST_P(SceneRelayout, HeightsAndPlacesFollowSizeAndModels) {
    const TSceneCase& c = GetParam();
    THistScene scene;
    scene.SetSize({c.W, c.H});
    scene.ShowModels({c.Rgb, c.Hsv, c.Lab});
    EXPECT_EQ(scene.HistHeightCorrect(), c.Relayout);
    EXPECT_EQ(scene.PanelHeight(), c.P);
    for (THistTab t : {THistTab::RGB, THistTab::HSV, THistTab::LAB}) {
        const int top = c.Top[static_cast<std::size_t>(t)];
        EXPECT_EQ(scene.TabShown(t), top >= 0);
        if (top >= 0) {
            EXPECT_EQ(scene.TabRect(t).top(), top) << static_cast<int>(t);
        }
    }
    for (TChannel ch : AllChannels) {
        EXPECT_EQ(scene.GroupVisible(ModelOf(ch)), scene.TabShown(THistTab(ModelOf(ch))));
        EXPECT_EQ(scene.Image(ch).ControlSize(), scene.ImageRect(ch).size()) << ChannelName(ch);
    }
}

const TSceneCase SceneCases[] = {
    {"DesignAllModels", 243, 459, true, true, true, true, 37, {0, 172, 312}},
    {"OnlyRGB", 243, 459, true, false, false, true, 108, {0, -1, -1}},
    {"HSVAndLab", 243, 459, false, true, true, true, 66, {-1, 0, 227}},
    {"Smallest", 20, 150, true, true, true, true, 6, {0, 48, 95}},
    {"TooLowKeepsTheDesign", 243, 149, true, true, true, false, 41, {0, 188, 340}},
    {"TooNarrowKeepsTheDesign", 19, 600, true, false, true, false, 41, {0, -1, 188}},
};

INSTANTIATE_TEST_SUITE_P(Scene, SceneRelayout, testing::ValuesIn(SceneCases),
                         [](const testing::TestParamInfo<TSceneCase>& i) {
                             return std::string(i.param.Name);
                         });

TEST(HistScene, TheImageUnderAPointOfAShownTab) {
    TSceneRig rig(243, 459, true, false, true);
    const THistScene& s = rig.Scene;
    const QRect r = s.ImageRect(TChannel::R), l = s.ImageRect(TChannel::L);
    const struct {
        QPoint At;
        std::optional<TChannel> Under;
    } rows[] = {
        {r.topLeft(), TChannel::R},
        {r.bottomRight(), TChannel::R},
        {r.topLeft() - QPoint(1, 0), std::nullopt}, // the bevel
        {r.topLeft() - QPoint(0, 1), std::nullopt},
        {l.center(), TChannel::L},
        {s.StripRect(TStrip::LabA).center(), std::nullopt},
        {QPoint(2, 2), std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(s.ImageAt(row.At), row.Under) << row.At.x() << "," << row.At.y();
    // HSV is hidden: where its parts would lie, only the shown tabs count.
    for (TChannel c : {TChannel::H, TChannel::S, TChannel::V})
        EXPECT_NE(s.ImageAt(s.ImageRect(c).center()), c) << ChannelName(c);
}

TEST(HistScene, ChangesAreReportedInTheContainersPixels) {
    TSceneRig rig(243, 459);
    std::vector<QRect> reported;
    rig.Scene.SetChanged([&](const QRect& part) { reported.push_back(part); });
    THistTarget& v = rig.Scene.Target(TChannel::V);
    v.SetPen({1, 2, 3});
    v.VerticalLine(7, 10, 4);
    const QRect image = rig.Scene.ImageRect(TChannel::V);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], QRect(image.left() + 7, image.top() + 5, 1, 6));
    reported.clear();
    rig.Scene.SetSize({300, 459});
    rig.Scene.ShowModels({true, false, true});
    EXPECT_FALSE(reported.empty());
    EXPECT_EQ(reported.back(), QRect(0, 0, 300, 459));
    reported.clear();
    rig.Scene.SetSize({300, 459}); // no change
    EXPECT_TRUE(reported.empty());
}

// ---------------------------------------------------------------- the painter

// A scene with the gradient's histograms drawn by the engine.
struct TDrawnRig : TSceneRig {
    THist Hist;
    test::TTestRaster Picture = test::TTestRaster::Gradient();
    TDrawnRig(int W, int H, bool rgb = true, bool hsv = true, bool lab = true)
        : TSceneRig(W, H, rgb, hsv, lab) {
        Hist.Calc(Origin, Picture.View());
        Hist.Calc4Show(Origin, Origin4Show);
        Hist.Show(Origin4Show, Scene);
    }
};

QRgb Rgb(TRgb c) {
    return qRgb(c.r, c.g, c.b);
}

QRgb Opaque(QRgb c) {
    return c | 0xff000000u;
}

// Counts of each colour in the area of one image control.
struct TImageColours {
    int Bar = 0, Background = 0, Other = 0;
    bool TopRowClear = true, LastColumnClear = true, BottomRowHasBar = false;
};

TImageColours ColoursOf(const QImage& drawn, const QRect& r, QRgb bar, QRgb background) {
    TImageColours c;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb px = Opaque(drawn.pixel(x, y));
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

TEST(PanelPainter, ShowDrawsEachChannelInItsColour) {
    TDrawnRig rig(243, 459);
    const QImage drawn = HistPanelImage(rig.Scene);
    ASSERT_EQ(drawn.size(), QSize(243, 459));
    EXPECT_EQ(drawn.format(), QImage::Format_RGB32);
    EXPECT_EQ(drawn.devicePixelRatio(), 1.0);
    const QRgb face = HistFaceColour().rgb();
    for (TChannel c : AllChannels) {
        const QRect r = rig.Scene.ImageRect(c);
        const TImageColours colours = ColoursOf(drawn, r, Rgb(BarColour(c)), face);
        EXPECT_GT(colours.Bar, 0) << ChannelName(c);
        EXPECT_GT(colours.Background, 0) << ChannelName(c);
        EXPECT_EQ(colours.Other, 0) << ChannelName(c);
        // Bars stand on the picture's bottom row; the picture's top row and the control's
        // last row and column stay background.
        EXPECT_TRUE(colours.BottomRowHasBar) << ChannelName(c);
        EXPECT_TRUE(colours.TopRowClear) << ChannelName(c);
        EXPECT_TRUE(colours.LastColumnClear) << ChannelName(c);
        for (int x = r.left(); x <= r.right(); ++x)
            EXPECT_EQ(Opaque(drawn.pixel(x, r.bottom())), face)
                << ChannelName(c) << " column " << x;
    }
}

// The strips show their pictures stretched over the whole strip, three rows high.
TEST(PanelPainter, StripsShowTheirColours) {
    TSceneRig rig(243, 459);
    const QImage drawn = HistPanelImage(rig.Scene);
    const struct {
        TStrip Strip;
        QImage Picture;
    } strips[] = {
        {TStrip::Hue, HueStrip()}, {TStrip::LabA, LabAStrip()}, {TStrip::LabB, LabBStrip()}};
    for (const auto& s : strips) {
        const QRect r = rig.Scene.StripRect(s.Strip);
        ASSERT_EQ(r.height(), 3);
        for (int y = r.top(); y <= r.bottom(); ++y) {
            EXPECT_EQ(Opaque(drawn.pixel(r.left(), y)), s.Picture.pixel(0, 0))
                << static_cast<int>(s.Strip);
            EXPECT_EQ(Opaque(drawn.pixel(r.right(), y)), s.Picture.pixel(s.Picture.width() - 1, 0))
                << static_cast<int>(s.Strip);
        }
    }
}

// The "^" marks the middle of the a* and b* axes in the window colour, over the strip.
TEST(PanelPainter, MarkShowsTheMiddleOfTheLabStrips) {
    TSceneRig rig(243, 459);
    const QImage drawn = HistPanelImage(rig.Scene);
    EXPECT_TRUE(HistMarkFont().bold());
    EXPECT_EQ(HistMarkFont().pixelSize(), 12);
    for (TStrip s : {TStrip::LabA, TStrip::LabB}) {
        const QRect strip = rig.Scene.StripRect(s);
        int left = strip.right(), right = strip.left();
        for (int y = strip.top(); y <= strip.bottom(); ++y)
            for (int x = strip.left(); x <= strip.right(); ++x)
                if (Opaque(drawn.pixel(x, y)) == HistMarkColour().rgb()) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        ASSERT_LE(left, right) << "no mark over strip " << static_cast<int>(s);
        const int middle = strip.left() + strip.width() / 2;
        EXPECT_LE(std::abs((left + right) / 2 - middle), 1) << static_cast<int>(s);
        EXPECT_LE(right - left, 10) << static_cast<int>(s);
    }
    // The hue strip has none.
    const QRect hue = rig.Scene.StripRect(TStrip::Hue);
    for (int y = hue.top(); y <= hue.bottom(); ++y)
        for (int x = hue.left(); x <= hue.right(); ++x)
            EXPECT_NE(Opaque(drawn.pixel(x, y)), HistMarkColour().rgb()) << x << "," << y;
}

// A hidden tab leaves the container's colour; only the captions of shown tabs are drawn.
TEST(PanelPainter, HiddenTabsAreNotDrawn) {
    TDrawnRig rig(243, 459, false, true, false);
    const QImage drawn = HistPanelImage(rig.Scene);
    const QRect hsv = rig.Scene.TabRect(THistTab::HSV);
    ASSERT_EQ(hsv.top(), 0);
    for (int y = hsv.bottom() + 1; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            ASSERT_EQ(Opaque(drawn.pixel(x, y)), HistContainerColour().rgb()) << x << "," << y;
}

// Any painter: drawn at an offset into a larger picture, the panel's pixels are the same,
// nothing outside it is touched, and the painter's state is as it was.
TEST(PanelPainter, DrawsIntoAnyPainterAtItsOrigin) {
    TDrawnRig rig(200, 400);
    const QImage alone = HistPanelImage(rig.Scene);
    QImage larger(260, 450, QImage::Format_RGB32);
    larger.fill(qRgb(1, 2, 3));
    QPainter p(&larger);
    p.translate(30, 20);
    p.setPen(QColor(9, 8, 7));
    p.setFont(QFont(QStringLiteral("DejaVu Serif"), 20));
    PaintHistPanel(p, rig.Scene);
    EXPECT_EQ(p.transform(), QTransform::fromTranslate(30, 20));
    EXPECT_EQ(p.pen().color(), QColor(9, 8, 7));
    EXPECT_EQ(p.font().family(), QStringLiteral("DejaVu Serif"));
    p.end();
    EXPECT_EQ(larger.copy(30, 20, 200, 400), alone);
    for (int y = 0; y < larger.height(); ++y)
        for (int x = 0; x < larger.width(); ++x)
            if (!QRect(30, 20, 200, 400).contains(x, y)) {
                ASSERT_EQ(Opaque(larger.pixel(x, y)), qRgb(1, 2, 3)) << x << "," << y;
            }
}

// At a device pixel ratio of 2 the histograms stay pixel-exact: each pixel of a picture
// becomes a 2 × 2 block of one colour.
TEST(PanelPainter, HistogramsStayPixelExactAtTwiceTheDensity) {
    TDrawnRig rig(243, 459);
    QImage dense(243 * 2, 459 * 2, QImage::Format_RGB32);
    dense.setDevicePixelRatio(2);
    QPainter p(&dense);
    PaintHistPanel(p, rig.Scene);
    p.end();
    for (TChannel c : {TChannel::RGB, TChannel::H, TChannel::B_}) {
        const QImage& picture = rig.Scene.Image(c).Picture();
        const QPoint at = rig.Scene.ImageRect(c).topLeft() * 2;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                for (int d = 0; d < 4; ++d)
                    ASSERT_EQ(dense.pixel(at.x() + 2 * x + d % 2, at.y() + 2 * y + d / 2),
                              picture.pixel(x, y))
                        << ChannelName(c) << " " << x << "," << y;
    }
}

// Between two relayouts the pictures keep their size while the controls follow the width:
// a picture wider than its control is cut off, a narrower one shows the background beside it.
TEST(PanelPainter, APictureOfAnotherSizeIsCutOffOrFilledOut) {
    for (const int w : {200, 300}) {
        TDrawnRig rig(243, 459);
        rig.Scene.SetSize({w, 149}); // too low: no relayout
        ASSERT_FALSE(rig.Scene.HistHeightCorrect());
        const THistImage& r = rig.Scene.Image(TChannel::R);
        ASSERT_NE(r.Picture().width(), r.ControlWidth() - 1);
        const QImage drawn = HistPanelImage(rig.Scene);
        const QRect control = rig.Scene.ImageRect(TChannel::R);
        const int shown = std::min(r.Picture().width(), control.width());
        for (int x = 0; x < control.width(); ++x)
            EXPECT_EQ(
                Opaque(drawn.pixel(control.left() + x, control.top() + r.Picture().height() - 1)),
                x < shown ? r.Picture().pixel(x, r.Picture().height() - 1) : HistFaceColour().rgb())
                << "width " << w << " column " << x;
        // The bevel's light right edge is drawn over nothing of the picture.
        EXPECT_EQ(Opaque(drawn.pixel(control.right() + 1, control.top() + 5)),
                  HistLightColour().rgb());
    }
}

// The raster painter addresses a picture's bytes with int offsets: a panel beyond 2 GiB is
// refused before anything is allocated, however much memory there is.
TEST(PanelPainter, APanelBeyondWhatCanBePaintedIsRefusedUnallocated) {
    const struct {
        QSize Size;
        bool Paintable;
    } cases[] = {
        {{0, 0}, true},          {{8192, 8192}, true},   {{23170, 23170}, true},
        {{23171, 23171}, false}, {{65536, 8192}, false}, {{30000, 30000}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PaintableSize(c.Size), c.Paintable) << c.Size.width() << " x " << c.Size.height();
    THistScene scene; // the pictures keep their design size until a relayout
    scene.SetSize({40000, 60000});
    EXPECT_TRUE(HistPanelImage(scene).isNull());
}

// A panel whose pictures could not all be allocated is not drawn at all (a part left blank
// would be a wrong picture), and drawing it or its parts does not crash.
TEST(PanelPainter, APanelWhoseMemoryRanOutIsRefusedNotDrawnBlank) {
#if defined(TONALYX_SANITIZED) || !defined(__linux__)
    GTEST_SKIP() << "needs the address space limit, which the sanitizer's reservations defeat";
#else
    std::int64_t mapped = -1; // this process's address space now, in bytes
    {
        std::ifstream status("/proc/self/status");
        for (std::string key; status >> key;)
            if (key == "VmSize:") {
                status >> mapped;
                mapped *= 1024;
            }
    }
    ASSERT_GT(mapped, 0);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &previous), 0);
    rlimit tight = previous;
    tight.rlim_cur = static_cast<rlim_t>(mapped + (32 << 20));
    ASSERT_EQ(setrlimit(RLIMIT_AS, &tight), 0);
    THistScene scene;
    scene.SetSize({8192, 8192}); // its ten pictures take about 270 MB
    scene.HistHeightCorrect();
    const bool made = scene.PicturesMade();
    const QImage drawn = HistPanelImage(scene);
    QImage small(100, 100, QImage::Format_RGB32);
    {
        QPainter p(&small);
        PaintHistPanel(p, scene);
    }
    setrlimit(RLIMIT_AS, &previous);
    EXPECT_FALSE(made);
    EXPECT_TRUE(drawn.isNull());
    // With the memory back, the next relayout makes them.
    scene.SetSize({300, 500});
    scene.HistHeightCorrect();
    EXPECT_TRUE(scene.PicturesMade());
    EXPECT_FALSE(HistPanelImage(scene).isNull());
#endif
}

} // namespace
