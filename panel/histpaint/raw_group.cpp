// The Raw group's columns, marks and lines, and its pictures.
#include "raw_group.h"

#include "hist_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace tonalyx {

namespace {

constexpr int MinLowEv = -12;
// Labels closer than this, in columns, would run into each other.
constexpr int LabelSpacing = 26;

QString Minus(int v) {
    return v < 0 ? QStringLiteral("\u2212%1").arg(-v) : QString::number(v);
}

} // namespace

int RawAxisLowEv(const TSensorHistogram& sensor) {
    int low = MinLowEv;
    for (const TSensorChannel& c : sensor.Channels)
        if (sensor.White - c.Black > 1)
            low = std::min(low, -static_cast<int>(std::ceil(std::log2(sensor.White - c.Black))));
    return low;
}

int SensorColumn(int value, int black, int white, TRawAxis axis, int lowEv, int columns) {
    if (columns <= 0)
        return -1;
    double position = 0; // 0 … 1 across the axis
    if (axis == TRawAxis::Linear) {
        position = white > 0 ? double(value) / white : 1.0;
    } else if (value >= white) {
        position = 1.0;
    } else if (const auto ev = StopsBelowWhite(value, black, white); ev && lowEv < 0) {
        position = (*ev - lowEv) / -lowEv;
    }
    const double column = std::floor(position * columns);
    return static_cast<int>(std::clamp(column, 0.0, double(columns - 1)));
}

std::vector<std::uint64_t> SensorColumns(const TSensorChannel& channel, int white, TRawAxis axis,
                                         int lowEv, int columns) {
    std::vector<std::uint64_t> sums(static_cast<std::size_t>(std::max(columns, 0)), 0);
    if (columns <= 0)
        return sums;
    for (std::size_t v = 0; v < channel.Counts.size(); ++v)
        if (channel.Counts[v] != 0)
            sums[static_cast<std::size_t>(SensorColumn(static_cast<int>(v), channel.Black, white,
                                                       axis, lowEv, columns))] += channel.Counts[v];
    return sums;
}

std::vector<TRawAxisMark> RawAxisMarks(TRawAxis axis, int white, int lowEv, int columns) {
    std::vector<TRawAxisMark> marks;
    if (columns <= 0)
        return marks;
    const auto column = [&](double position) {
        return static_cast<int>(
            std::clamp(std::floor(position * columns), 0.0, double(columns - 1)));
    };
    if (axis == TRawAxis::Linear) {
        for (int i = 0; i <= 8; ++i)
            marks.push_back({column(i / 8.0), i % 4 == 0
                                                  ? QString::number(std::int64_t{white} * i / 8)
                                                  : QString()});
        return marks;
    }
    const int stops = std::max(-lowEv, 1);
    // Every 1, 2, 3, 4 or 6 stops, the first that leaves the labels room.
    int every = 6;
    for (int k : {1, 2, 3, 4})
        if (double(columns) * k / stops >= LabelSpacing) {
            every = k;
            break;
        }
    for (int s = lowEv; s <= 0; ++s) {
        QString label;
        if (s % every == 0)
            label = s == 0 ? QStringLiteral("0 EV") : Minus(s);
        marks.push_back({column(double(s - lowEv) / stops), label});
    }
    return marks;
}

std::vector<TPlacedLabel> PlaceAxisLabels(const std::vector<TRawAxisMark>& marks,
                                          const std::function<int(const QString&)>& widthOf,
                                          int width) {
    constexpr int Gap = 4;
    std::vector<TPlacedLabel> placed;
    const auto place = [&](std::size_t i) {
        if (marks[i].Label.isEmpty())
            return;
        const int w = widthOf(marks[i].Label);
        const int x = std::clamp(marks[i].Column - w / 2, 0, std::max(width - w, 0));
        for (const TPlacedLabel& other : placed)
            if (x < other.X + other.Width + Gap && other.X < x + w + Gap)
                return;
        placed.push_back({i, x, w});
    };
    std::size_t right = marks.size();
    while (right > 0 && marks[right - 1].Label.isEmpty())
        --right;
    if (right > 0)
        place(right - 1);
    for (std::size_t i = 0; i + 1 < right; ++i)
        place(i);
    return placed;
}

QString SensorInfoLine(const TSensorChannel& channel, int white, TLineForm form) {
    const std::uint64_t total =
        std::accumulate(channel.Counts.begin(), channel.Counts.end(), std::uint64_t{0});
    const double percent = total ? 100.0 * double(channel.Clipped) / double(total) : 0.0;
    const QString headroom = channel.HeadroomEv
                                 ? QStringLiteral("%1 EV").arg(*channel.HeadroomEv, 0, 'f', 1)
                                 : QStringLiteral("\u2014");
    const QString text =
        form == TLineForm::Full
            ? QStringLiteral("%1  Black %2  White %3  Clipped %4 (%5 %)  At black %6  Headroom %7")
            : QStringLiteral("%1 %2/%3 \u00B7 clip %4 (%5 %) \u00B7 \u2264black %6 \u00B7 %7");
    return text.arg(QString::fromStdString(channel.Name))
        .arg(channel.Black)
        .arg(white)
        .arg(channel.Clipped)
        .arg(percent, 0, 'f', 2)
        .arg(channel.AtBlack)
        .arg(headroom);
}

TRgb SensorBarColour(const TSensorChannel& channel) {
    if (channel.Name == "R")
        return BarColour(TChannel::R);
    if (channel.Name == "G")
        return BarColour(TChannel::G);
    if (channel.Name == "B")
        return BarColour(TChannel::B);
    if (channel.Name == "G2")
        return {64, 160, 64};
    return BarColour(TChannel::RGB);
}

void TRawGroup::SetSensor(std::shared_ptr<const TSensorHistogram> sensor) {
    FSensor = std::move(sensor);
    const std::size_t n = FSensor ? FSensor->Channels.size() : 0;
    FImages.assign(n, THistImage(HistFaceColour()));
    for (THistImage& im : FImages)
        im.SetControlSize(FControl);
}

void TRawGroup::SetControlSize(QSize size) {
    FControl = size;
    for (THistImage& im : FImages)
        im.SetControlSize(size);
}

void TRawGroup::ResizePictures() {
    for (THistImage& im : FImages)
        im.ResizePicture();
}

bool TRawGroup::PicturesMade() const {
    return std::all_of(FImages.begin(), FImages.end(),
                       [](const THistImage& im) { return im.Made(); });
}

int TRawGroup::Columns() const {
    return FImages.empty() ? 0 : FImages.front().Picture().width();
}

void TRawGroup::Draw(TCountScale scale) {
    if (FImages.empty())
        return;
    const int low = RawAxisLowEv(*FSensor);
    for (std::size_t i = 0; i < FImages.size(); ++i) {
        THistImage& im = FImages[i];
        im.Clear();
        const TSensorChannel& channel = FSensor->Channels[i];
        const std::vector<std::uint64_t> sums =
            SensorColumns(channel, FSensor->White, FAxis, low, im.Picture().width());
        const std::uint64_t top = std::max<std::uint64_t>(
            sums.empty() ? 1 : *std::max_element(sums.begin(), sums.end()), 1);
        // The engine's bar arithmetic takes 32-bit counts; a larger top is scaled down with
        // every column, which keeps the proportions.
        const double shrink = top > std::numeric_limits<std::uint32_t>::max()
                                  ? double(std::numeric_limits<std::uint32_t>::max()) / double(top)
                                  : 1.0;
        im.SetPen(SensorBarColour(channel));
        for (std::size_t x = 0; x < sums.size(); ++x)
            if (sums[x] != 0)
                DrawBar(im, static_cast<int>(x),
                        BarHeight(Extended(double(sums[x]) * shrink),
                                  static_cast<std::uint32_t>(double(top) * shrink),
                                  im.ControlHeight(), scale));
    }
}

QString TRawGroup::InfoLine(std::size_t channel, TLineForm form) const {
    return SensorInfoLine(FSensor->Channels[channel], FSensor->White, form);
}

std::vector<TRawAxisMark> TRawGroup::Marks() const {
    if (!FSensor)
        return {};
    return RawAxisMarks(FAxis, FSensor->White, RawAxisLowEv(*FSensor), Columns());
}

} // namespace tonalyx
