// The panel's Raw group: where the sensor's photosites land on the stops and linear axes, the
// axis's marks, the line under each histogram, and the group's place in the scene.
#include "hist_painter.h"
#include "hist_scene.h"
#include "raw_group.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

using namespace tonalyx;

namespace {

constexpr int White = 4351, Black = 255; // 4096 values above black: 12 stops

// A channel with `count` photosites at each given value, its figures as the sensor library
// makes them.
TSensorChannel Channel(std::string name, int black, int white,
                       const std::vector<std::pair<int, std::uint64_t>>& values) {
    TSensorChannel c;
    c.Name = std::move(name);
    c.Black = black;
    c.Counts.assign(static_cast<std::size_t>(white) + 1, 0);
    for (const auto& [v, n] : values) {
        c.Counts[static_cast<std::size_t>(v)] += n;
        if (v >= white)
            c.Clipped += n;
        if (v <= black)
            c.AtBlack += n;
    }
    c.HeadroomEv = HeadroomEv(c.Counts, black, white);
    return c;
}

// A 2×2 RGGB sensor: a clipped spike at white in red, the rest spread below it.
std::shared_ptr<const TSensorHistogram> Bayer() {
    auto s = std::make_shared<TSensorHistogram>();
    s->Pattern = "RGGB";
    s->Width = 40;
    s->Height = 30;
    s->White = White;
    const int half = Black + (White - Black) / 2; // one stop below white
    s->Channels = {
        Channel("R", Black, White, {{Black, 10}, {half, 50}, {White, 240}}),
        Channel("G", Black, White, {{Black + 100, 150}, {half, 150}}),
        Channel("B", Black, White, {{Black - 20, 5}, {Black + 10, 295}}),
        Channel("G2", Black, White, {{Black + 100, 300}}),
    };
    return s;
}

// Three channels as a 6×6 pattern gives them, and one of them empty.
std::shared_ptr<const TSensorHistogram> ThreeChannels() {
    auto s = std::make_shared<TSensorHistogram>();
    s->Pattern = std::string(36, 'G');
    s->White = 16383;
    s->Channels = {
        Channel("R", 1024, 16383, {{2000, 10}}),
        Channel("G", 1024, 16383, {}),
        Channel("B", 1024, 16383, {{1024, 7}}),
    };
    return s;
}

THistScene& Relaid(THistScene& scene, QSize size) {
    scene.SetSize(size);
    scene.HistHeightCorrect();
    return scene;
}

} // namespace

TEST(RawGroup, TheStopsAxisReachesAsFarAsTheWidestChannel) {
    const struct {
        int White, Black, Low;
    } cases[] = {{4095, 0, -12}, {1023, 64, -12}, {16383, 1024, -14}, {65535, 0, -16}};
    for (const auto& c : cases) {
        TSensorHistogram s;
        s.White = c.White;
        s.Channels = {Channel("R", c.Black, c.White, {})};
        EXPECT_EQ(RawAxisLowEv(s), c.Low) << c.White << " " << c.Black;
    }
}

TEST(RawGroup, ValuesLandInTheirColumns) {
    constexpr int columns = 232, low = -12;
    const int oneStopDown = Black + (White - Black) / 2;
    const struct {
        const char* What;
        int Value;
        TRawAxis Axis;
        int Column;
    } cases[] = {
        {"white, stops", White, TRawAxis::Stops, columns - 1},
        {"above white, stops", White + 7, TRawAxis::Stops, columns - 1},
        {"one stop down", oneStopDown, TRawAxis::Stops, 212},
        {"twelve stops down", Black + 1, TRawAxis::Stops, 0},
        {"at black", Black, TRawAxis::Stops, 0},
        {"below black", 0, TRawAxis::Stops, 0},
        {"zero, linear", 0, TRawAxis::Linear, 0},
        {"a quarter, linear", White / 4, TRawAxis::Linear, 57},
        {"the half, linear", White / 2 + 1, TRawAxis::Linear, 116},
        {"white, linear", White, TRawAxis::Linear, columns - 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SensorColumn(c.Value, Black, White, c.Axis, low, columns), c.Column) << c.What;
    // The −1 EV mark stands over the column one stop below white falls in.
    EXPECT_EQ(RawAxisMarks(TRawAxis::Stops, White, low, columns)[11].Column, 212);
    EXPECT_EQ(SensorColumn(White, Black, White, TRawAxis::Stops, low, 0), -1);
}

TEST(RawGroup, ColumnsHoldEveryPhotosite) {
    const auto s = Bayer();
    for (TRawAxis axis : {TRawAxis::Stops, TRawAxis::Linear})
        for (const TSensorChannel& c : s->Channels) {
            const std::vector<std::uint64_t> sums = SensorColumns(c, White, axis, -12, 97);
            ASSERT_EQ(sums.size(), 97u);
            EXPECT_EQ(std::accumulate(sums.begin(), sums.end(), std::uint64_t{0}),
                      std::accumulate(c.Counts.begin(), c.Counts.end(), std::uint64_t{0}))
                << c.Name;
        }
    const std::vector<std::uint64_t> red =
        SensorColumns(s->Channels[0], White, TRawAxis::Stops, -12, 97);
    EXPECT_EQ(red.front(), 10u) << "at black";
    EXPECT_EQ(red.back(), 240u) << "the clipped spike in the 0 EV column";
}

TEST(RawGroup, MarksAtEveryStopLabelledApart) {
    for (int columns : {60, 232, 900}) {
        const auto marks = RawAxisMarks(TRawAxis::Stops, 16383, -14, columns);
        ASSERT_EQ(marks.size(), 15u) << columns;
        EXPECT_EQ(marks.front().Column, 0);
        EXPECT_EQ(marks.back().Column, columns - 1);
        EXPECT_EQ(marks.back().Label, "0 EV");
        int last = -1000;
        for (const TRawAxisMark& m : marks) {
            if (m.Label.isEmpty())
                continue;
            EXPECT_GE(m.Column - last, columns < 100 ? 20 : 25) << columns << " " << m.Column;
            last = m.Column;
        }
    }
    const auto linear = RawAxisMarks(TRawAxis::Linear, 4000, -12, 233);
    ASSERT_EQ(linear.size(), 9u);
    EXPECT_EQ(linear[4], (TRawAxisMark{116, "2000"}));
    EXPECT_EQ(linear[8], (TRawAxisMark{232, "4000"}));
    EXPECT_TRUE(linear[1].Label.isEmpty());
}

// The labels never run into each other, whatever the width; white's is always there, and
// the left end's too where there is room for it.
TEST(RawGroup, AxisLabelsStayApartAndWhitesIsKept) {
    const auto widthOf = [](const QString& text) { return 7 * int(text.size()); };
    for (int columns : {60, 150, 232, 300, 512, 900}) {
        const auto marks = RawAxisMarks(TRawAxis::Stops, 16383, -14, columns);
        const auto placed = PlaceAxisLabels(marks, widthOf, columns);
        ASSERT_FALSE(placed.empty()) << columns;
        EXPECT_EQ(marks[placed.front().Mark].Label, "0 EV") << columns;
        EXPECT_EQ(placed.front().X + placed.front().Width, columns) << columns;
        for (std::size_t a = 0; a < placed.size(); ++a) {
            EXPECT_GE(placed[a].X, 0);
            EXPECT_LE(placed[a].X + placed[a].Width, columns);
            for (std::size_t b = a + 1; b < placed.size(); ++b)
                EXPECT_TRUE(placed[a].X + placed[a].Width + 4 <= placed[b].X ||
                            placed[b].X + placed[b].Width + 4 <= placed[a].X)
                    << columns << ": " << marks[placed[a].Mark].Label.toStdString() << " and "
                    << marks[placed[b].Mark].Label.toStdString();
        }
        if (columns >= 232) {
            EXPECT_EQ(placed[1].Mark, 0u) << columns;
        }
    }
}

TEST(RawGroup, TheLineUnderEachHistogram) {
    const auto bayer = Bayer();
    const auto three = ThreeChannels();
    EXPECT_EQ(SensorInfoLine(bayer->Channels[0], White),
              "R  Black 255  White 4351  Clipped 240 (80.00 %)  At black 10  Headroom 0.0 EV");
    EXPECT_EQ(SensorInfoLine(bayer->Channels[1], White),
              "G  Black 255  White 4351  Clipped 0 (0.00 %)  At black 0  Headroom 1.0 EV");
    EXPECT_EQ(SensorInfoLine(three->Channels[1], three->White),
              "G  Black 1024  White 16383  Clipped 0 (0.00 %)  At black 0  Headroom \u2014");
    EXPECT_EQ(SensorInfoLine(three->Channels[2], three->White),
              "B  Black 1024  White 16383  Clipped 0 (0.00 %)  At black 7  Headroom \u2014");
    EXPECT_EQ(SensorInfoLine(bayer->Channels[0], White, TLineForm::Short),
              "R 255/4351 \u00B7 clip 240 (80.00 %) \u00B7 \u2264black 10 \u00B7 0.0 EV");
}

TEST(RawGroup, ShownBelowTheTabsOnlyWithASensorHistogram) {
    THistScene scene;
    scene.ShowRaw(true);
    Relaid(scene, {243, 700});
    EXPECT_FALSE(scene.RawShown()) << "no sensor histogram";
    scene.SetSensor(std::make_shared<TSensorHistogram>());
    EXPECT_FALSE(scene.RawShown()) << "no channels";

    for (const auto& sensor : {Bayer(), ThreeChannels()}) {
        scene.SetSensor(sensor);
        Relaid(scene, {243, 700});
        ASSERT_TRUE(scene.RawShown());
        const std::size_t n = sensor->Channels.size();
        ASSERT_EQ(scene.Raw().Channels(), n);
        const QRect tab = scene.RawTabRect();
        EXPECT_EQ(tab.top(), scene.TabRect(THistTab::LAB).bottom() + 1);
        EXPECT_LE(tab.bottom(), 699) << "the shown groups fit the container";
        for (std::size_t i = 0; i < n; ++i) {
            EXPECT_EQ(scene.RawPanelRect(i).height(), scene.PanelHeight());
            EXPECT_EQ(scene.RawInfoRect(i).top(), scene.RawPanelRect(i).bottom() + 1);
            EXPECT_EQ(scene.Raw().Image(i).ControlSize(), scene.RawImageRect(i).size());
        }
        EXPECT_EQ(scene.RawAxisRect().top(), scene.RawInfoRect(n - 1).bottom() + 1);
        EXPECT_EQ(scene.RawAxisRect().bottom() + 1 + THistScene::PageBottom, tab.bottom() + 1);
    }
    scene.ShowRaw(false);
    EXPECT_FALSE(scene.RawShown());
}

TEST(RawGroup, TheSpikeAtWhiteIsTheTallestBarInTheLastColumn) {
    THistScene scene;
    scene.ShowRaw(true);
    scene.SetSensor(Bayer());
    Relaid(scene, {243, 700});
    const QImage& red = scene.Raw().Image(0).Picture();
    const QRgb bar = qRgb(217, 118, 118);
    const auto barHeight = [&](int x) {
        int h = 0;
        for (int y = 0; y < red.height(); ++y)
            h += red.pixel(x, y) == bar ? 1 : 0;
        return h;
    };
    EXPECT_EQ(barHeight(red.width() - 1), scene.Raw().Image(0).ControlHeight() - 2);
    EXPECT_EQ(barHeight(red.width() - 2), 0);
    const int beforeLog = barHeight(0);
    scene.SetCountScale(TCountScale::Log);
    EXPECT_GT(barHeight(0), beforeLog) << "the log scale lifts the small count at black";
    scene.SetRawAxis(TRawAxis::Linear);
    const int half = (Black + (White - Black) / 2) * red.width() / White;
    EXPECT_GT(barHeight(half), 0) << "one stop below white, in proportion on the linear axis";
    EXPECT_EQ(scene.Raw().Image(3).Picture().pixel(0, red.height() - 1), qRgb(240, 240, 240))
        << "the second green has nothing at 0";
}

TEST(RawGroup, OffOrWithoutASensorThePanelIsUnchanged) {
    THistScene plain, off, absent;
    off.SetSensor(Bayer());
    absent.ShowRaw(true);
    for (THistScene* s : {&plain, &off, &absent})
        Relaid(*s, {243, 459});
    const QImage picture = HistPanelImage(plain);
    EXPECT_EQ(off.LastHeights(), plain.LastHeights());
    EXPECT_EQ(absent.LastHeights(), plain.LastHeights());
    EXPECT_EQ(HistPanelImage(off), picture);
    EXPECT_EQ(HistPanelImage(absent), picture);

    off.ShowRaw(true);
    off.HistHeightCorrect();
    EXPECT_LT(off.PanelHeight(), plain.PanelHeight()) << "the Raw group takes its share";
    EXPECT_NE(HistPanelImage(off), picture);
}
