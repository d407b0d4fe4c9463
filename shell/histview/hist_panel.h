// The histogram panel pnHistContainer as a widget: the three model tabs tabRGB, tabHSV,
// tabLAB stacked from the top, each a column of bevelled histogram panels with the image
// controls the engine draws into, and the colour strips under the hue, a* and b*
// histograms. What it shows is its THistScene, drawn by PaintHistPanel; the widget follows
// its size and the model commands.
#pragma once

#include "hist_layout.h"
#include "hist_painter.h"
#include "hist_scene.h"
#include "render.h"

#include <QColor>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;

namespace tonalyx {

class THistPanel final : public QWidget, public THistSurfaces {
    Q_OBJECT
  public:
    explicit THistPanel(QWidget* parent = nullptr);

    // The colour-model commands acRGB, acHSV, acLab of the main window. The panel makes
    // them checkable and handles their triggered signals itself (HistSetVisibleAndHeightCorr).
    void SetModelActions(QAction* rgb, QAction* hsv, QAction* lab);
    // Called once after every relayout, when the pictures have their new sizes; the main
    // window draws the histograms from it (THist::Show with Origin4Show).
    void SetRenderCallback(std::function<void()> render) { FRender = std::move(render); }

    // Recomputes every height from the container's size and the visible tabs, resizes
    // the ten pictures and asks for one redraw. Does nothing below 150 × 20.
    void HistHeightCorrect();
    // The handler of acRGB, acHSV, acLab (sender may be null): tab visibility from the
    // commands' checked states, the tab order, the container's visibility, the relayout
    // and the guard that keeps the last shown model from being switched off.
    void HistSetVisibleAndHeightCorr(QAction* sender);

    // What the panel shows; the exports draw it.
    const THistScene& Scene() const { return FScene; }
    // Whether the model's tab is shown, whether or not the window is on screen.
    bool TabShown(THistTab t) const { return FScene.TabShown(t); }
    // The histogram panel height of the last relayout (0 before the first one).
    int PanelHeight() const { return FScene.LastHeights().P; }
    const THistHeights& LastHeights() const { return FScene.LastHeights(); }
    const THistImage& Image(TChannel c) const { return FScene.Image(c); }
    // The tooltip of one histogram, shown while the pointer rests over it; none when empty.
    void SetToolTip(TChannel c, const QString& text) {
        FToolTips[static_cast<std::size_t>(c)] = text;
    }
    QString ToolTip(TChannel c) const { return FToolTips[static_cast<std::size_t>(c)]; }
    // Whether invoking the command toggles its checked state (the guard switches it off).
    bool AutoCheck(THistTab tab) const { return FAutoCheck[static_cast<std::size_t>(tab)]; }

    // THistSurfaces: the ten image controls and the visibility of their tab controls.
    THistTarget& Target(TChannel c) override { return FScene.Target(c); }
    bool GroupVisible(TColorModel m) const override { return FScene.GroupVisible(m); }
    TCountScale CountScale() const override { return FScene.CountScale(); }
    // A new count axis redraws the histograms through the render callback.
    void SetCountScale(TCountScale scale);
    // The Raw group under the three tabs: switched on or off, the current picture's sensor
    // histogram (none for a picture that is not a camera raw file), and its axis. The panel
    // is laid out again when the group appears or goes.
    void ShowRaw(bool on);
    void SetSensor(std::shared_ptr<const TSensorHistogram> sensor);
    void SetRawAxis(TRawAxis axis) { FScene.SetRawAxis(axis); }
    // The marks of the pixel under the pointer, drawn over the panel on screen only (the
    // scene, and so every export, never holds them); none to take them away.
    void SetMarks(std::vector<THistMark> marks);
    const std::vector<THistMark>& Marks() const { return FMarks; }

    // The container's colour, part of every saved histogram picture and so not the
    // window theme's, and the design sizes.
    static QColor ContainerColour();
    static constexpr int DesignWidth = THistScene::DesignWidth;
    static constexpr int DesignHeight = THistScene::DesignHeight;
    static constexpr int DesignPanelHeight = THistScene::DesignPanelHeight;
    static constexpr int StripPanelHeight = THistScene::StripPanelHeight;

  signals:
    // The container was shown or hidden; the splitter beside it follows.
    void ContainerVisibilityChanged(bool visible);

  protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void pnHistContainerResize();
    void OnModelTriggered(int index, bool checked);
    // A relayout when the Raw group came or went with a change.
    void RawChanged(bool wasShown);

    THistScene FScene;
    std::array<QAction*, HistTabCount> FActions{};
    std::array<bool, HistTabCount> FAutoCheck{true, true, true};
    std::function<void()> FRender;
    std::array<QString, ChannelCount> FToolTips;
    std::vector<THistMark> FMarks;
};

} // namespace tonalyx
