// What the histogram panel pnHistContainer shows, without a widget: its size, where the
// model tabs tabRGB, tabHSV, tabLAB and their bevelled panels lie, and the ten pictures the
// engine draws the bars into, and under them the Raw group of a sensor's histogram when
// there is one. The window's panel, its exports and tonalyx-render each hold one and paint it
// with PaintHistPanel. Used on one thread, its owner's.
#pragma once

#include "hist_image.h"
#include "hist_layout.h"
#include "raw_group.h"
#include "render.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tonalyx {

// The three colour strips: imHSV_H1 under the hue, imLAB_A1 under a*, imLAB_B1 under b*.
enum class TStrip : int { Hue, LabA, LabB };
inline constexpr int StripCount = 3;

// One bevelled panel of a tab: a histogram panel (pnRGB_R …) or a strip panel (pnHSV_H1 …).
struct THistItem {
    bool IsStrip = false;
    TChannel Channel = TChannel::RGB; // the histogram, when not a strip
    TStrip Strip = TStrip::Hue;       // the strip, when one
};

class THistScene final : public THistSurfaces {
  public:
    // The design: 243 px wide, every histogram panel 41 px high, all three tabs shown one
    // under the other, the pictures at their design size.
    THistScene();
    THistScene(const THistScene&) = delete;
    THistScene& operator=(const THistScene&) = delete;

    static constexpr int DesignWidth = 243;
    static constexpr int DesignHeight = 459; // the container's in a main window of its design size
    static constexpr int DesignPanelHeight = 41;
    static constexpr int StripPanelHeight = 5;
    // The tab control's frame: a 14-px tab; the page's panels start 20 px below the
    // control's top and end 4 px above its bottom, 4 px in from either side.
    static constexpr int TabHeight = 14;
    static constexpr int PageTop = 20;
    static constexpr int PageBottom = 4;
    static constexpr int PageSide = 4;

    QSize Size() const { return FSize; }
    // The container's new size. The widths follow at once; the heights wait for
    // HistHeightCorrect.
    void SetSize(QSize size);

    // Recomputes every height from the size and the shown tabs and resizes the ten
    // pictures. False, and nothing changed, below 150 × 20 or with no tab shown.
    bool HistHeightCorrect();
    // Shows and hides the tabs, Lab first, then HSV, then RGB, and puts the shown ones
    // back into the order RGB, HSV, Lab. The heights wait for HistHeightCorrect.
    void ShowModels(const std::array<bool, HistTabCount>& shown);
    bool TabShown(THistTab t) const { return FTabs[static_cast<std::size_t>(t)].Visible; }
    bool AnyTabShown() const;

    const TTabPlaces& Tabs() const { return FTabs; }
    // The height of the ten histogram panels (the design's until the first relayout).
    int PanelHeight() const { return FPanelHeight; }
    // The heights of the last relayout (all 0 before the first one).
    const THistHeights& LastHeights() const { return FLast; }

    // The panels of a tab, top to bottom.
    static const std::vector<THistItem>& TabItems(THistTab t);
    static QString TabCaption(THistTab t);

    // Where the parts lie in the container, whether shown or not.
    QRect TabRect(THistTab t) const;
    QRect ItemRect(THistTab t, std::size_t index) const;
    QRect ImageRect(TChannel c) const;
    QRect StripRect(TStrip s) const;
    // The image control under a point of the container, among the shown tabs.
    std::optional<TChannel> ImageAt(QPoint p) const;

    const THistImage& Image(TChannel c) const { return FImages[static_cast<std::size_t>(c)]; }
    // Whether every one of the ten pictures, and the Raw group's when shown, got its memory at
    // the last relayout.
    bool PicturesMade() const;

    // THistSurfaces: the ten image controls and whether their tabs are shown.
    THistTarget& Target(TChannel c) override { return FImages[static_cast<std::size_t>(c)]; }
    bool GroupVisible(TColorModel m) const override;
    // The count axis the owner draws the histograms with (linear until set); the pictures
    // change only when the owner draws them again.
    TCountScale CountScale() const override { return FScale; }
    void SetCountScale(TCountScale scale);

    // Told of every part of the container that looks different now, in its pixels.
    void SetChanged(std::function<void(const QRect&)> changed) { FChanged = std::move(changed); }

    // The Raw group, below the three tabs: shown when it is switched on and there is a
    // sensor histogram with channels. Its pictures are drawn by the scene itself, at every
    // relayout and every change of its sensor, axis or count scale; its heights wait for
    // HistHeightCorrect as the tabs' do.
    void ShowRaw(bool on);
    void SetSensor(std::shared_ptr<const TSensorHistogram> sensor);
    void SetRawAxis(TRawAxis axis);
    bool RawShown() const { return FRawOn && FRaw.Channels() > 0; }
    const TRawGroup& Raw() const { return FRaw; }
    // The Raw tab: one panel per channel with its line under it, then the axis.
    static constexpr int RawInfoHeight = 12;
    static constexpr int RawAxisHeight = 14;
    static QString RawCaption() { return QStringLiteral("Raw"); }
    // Where its parts lie in the container (its top is the bottom of the shown tabs).
    QRect RawTabRect() const;
    QRect RawPanelRect(std::size_t channel) const; // the bevelled panel
    QRect RawImageRect(std::size_t channel) const;
    QRect RawInfoRect(std::size_t channel) const;
    QRect RawAxisRect() const;

  private:
    int InnerWidth() const;
    int ItemHeight(const THistItem& item) const;
    // The image controls' sizes after a change of width or heights.
    void PlaceImages();
    // The Raw group's pictures drawn again, when it is shown.
    void DrawRaw();
    THistLayoutInput LayoutInput() const;
    void Changed(const QRect& part) const;

    QSize FSize;
    TTabPlaces FTabs{};
    int FPanelHeight = DesignPanelHeight;
    THistHeights FLast;
    std::array<THistImage, ChannelCount> FImages;
    TCountScale FScale = TCountScale::Linear;
    std::function<void(const QRect&)> FChanged;
    bool FRawOn = false;
    TRawGroup FRaw;
};

} // namespace tonalyx
