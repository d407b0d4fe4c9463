// The histogram panel pnHistContainer: the three model tabs tabRGB, tabHSV, tabLAB stacked
// from the top, each a column of bevelled histogram panels holding the image controls the
// engine draws into, and the colour strips under the hue, a* and b* histograms.
#pragma once

#include "render.h"
#include "hist_layout.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

class QAction;
class QLabel;

namespace tonalyx {

// The image control of one histogram. Its picture is one pixel narrower and one pixel
// lower than the control and is shown at the control's top-left; the rest of the control
// shows the background colour.
class THistImage final : public QWidget, public THistTarget {
    Q_OBJECT
  public:
    THistImage(const QColor& background, QWidget* parent);

    // The picture at (control width − 1) × (control height − 1), height first as the
    // layout asks; the new picture is filled with the background.
    void ResizePicture();
    const QImage& Picture() const { return FPicture; }
    QColor Background() const { return FBackground; }

    int ControlWidth() const override { return width(); }
    int ControlHeight() const override { return height(); }
    void Clear() override;
    void SetPen(TRgb colour) override { FPen = qRgb(colour.r, colour.g, colour.b); }
    void VerticalLine(int x, int yFrom, int yTo) override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor FBackground;
    QRgb FPen;
    QImage FPicture;
};

// A panel with a lowered 1-px bevel around a button-face area.
class THistBevel final : public QWidget {
    Q_OBJECT
  public:
    explicit THistBevel(QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// A fixed picture shown stretched over the whole control (the colour strips).
class TStripImage final : public QWidget {
    Q_OBJECT
  public:
    TStripImage(QImage picture, QWidget* parent);
    const QImage& Picture() const { return FPicture; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage FPicture;
};

// A one-tab tab control: a 14-px tab with the caption above a bordered page. The page's
// panels start 20 px below the control's top and end 4 px above its bottom, 4 px in from
// either side.
class THistTabControl final : public QWidget {
    Q_OBJECT
  public:
    THistTabControl(const QString& caption, QWidget* parent);
    QString Caption() const { return FCaption; }

    static constexpr int TabHeight = 14;
    static constexpr int PageTop = 20;   // first panel's top
    static constexpr int PageBottom = 4; // below the last panel
    static constexpr int PageSide = 4;   // left and right of the panels

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString FCaption;
};

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

    // The histogram panel height of the last relayout (0 before the first one).
    int PanelHeight() const { return FLast.P; }
    const THistHeights& LastHeights() const { return FLast; }
    // Whether invoking the command toggles its checked state (the guard switches it off).
    bool AutoCheck(THistTab tab) const { return FAutoCheck[static_cast<std::size_t>(tab)]; }

    // THistSurfaces: the ten image controls and the visibility of their tab controls.
    THistTarget& Target(TChannel c) override;
    bool GroupVisible(TColorModel m) const override;

    THistImage* Image(TChannel c) const { return FImages[static_cast<std::size_t>(c)]; }
    THistBevel* Panel(TChannel c) const { return FPanels[static_cast<std::size_t>(c)]; }
    THistTabControl* Tab(THistTab t) const { return FTabs[static_cast<std::size_t>(t)]; }

    // The components, owned by their parents.
    THistTabControl *tabRGB, *tabHSV, *tabLAB;
    THistBevel *pnRGB_RGB, *pnRGB_R, *pnRGB_G, *pnRGB_B;
    THistBevel *pnHSV_H, *pnHSV_H1, *pnHSV_S, *pnHSV_V;
    THistBevel *pnLab_L, *pnLab_A, *pnLab_A1, *pnLab_B, *pnLab_B1;
    THistImage *imRGB_RGB, *imRGB_R, *imRGB_G, *imRGB_B;
    THistImage *imHSV_H, *imHSV_S, *imHSV_V;
    THistImage *imLAB_L, *imLAB_A, *imLAB_B;
    TStripImage *imHSV_H1, *imLAB_A1, *imLAB_B1;
    QLabel *lblLAB_A1, *lblLAB_B1;

    // The container's colour, part of every saved histogram picture and so not the
    // window theme's, and the design sizes.
    static QColor ContainerColour() { return QColor(215, 228, 242); }
    static constexpr int DesignWidth = 243;
    static constexpr int DesignHeight = 459; // in a main window of its design size
    static constexpr int DesignPanelHeight = 41;
    static constexpr int StripPanelHeight = 5;

  signals:
    // The container was shown or hidden; the splitter beside it follows.
    void ContainerVisibilityChanged(bool visible);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void pnHistContainerResize();
    THistLayoutInput LayoutInput() const;
    TTabPlaces TabPlaces() const;
    // Places the tabs as given and every child inside them at the container's width.
    void Align(const TTabPlaces& tabs);
    void OnModelTriggered(int index, bool checked);

    std::array<THistTabControl*, HistTabCount> FTabs{};
    std::array<THistBevel*, ChannelCount> FPanels{};
    // The panels and strips of each tab, top to bottom.
    std::array<std::vector<THistBevel*>, HistTabCount> FTabItems;
    std::array<THistImage*, ChannelCount> FImages{};
    std::array<QAction*, HistTabCount> FActions{};
    std::array<bool, HistTabCount> FAutoCheck{true, true, true};
    std::function<void()> FRender;
    THistHeights FLast;
};

} // namespace tonalyx
