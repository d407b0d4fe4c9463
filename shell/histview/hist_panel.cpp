// The histogram panel: its components, their placement and the relayout.
#include "hist_panel.h"

#include "colour_strips.h"

#include <QAction>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <utility>

namespace tonalyx {

static_assert(THistTabControl::PageTop + THistTabControl::PageBottom == HistTabOverhead,
              "the tab control's frame must be the overhead the height distribution counts");

// ---------------------------------------------------------------- THistImage

THistImage::THistImage(const QColor& background, QWidget* parent)
    : QWidget(parent), FBackground(background), FPen(background.rgb()) {
    // The control paints every pixel itself; Qt's own back buffer does the rest, so a
    // redraw on every resize does not flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void THistImage::ResizePicture() {
    const int h = std::max(height() - 1, 0), w = std::max(width() - 1, 0);
    if (FPicture.height() == h && FPicture.width() == w)
        return;
    // QImage takes both sides at once; the order (rows, then columns) leaves nothing to see.
    FPicture = QImage(w, h, QImage::Format_RGB32);
    FPicture.fill(FBackground);
    update();
}

void THistImage::Clear() {
    FPicture.fill(FBackground);
    update();
}

void THistImage::VerticalLine(int x, int yFrom, int yTo) {
    if (x < 0 || x >= FPicture.width() || yFrom == yTo)
        return;
    // The end point is not painted: rows yFrom .. yTo − step.
    const int step = yTo > yFrom ? 1 : -1;
    int first = yFrom, last = yTo - step;
    if (first > last)
        std::swap(first, last);
    first = std::max(first, 0);
    last = std::min(last, FPicture.height() - 1);
    for (int y = first; y <= last; ++y)
        reinterpret_cast<QRgb*>(FPicture.scanLine(y))[x] = FPen;
    update(x, first, 1, std::max(last - first + 1, 0));
}

void THistImage::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setClipRegion(event->region());
    p.drawImage(0, 0, FPicture);
    // The last column and row of the control, beyond the picture.
    const int pw = FPicture.width(), ph = FPicture.height();
    p.fillRect(pw, 0, width() - pw, height(), FBackground);
    p.fillRect(0, ph, pw, height() - ph, FBackground);
}

// ---------------------------------------------------------------- THistBevel

THistBevel::THistBevel(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void THistBevel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), palette().color(QPalette::Button));
    if (w < 1 || h < 1)
        return;
    // Lowered: shadow along the top and left, light along the bottom and right.
    const QColor shadow = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
    p.fillRect(0, 0, w, 1, shadow);
    p.fillRect(0, 0, 1, h, shadow);
    p.fillRect(0, h - 1, w, 1, light);
    p.fillRect(w - 1, 1, 1, h - 1, light);
}

// ---------------------------------------------------------------- TStripImage

TStripImage::TStripImage(QImage picture, QWidget* parent)
    : QWidget(parent), FPicture(std::move(picture)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TStripImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(rect(), FPicture);
}

// ---------------------------------------------------------------- THistTabControl

THistTabControl::THistTabControl(const QString& caption, QWidget* parent)
    : QWidget(parent), FCaption(caption) {
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
}

void THistTabControl::paintEvent(QPaintEvent*) {
    // The strip beside the tab is left unpainted: the container's colour shows there.
    QPainter p(this);
    const QColor face = palette().color(QPalette::Button);
    const QColor border = palette().color(QPalette::Dark);
    const QColor light = palette().color(QPalette::Light);
    const int w = width(), h = height();
    const int pageTop = PageTop - PageSide; // the page's top border row

    // The page: a 1-px frame around the button face.
    p.fillRect(0, pageTop, w, h - pageTop, face);
    p.setPen(border);
    p.drawRect(0, pageTop, w - 1, h - pageTop - 1);

    // The one tab, selected: framed on three sides and open into the page below it.
    const int tabLeft = 2;
    const int tabWidth = std::max(fontMetrics().horizontalAdvance(FCaption) + 14, 32);
    const int tabTop = pageTop - TabHeight;
    p.fillRect(tabLeft, tabTop, tabWidth, TabHeight + 1, face);
    p.fillRect(tabLeft, tabTop, tabWidth, 1, border);
    p.fillRect(tabLeft, tabTop, 1, TabHeight + 1, border);
    p.fillRect(tabLeft + tabWidth - 1, tabTop, 1, TabHeight + 1, border);
    p.fillRect(tabLeft + 1, tabTop + 1, tabWidth - 2, 1, light);
    p.setPen(palette().color(QPalette::ButtonText));
    p.drawText(QRect(tabLeft, tabTop, tabWidth, TabHeight), Qt::AlignCenter, FCaption);
}

// ---------------------------------------------------------------- THistPanel

THistPanel::THistPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("pnHistContainer");
    setAutoFillBackground(true);
    // Colours and font of our own, not the desktop's: the exported picture must come out
    // byte for byte the same on every desktop and in the batch renderer without one.
    QPalette pal;
    const QColor buttonFace(240, 240, 240), shadow(160, 160, 160), white(255, 255, 255);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Window, ContainerColour());
        pal.setColor(group, QPalette::Button, buttonFace);
        pal.setColor(group, QPalette::Dark, shadow);
        pal.setColor(group, QPalette::Light, white);
        pal.setColor(group, QPalette::Base, white);
        pal.setColor(group, QPalette::ButtonText, Qt::black);
        pal.setColor(group, QPalette::WindowText, Qt::black);
    }
    setPalette(pal);
    QFont panelFont(QStringLiteral("DejaVu Sans"));
    panelFont.setPixelSize(11);
    panelFont.setHintingPreference(QFont::PreferNoHinting);
    setFont(panelFont);

    const QColor face = palette().color(QPalette::Button);
    auto tab = [&](const char* name, const char* caption) {
        auto* t = new THistTabControl(QString::fromLatin1(caption), this);
        t->setObjectName(QString::fromLatin1(name));
        return t;
    };
    auto panel = [&](QWidget* parentTab, const char* name, int height) {
        auto* p = new THistBevel(parentTab);
        p->setObjectName(QString::fromLatin1(name));
        p->resize(DesignWidth - 2 * THistTabControl::PageSide, height);
        return p;
    };
    auto image = [&](THistBevel* parentPanel, const char* name) {
        auto* im = new THistImage(face, parentPanel);
        im->setObjectName(QString::fromLatin1(name));
        return im;
    };
    auto strip = [&](THistBevel* parentPanel, const char* name, QImage picture) {
        auto* im = new TStripImage(std::move(picture), parentPanel);
        im->setObjectName(QString::fromLatin1(name));
        return im;
    };
    auto caret = [&](THistBevel* parentPanel, const char* name) {
        auto* l = new QLabel(QStringLiteral("^"), parentPanel);
        l->setObjectName(QString::fromLatin1(name));
        QFont f = l->font();
        f.setBold(true);
        f.setPixelSize(12);
        l->setFont(f);
        l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        QPalette lp = l->palette();
        lp.setColor(QPalette::WindowText, palette().color(QPalette::Base));
        l->setPalette(lp);
        l->setAutoFillBackground(false);
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        return l;
    };

    tabRGB = tab("tabRGB", "RGB");
    pnRGB_RGB = panel(tabRGB, "pnRGB_RGB", DesignPanelHeight);
    pnRGB_R = panel(tabRGB, "pnRGB_R", DesignPanelHeight);
    pnRGB_G = panel(tabRGB, "pnRGB_G", DesignPanelHeight);
    pnRGB_B = panel(tabRGB, "pnRGB_B", DesignPanelHeight);

    tabHSV = tab("tabHSV", "HSV");
    pnHSV_H = panel(tabHSV, "pnHSV_H", DesignPanelHeight);
    pnHSV_H1 = panel(tabHSV, "pnHSV_H1", StripPanelHeight);
    pnHSV_S = panel(tabHSV, "pnHSV_S", DesignPanelHeight);
    pnHSV_V = panel(tabHSV, "pnHSV_V", DesignPanelHeight);

    tabLAB = tab("tabLAB", "Lab");
    pnLab_L = panel(tabLAB, "pnLab_L", DesignPanelHeight);
    pnLab_A = panel(tabLAB, "pnLab_A", DesignPanelHeight);
    pnLab_A1 = panel(tabLAB, "pnLab_A1", StripPanelHeight);
    pnLab_B = panel(tabLAB, "pnLab_B", DesignPanelHeight);
    pnLab_B1 = panel(tabLAB, "pnLab_B1", StripPanelHeight);

    imRGB_RGB = image(pnRGB_RGB, "imRGB_RGB");
    imRGB_R = image(pnRGB_R, "imRGB_R");
    imRGB_G = image(pnRGB_G, "imRGB_G");
    imRGB_B = image(pnRGB_B, "imRGB_B");
    imHSV_H = image(pnHSV_H, "imHSV_H");
    imHSV_S = image(pnHSV_S, "imHSV_S");
    imHSV_V = image(pnHSV_V, "imHSV_V");
    imLAB_L = image(pnLab_L, "imLAB_L");
    imLAB_A = image(pnLab_A, "imLAB_A");
    imLAB_B = image(pnLab_B, "imLAB_B");

    imHSV_H1 = strip(pnHSV_H1, "imHSV_H1", HueStrip());
    imLAB_A1 = strip(pnLab_A1, "imLAB_A1", LabAStrip());
    imLAB_B1 = strip(pnLab_B1, "imLAB_B1", LabBStrip());
    lblLAB_A1 = caret(pnLab_A1, "lblLAB_A1");
    lblLAB_B1 = caret(pnLab_B1, "lblLAB_B1");

    FTabs = {tabRGB, tabHSV, tabLAB};
    FPanels = {pnRGB_RGB, pnRGB_R, pnRGB_G, pnRGB_B, pnHSV_H,
               pnHSV_S,   pnHSV_V, pnLab_L, pnLab_A, pnLab_B};
    FImages = {imRGB_RGB, imRGB_R, imRGB_G, imRGB_B, imHSV_H,
               imHSV_S,   imHSV_V, imLAB_L, imLAB_A, imLAB_B};

    // The design: every panel 41 px high, the tabs one under the other.
    FTabItems = {{{pnRGB_RGB, pnRGB_R, pnRGB_G, pnRGB_B},
                  {pnHSV_H, pnHSV_H1, pnHSV_S, pnHSV_V},
                  {pnLab_L, pnLab_A, pnLab_A1, pnLab_B, pnLab_B1}}};

    TTabPlaces tabs{};
    int top = 0;
    for (std::size_t i = 0; i < FTabs.size(); ++i) {
        int content = 0;
        for (const THistBevel* item : FTabItems[i])
            content += item->height();
        tabs[i] = {true, top, content + HistTabOverhead};
        top += content + HistTabOverhead;
    }
    resize(DesignWidth, top);
    Align(tabs);
    for (THistImage* im : FImages)
        im->ResizePicture();
}

void THistPanel::SetModelActions(QAction* rgb, QAction* hsv, QAction* lab) {
    for (QAction* old : FActions)
        if (old)
            disconnect(old, nullptr, this, nullptr);
    FActions = {rgb, hsv, lab};
    for (int i = 0; i < HistTabCount; ++i) {
        QAction* a = FActions[static_cast<std::size_t>(i)];
        if (!a)
            continue;
        a->setCheckable(true);
        connect(a, &QAction::triggered, this,
                [this, i](bool checked) { OnModelTriggered(i, checked); });
    }
}

void THistPanel::OnModelTriggered(int index, bool checked) {
    QAction* a = FActions[static_cast<std::size_t>(index)];
    // Qt has already toggled the command. Where its toggle flag is off (the last model
    // shown), invoking it must leave it as it was.
    if (!FAutoCheck[static_cast<std::size_t>(index)])
        a->setChecked(!checked);
    HistSetVisibleAndHeightCorr(a);
}

THistTarget& THistPanel::Target(TChannel c) {
    return *FImages[static_cast<std::size_t>(c)];
}

bool THistPanel::GroupVisible(TColorModel m) const {
    // The tab control's own flag, independent of whether the window is on screen.
    return !FTabs[static_cast<std::size_t>(m)]->isHidden();
}

TTabPlaces THistPanel::TabPlaces() const {
    TTabPlaces tabs{};
    for (std::size_t i = 0; i < FTabs.size(); ++i)
        tabs[i] = {!FTabs[i]->isHidden(), FTabs[i]->y(), FTabs[i]->height()};
    return tabs;
}

void THistPanel::Align(const TTabPlaces& tabs) {
    const int W = width();
    const int inner = W - 2 * THistTabControl::PageSide;
    for (std::size_t i = 0; i < FTabs.size(); ++i) {
        THistTabControl* t = FTabs[i];
        t->setGeometry(0, tabs[i].Top, W, tabs[i].Height);
        int y = THistTabControl::PageTop;
        for (THistBevel* item : FTabItems[i]) {
            const int h = item->height();
            item->setGeometry(THistTabControl::PageSide, y, inner, h);
            y += h;
            // The image control or strip fills the panel less its bevel.
            const QRect client(1, 1, std::max(inner - 2, 0), std::max(h - 2, 0));
            for (QWidget* child :
                 item->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (qobject_cast<QLabel*>(child)) {
                    // The caret spans the strip and sits so that its point is in the strip's
                    // first row; the panel cuts off the rest of the glyph.
                    const QFontMetrics fm(child->font());
                    const int glyphTop =
                        fm.ascent() + fm.tightBoundingRect(QStringLiteral("^")).top();
                    child->setGeometry(0, 1 - glyphTop, inner, fm.height());
                    child->raise();
                } else {
                    child->setGeometry(client);
                }
            }
        }
    }
}

THistLayoutInput THistPanel::LayoutInput() const {
    THistLayoutInput in;
    in.H = height();
    in.W = width();
    for (std::size_t i = 0; i < FTabs.size(); ++i)
        in.Visible[i] = !FTabs[i]->isHidden();
    in.FirstImageWidth = {imRGB_RGB->width(), imHSV_H->width(), imLAB_L->width()};
    in.StripH1 = pnHSV_H1->height();
    in.StripA1 = pnLab_A1->height();
    in.StripB1 = pnLab_B1->height();
    return in;
}

void THistPanel::HistHeightCorrect() {
    TTabPlaces tabs = TabPlaces();
    // The widths follow the container whatever happens to the heights.
    Align(tabs);
    const THistHeights heights = HistHeights(LayoutInput());
    if (!heights.Relayout)
        return;
    FLast = heights;

    // All heights first, then all pictures, then one redraw.
    for (std::size_t i = 0; i < tabs.size(); ++i)
        tabs[i].Height = heights.Tab[i];
    for (THistBevel* p : FPanels)
        p->resize(p->width(), heights.P);
    StackTabs(tabs);
    Align(tabs);
    for (THistImage* im : FImages)
        im->ResizePicture();
    if (FRender)
        FRender();
}

void THistPanel::HistSetVisibleAndHeightCorr(QAction* sender) {
    Q_UNUSED(sender);
    TTabPlaces tabs = TabPlaces();
    // Visibility follows the commands, Lab first, RGB last.
    for (THistTab t : {THistTab::LAB, THistTab::HSV, THistTab::RGB}) {
        const QAction* a = FActions[static_cast<std::size_t>(t)];
        if (a)
            SetTabVisible(tabs, t, a->isChecked());
    }
    RestoreTabOrder(tabs);
    for (std::size_t i = 0; i < FTabs.size(); ++i)
        FTabs[i]->setVisible(tabs[i].Visible);
    Align(tabs);

    const std::array<bool, HistTabCount> shown = {tabs[0].Visible, tabs[1].Visible,
                                                  tabs[2].Visible};
    const bool any = shown[0] || shown[1] || shown[2];
    if (isHidden() == any)
        setVisible(any);
    emit ContainerVisibilityChanged(any);
    if (any)
        HistHeightCorrect();

    FAutoCheck = tonalyx::ModelAutoCheck(shown);
}

void THistPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    pnHistContainerResize();
}

void THistPanel::pnHistContainerResize() {
    HistHeightCorrect();
}

} // namespace tonalyx
