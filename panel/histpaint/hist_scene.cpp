// The histogram panel's parts, their places and the relayout.
#include "hist_scene.h"

#include "hist_painter.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <utility>

namespace tonalyx {

static_assert(THistScene::PageTop + THistScene::PageBottom == HistTabOverhead,
              "the tab control's frame must be the overhead the height distribution counts");

// ---------------------------------------------------------------- THistScene

namespace {

template <std::size_t... I>
std::array<THistImage, sizeof...(I)> Images(const QColor& background, std::index_sequence<I...>) {
    return {((void)I, THistImage(background))...};
}

constexpr THistItem Histogram(TChannel c) {
    return {false, c, TStrip::Hue};
}
constexpr THistItem StripItem(TStrip s) {
    return {true, TChannel::RGB, s};
}

} // namespace

THistScene::THistScene()
    : FImages(Images(HistFaceColour(), std::make_index_sequence<ChannelCount>())) {
    for (TChannel c : AllChannels)
        FImages[static_cast<std::size_t>(c)].SetChanged(
            [this, c](const QRect& part) { Changed(part.translated(ImageRect(c).topLeft())); });
    int top = 0;
    for (int i = 0; i < HistTabCount; ++i) {
        int content = 0;
        for (const THistItem& item : TabItems(static_cast<THistTab>(i)))
            content += ItemHeight(item);
        FTabs[static_cast<std::size_t>(i)] = {true, top, content + HistTabOverhead};
        top += content + HistTabOverhead;
    }
    FSize = QSize(DesignWidth, top);
    PlaceImages();
    for (THistImage& im : FImages)
        im.ResizePicture();
}

const std::vector<THistItem>& THistScene::TabItems(THistTab t) {
    static const std::array<std::vector<THistItem>, HistTabCount> items = {{
        {Histogram(TChannel::RGB), Histogram(TChannel::R), Histogram(TChannel::G),
         Histogram(TChannel::B)},
        {Histogram(TChannel::H), StripItem(TStrip::Hue), Histogram(TChannel::S),
         Histogram(TChannel::V)},
        {Histogram(TChannel::L), Histogram(TChannel::A), StripItem(TStrip::LabA),
         Histogram(TChannel::B_), StripItem(TStrip::LabB)},
    }};
    return items[static_cast<std::size_t>(t)];
}

QString THistScene::TabCaption(THistTab t) {
    switch (t) {
    case THistTab::RGB:
        return QStringLiteral("RGB");
    case THistTab::HSV:
        return QStringLiteral("HSV");
    case THistTab::LAB:
        break;
    }
    return QStringLiteral("Lab");
}

void THistScene::SetSize(QSize size) {
    if (size == FSize)
        return;
    FSize = size;
    PlaceImages();
    Changed(QRect(QPoint(0, 0), FSize));
}

int THistScene::InnerWidth() const {
    return std::max(FSize.width() - 2 * PageSide, 0);
}

int THistScene::ItemHeight(const THistItem& item) const {
    return item.IsStrip ? StripPanelHeight : FPanelHeight;
}

QRect THistScene::TabRect(THistTab t) const {
    const TTabPlace& place = FTabs[static_cast<std::size_t>(t)];
    return QRect(0, place.Top, FSize.width(), place.Height);
}

QRect THistScene::ItemRect(THistTab t, std::size_t index) const {
    const std::vector<THistItem>& items = TabItems(t);
    int y = TabRect(t).top() + PageTop;
    for (std::size_t i = 0; i < index && i < items.size(); ++i)
        y += ItemHeight(items[i]);
    return QRect(PageSide, y, InnerWidth(), index < items.size() ? ItemHeight(items[index]) : 0);
}

namespace {

// The image control or strip fills its panel less the 1-px bevel.
QRect Client(const QRect& item) {
    return QRect(item.left() + 1, item.top() + 1, std::max(item.width() - 2, 0),
                 std::max(item.height() - 2, 0));
}

} // namespace

QRect THistScene::ImageRect(TChannel c) const {
    const auto t = static_cast<THistTab>(ModelOf(c));
    const std::vector<THistItem>& items = TabItems(t);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (!items[i].IsStrip && items[i].Channel == c)
            return Client(ItemRect(t, i));
    return {};
}

QRect THistScene::StripRect(TStrip s) const {
    const THistTab t = s == TStrip::Hue ? THistTab::HSV : THistTab::LAB;
    const std::vector<THistItem>& items = TabItems(t);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].IsStrip && items[i].Strip == s)
            return Client(ItemRect(t, i));
    return {};
}

std::optional<TChannel> THistScene::ImageAt(QPoint p) const {
    for (TChannel c : AllChannels)
        if (TabShown(static_cast<THistTab>(ModelOf(c))) && ImageRect(c).contains(p))
            return c;
    return std::nullopt;
}

void THistScene::SetCountScale(TCountScale scale) {
    if (scale == FScale)
        return;
    FScale = scale;
    DrawRaw();
}

void THistScene::ShowRaw(bool on) {
    if (on == FRawOn)
        return;
    FRawOn = on;
    PlaceImages();
    Changed(QRect(QPoint(0, 0), FSize));
}

void THistScene::SetSensor(std::shared_ptr<const TSensorHistogram> sensor) {
    FRaw.SetSensor(std::move(sensor));
    PlaceImages();
    FRaw.ResizePictures();
    DrawRaw();
    Changed(QRect(QPoint(0, 0), FSize));
}

void THistScene::SetRawAxis(TRawAxis axis) {
    if (axis == FRaw.Axis())
        return;
    FRaw.SetAxis(axis);
    DrawRaw();
}

void THistScene::DrawRaw() {
    if (!RawShown())
        return;
    FRaw.Draw(FScale);
    Changed(RawTabRect());
}

QRect THistScene::RawTabRect() const {
    int top = 0;
    for (const TTabPlace& t : FTabs)
        if (t.Visible)
            top = std::max(top, t.Top + t.Height);
    const int n = static_cast<int>(FRaw.Channels());
    return QRect(0, top, FSize.width(),
                 n * (FPanelHeight + RawInfoHeight) + RawAxisHeight + HistTabOverhead);
}

QRect THistScene::RawPanelRect(std::size_t channel) const {
    const int y =
        RawTabRect().top() + PageTop + static_cast<int>(channel) * (FPanelHeight + RawInfoHeight);
    return QRect(PageSide, y, InnerWidth(), FPanelHeight);
}

QRect THistScene::RawImageRect(std::size_t channel) const {
    return Client(RawPanelRect(channel));
}

QRect THistScene::RawInfoRect(std::size_t channel) const {
    const QRect panel = RawPanelRect(channel);
    return QRect(PageSide, panel.bottom() + 1, InnerWidth(), RawInfoHeight);
}

QRect THistScene::RawAxisRect() const {
    // Under the last line, its columns those of the pictures.
    const QRect image = RawImageRect(0);
    const std::size_t n = FRaw.Channels();
    const int top = n ? RawInfoRect(n - 1).bottom() + 1 : RawPanelRect(0).top();
    return QRect(image.left(), top, image.width(), RawAxisHeight);
}

bool THistScene::GroupVisible(TColorModel m) const {
    return TabShown(static_cast<THistTab>(m));
}

bool THistScene::AnyTabShown() const {
    return std::any_of(FTabs.begin(), FTabs.end(), [](const TTabPlace& t) { return t.Visible; });
}

void THistScene::PlaceImages() {
    for (TChannel c : AllChannels)
        FImages[static_cast<std::size_t>(c)].SetControlSize(ImageRect(c).size());
    FRaw.SetControlSize(RawImageRect(0).size());
}

THistLayoutInput THistScene::LayoutInput() const {
    THistLayoutInput in;
    in.H = FSize.height();
    in.W = FSize.width();
    for (std::size_t i = 0; i < FTabs.size(); ++i)
        in.Visible[i] = FTabs[i].Visible;
    in.FirstImageWidth = {ImageRect(TChannel::RGB).width(), ImageRect(TChannel::H).width(),
                          ImageRect(TChannel::L).width()};
    in.StripH1 = in.StripA1 = in.StripB1 = StripPanelHeight;
    if (RawShown()) {
        const int n = static_cast<int>(FRaw.Channels());
        in.RawPanels = n;
        in.RawFixed = n * RawInfoHeight + RawAxisHeight + HistTabOverhead;
        in.RawImageWidth = RawImageRect(0).width();
    }
    return in;
}

bool THistScene::HistHeightCorrect() {
    const THistHeights heights = HistHeights(LayoutInput());
    if (!heights.Relayout)
        return false;
    FLast = heights;
    // All heights first, then all pictures.
    for (std::size_t i = 0; i < FTabs.size(); ++i)
        FTabs[i].Height = heights.Tab[i];
    FPanelHeight = heights.P;
    StackTabs(FTabs);
    PlaceImages();
    for (THistImage& im : FImages)
        im.ResizePicture();
    FRaw.ResizePictures();
    DrawRaw();
    Changed(QRect(QPoint(0, 0), FSize));
    return true;
}

bool THistScene::PicturesMade() const {
    return std::all_of(FImages.begin(), FImages.end(),
                       [](const THistImage& im) { return im.Made(); }) &&
           (!RawShown() || FRaw.PicturesMade());
}

void THistScene::ShowModels(const std::array<bool, HistTabCount>& shown) {
    for (THistTab t : {THistTab::LAB, THistTab::HSV, THistTab::RGB})
        SetTabVisible(FTabs, t, shown[static_cast<std::size_t>(t)]);
    RestoreTabOrder(FTabs);
    PlaceImages();
    Changed(QRect(QPoint(0, 0), FSize));
}

void THistScene::Changed(const QRect& part) const {
    if (FChanged)
        FChanged(part);
}

} // namespace tonalyx
