// The drawing of the histogram panel. Each part is drawn in its own coordinates and clipped
// to its own rectangle, the container first and the "^" marks last: the saved pictures
// depend on this order and on these clips, down to how the text is blended.
#include "hist_painter.h"

#include "colour_strips.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace tonalyx {

QColor HistContainerColour() {
    return QColor(215, 228, 242);
}
QColor HistFaceColour() {
    return QColor(240, 240, 240);
}
QColor HistShadowColour() {
    return QColor(160, 160, 160);
}
QColor HistLightColour() {
    return QColor(255, 255, 255);
}
QColor HistTextColour() {
    return QColor(0, 0, 0);
}
QColor HistMarkColour() {
    return QColor(255, 255, 255);
}

QFont HistPanelFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

QFont HistSmallFont() {
    QFont f = HistPanelFont();
    f.setPixelSize(9);
    return f;
}

QFont HistMarkFont() {
    QFont f = HistPanelFont();
    f.setBold(true);
    f.setPixelSize(12);
    return f;
}

namespace {

const QString Mark = QStringLiteral("^");

// Saves the painter's state and moves its origin to the part's top-left corner, clipped
// to the part; restores it when done.
class TPart {
  public:
    TPart(QPainter& p, const QRect& r) : FPainter(p) {
        p.save();
        p.translate(r.topLeft());
        p.setClipRect(QRect(QPoint(0, 0), r.size()), Qt::IntersectClip);
    }
    ~TPart() { FPainter.restore(); }
    TPart(const TPart&) = delete;
    TPart& operator=(const TPart&) = delete;

  private:
    QPainter& FPainter;
};

// A one-tab tab control, w × h: the selected tab with its caption above a framed page.
// The strip beside the tab is left alone: the container's colour shows there.
void PaintTab(QPainter& p, const QString& caption, int w, int h) {
    const QColor face = HistFaceColour(), border = HistShadowColour();
    const int pageTop = THistScene::PageTop - THistScene::PageSide; // the page's top border row

    p.fillRect(0, pageTop, w, h - pageTop, face);
    p.setPen(border);
    p.drawRect(0, pageTop, w - 1, h - pageTop - 1);

    // Framed on three sides and open into the page below it.
    constexpr int tabLeft = 2, tabHeight = THistScene::TabHeight;
    p.setFont(HistPanelFont());
    const int tabWidth = std::max(p.fontMetrics().horizontalAdvance(caption) + 14, 32);
    const int tabTop = pageTop - tabHeight;
    p.fillRect(tabLeft, tabTop, tabWidth, tabHeight + 1, face);
    p.fillRect(tabLeft, tabTop, tabWidth, 1, border);
    p.fillRect(tabLeft, tabTop, 1, tabHeight + 1, border);
    p.fillRect(tabLeft + tabWidth - 1, tabTop, 1, tabHeight + 1, border);
    p.fillRect(tabLeft + 1, tabTop + 1, tabWidth - 2, 1, HistLightColour());
    p.setPen(HistTextColour());
    p.drawText(QRect(tabLeft, tabTop, tabWidth, tabHeight), Qt::AlignCenter, caption);
}

// A panel with a lowered 1-px bevel around the face, w × h: shadow along the top and
// left, light along the bottom and right.
void PaintBevel(QPainter& p, int w, int h) {
    p.fillRect(0, 0, w, h, HistFaceColour());
    if (w < 1 || h < 1)
        return;
    const QColor shadow = HistShadowColour(), light = HistLightColour();
    p.fillRect(0, 0, w, 1, shadow);
    p.fillRect(0, 0, 1, h, shadow);
    p.fillRect(0, h - 1, w, 1, light);
    p.fillRect(w - 1, 1, 1, h - 1, light);
}

// An image control: its picture at the top-left, the background beyond it.
void PaintImage(QPainter& p, const THistImage& image) {
    const QImage& picture = image.Picture();
    const int w = image.ControlWidth(), h = image.ControlHeight();
    p.drawImage(0, 0, picture);
    const int pw = picture.width(), ph = picture.height();
    p.fillRect(pw, 0, w - pw, h, image.Background());
    p.fillRect(0, ph, pw, h - ph, image.Background());
}

const QImage& StripPicture(TStrip s) {
    static const QImage hue = HueStrip(), a = LabAStrip(), b = LabBStrip();
    switch (s) {
    case TStrip::Hue:
        return hue;
    case TStrip::LabA:
        return a;
    case TStrip::LabB:
        break;
    }
    return b;
}

// The "^" over a strip panel w px wide: as wide as the panel and placed so that the point
// of the glyph lies in the strip's first row; the panel cuts off the rest of the glyph.
void PaintMark(QPainter& p, int w) {
    const QFont font = HistMarkFont();
    const QFontMetrics fm(font);
    const int glyphTop = fm.ascent() + fm.tightBoundingRect(Mark).top();
    const QRect r(0, 1 - glyphTop, w, fm.height());
    TPart part(p, r);
    p.setFont(font);
    p.setPen(HistMarkColour());
    p.drawText(QRect(QPoint(0, 0), r.size()), Qt::AlignHCenter | Qt::AlignTop, Mark);
}

// The image control or strip fills its panel, w × h, less the bevel.
QRect Client(int w, int h) {
    return QRect(1, 1, std::max(w - 2, 0), std::max(h - 2, 0));
}

// A histogram's bevelled panel at r.
void PaintImagePanel(QPainter& p, const THistImage& image, const QRect& r) {
    TPart part(p, r);
    PaintBevel(p, r.width(), r.height());
    TPart inClient(p, Client(r.width(), r.height()));
    PaintImage(p, image);
}

void PaintItem(QPainter& p, const THistScene& scene, const THistItem& item, const QRect& r) {
    if (!item.IsStrip) {
        PaintImagePanel(p, scene.Image(item.Channel), r);
        return;
    }
    TPart part(p, r);
    PaintBevel(p, r.width(), r.height());
    const QRect client = Client(r.width(), r.height());
    {
        TPart inClient(p, client);
        p.drawImage(QRect(QPoint(0, 0), client.size()), StripPicture(item.Strip));
    }
    if (item.Strip != TStrip::Hue)
        PaintMark(p, r.width());
}

// The Raw tab: each channel's panel with its line under it, then the axis's marks with their
// labels, each label centred on its mark but kept within the axis.
void PaintRawGroup(QPainter& p, const THistScene& scene) {
    const QRect tab = scene.RawTabRect();
    {
        TPart part(p, tab);
        PaintTab(p, THistScene::RawCaption(), tab.width(), tab.height());
    }
    const TRawGroup& raw = scene.Raw();
    const QFont font = HistSmallFont();
    const QFontMetrics fm(font);
    for (std::size_t i = 0; i < raw.Channels(); ++i) {
        TPart inTab(p, tab);
        PaintImagePanel(p, raw.Image(i), scene.RawPanelRect(i).translated(-tab.topLeft()));
        const QRect info = scene.RawInfoRect(i).translated(-tab.topLeft());
        TPart part(p, info);
        p.setFont(font);
        p.setPen(HistTextColour());
        QString line = raw.InfoLine(i, TLineForm::Full);
        if (fm.horizontalAdvance(line) > info.width() - 1)
            line = raw.InfoLine(i, TLineForm::Short);
        p.drawText(QRect(QPoint(1, 0), info.size()), Qt::AlignLeft | Qt::AlignVCenter, line);
    }
    TPart inTab(p, tab);
    const QRect axis = scene.RawAxisRect().translated(-tab.topLeft());
    TPart part(p, axis);
    constexpr int tick = 3;
    p.setFont(font);
    p.setPen(HistTextColour());
    const std::vector<TRawAxisMark> marks = raw.Marks();
    for (const TRawAxisMark& mark : marks)
        p.fillRect(mark.Column, 0, 1, tick, HistShadowColour());
    const auto widthOf = [&fm](const QString& text) { return fm.horizontalAdvance(text); };
    for (const TPlacedLabel& label : PlaceAxisLabels(marks, widthOf, axis.width()))
        p.drawText(QRect(label.X, tick, label.Width, axis.height() - tick),
                   Qt::AlignLeft | Qt::AlignTop, marks[label.Mark].Label);
}

} // namespace

void PaintHistPanel(QPainter& p, const THistScene& scene) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setBrush(Qt::NoBrush);
    p.fillRect(QRect(QPoint(0, 0), scene.Size()), HistContainerColour());
    for (THistTab t : {THistTab::RGB, THistTab::HSV, THistTab::LAB}) {
        if (!scene.TabShown(t))
            continue;
        const QRect tab = scene.TabRect(t);
        {
            TPart part(p, tab);
            PaintTab(p, THistScene::TabCaption(t), tab.width(), tab.height());
        }
        const std::vector<THistItem>& items = THistScene::TabItems(t);
        for (std::size_t i = 0; i < items.size(); ++i) {
            // A part never shows outside its tab.
            TPart inTab(p, tab);
            PaintItem(p, scene, items[i], scene.ItemRect(t, i).translated(-tab.topLeft()));
        }
    }
    if (scene.RawShown())
        PaintRawGroup(p, scene);
    p.restore();
}

std::vector<THistMark> PixelMarks(int r, int g, int b) {
    // Dark enough to stand out on the grey bars and on their own primary's bars.
    const QColor primary[3] = {QColor(176, 0, 0), QColor(0, 112, 0), QColor(0, 0, 176)};
    std::vector<THistMark> marks;
    for (TChannel c : AllChannels) {
        const TPixelBins bins = PixelBins(c, r, g, b);
        for (int i = 0; i < bins.Count; ++i) {
            QColor colour(0, 0, 0);
            if (c == TChannel::RGB)
                colour = primary[i];
            else if (c == TChannel::R || c == TChannel::G || c == TChannel::B)
                colour = primary[static_cast<int>(c) - static_cast<int>(TChannel::R)];
            marks.push_back({c, bins.Bins[static_cast<std::size_t>(i)], colour});
        }
    }
    return marks;
}

QRect MarkRect(const THistScene& scene, const THistMark& mark) {
    if (!scene.TabShown(static_cast<THistTab>(ModelOf(mark.Channel))))
        return {};
    static const TAllChanel axes = OriginParameters();
    const THistImage& image = scene.Image(mark.Channel);
    const int x = BinColumn(axes[mark.Channel].Others, mark.Bin, image.ControlWidth());
    const int h = std::min(image.Picture().height(), image.ControlHeight());
    if (x < 0 || x >= image.Picture().width() || h <= 0)
        return {};
    return QRect(scene.ImageRect(mark.Channel).topLeft() + QPoint(x, 0), QSize(1, h));
}

void PaintHistMarks(QPainter& p, const THistScene& scene, std::span<const THistMark> marks) {
    for (const THistMark& mark : marks) {
        const QRect r = MarkRect(scene, mark);
        if (!r.isEmpty())
            p.fillRect(r, mark.Colour);
    }
}

QImage HistPanelImage(const THistScene& scene) {
    if (!PaintableSize(scene.Size()) || !scene.PicturesMade())
        return {};
    QImage picture(scene.Size(), QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.setDevicePixelRatio(1);
    QPainter p(&picture);
    PaintHistPanel(p, scene);
    return picture;
}

} // namespace tonalyx
