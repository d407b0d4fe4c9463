#include "status_bar.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace tonalyx {

namespace {

QPixmap Light(QColor colour) {
    QPixmap pm(13, 13);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(5, 5), 8);
    g.setColorAt(0, colour.lighter(170));
    g.setColorAt(1, colour);
    p.setBrush(g);
    p.setPen(colour.darker(160));
    p.drawEllipse(QRectF(1, 1, 11, 11));
    return pm;
}

QLabel* LightLabel(const QString& name, QColor colour, const QString& hint, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setPixmap(Light(colour));
    l->setToolTip(hint);
    l->setFixedSize(13, 13);
    l->hide();
    return l;
}

// A label that gives way, down to nothing, in a narrow window, and never widens it. Given
// its widest text, it asks for that width whenever it shows any: the readout changes with
// every pointer move and must not shift the panels beside it meanwhile; empty, it asks
// for none.
class TYieldingLabel final : public QLabel {
  public:
    // widest: the longest texts the label shows, so that its width does not follow each one;
    // none to follow the text. wider: the longest of the rarer, longer texts, the width taken
    // only while such a text is shown.
    TYieldingLabel(QStringList widest, QWidget* parent, QStringList wider = {})
        : QLabel(parent), FWidest(std::move(widest)), FWider(std::move(wider)) {}
    QSize sizeHint() const override {
        // Measured at each call: the font the label ends up with is known only once shown.
        const auto widthOf = [this](const QStringList& samples) {
            int w = 0;
            for (const QString& sample : samples)
                w = std::max(w, fontMetrics().horizontalAdvance(sample));
            return w;
        };
        int w = widthOf(FWidest.isEmpty() ? QStringList{text()} : FWidest);
        if (!FWider.isEmpty() && fontMetrics().horizontalAdvance(text()) > w)
            w = std::max(widthOf(FWider), fontMetrics().horizontalAdvance(text()));
        return {text().isEmpty() ? 0 : w + 6, QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  private:
    QStringList FWidest, FWider;
};

} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("sbMain"));
    const int widths[3] = {23, 90, 50};
    for (int i = 0; i < 3; ++i) {
        FPanels[i] = new QLabel(this);
        FPanels[i]->setFixedWidth(widths[i]);
        FPanels[i]->setAlignment((i == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        addWidget(FPanels[i]);
    }
    FRegion = new TYieldingLabel({}, this); // as wide as its text, no width without one
    FRegion->setObjectName(QStringLiteral("lblRegion"));
    addWidget(FRegion);
    FMessage = new QLabel(this);
    FMessage->setObjectName(QStringLiteral("lblStatusMessage"));
    FMessage->setMinimumWidth(0);
    FMessage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // long text is cut
    addWidget(FMessage, 1);
    // Wide enough for a hue range of a large picture.
    // A histogram's column, and the pixel under the pointer on the picture.
    FReadout = new TYieldingLabel(
        {QStringLiteral("H 359.25\u2013359.75\u00B0: 99999999 px, 100.0 % at or below"),
         QStringLiteral("x 99999 y 99999: RGB 255 255 255, H 359.75\u00B0 S 100 % V 100 %, "
                        "L 100 a \u2212128 b \u2212128")},
        this,
        // The pixel over a camera raw picture, with its sensor's values.
        {QStringLiteral("x 99999 y 99999: RGB 255 255 255, H 359.75\u00B0 S 100 % V 100 %, "
                        "L 100 a \u2212128 b \u2212128, "
                        "Raw mean/max R 65535/65535 G 65535/65535 B 65535/65535")});
    FReadout->setObjectName(QStringLiteral("lblReadout"));
    addPermanentWidget(FReadout);
    FClipping = new TYieldingLabel({}, this);
    FClipping->setObjectName(QStringLiteral("lblClipping"));
    addPermanentWidget(FClipping);
    FFailureTimer = new QTimer(this);
    FFailureTimer->setSingleShot(true);
    FFailureTimer->setInterval(FailureShowMs);
    connect(FFailureTimer, &QTimer::timeout, this, [this] {
        FFailure.clear();
        FFailed = false;
        UpdateMessage();
    });
    imLEDGreen = LightLabel(QStringLiteral("imLEDGreen"), QColor(40, 180, 60),
                            QStringLiteral("Internrt connection OK"), this);
    imLEDRed = LightLabel(QStringLiteral("imLEDRed"), QColor(210, 40, 40),
                          QStringLiteral("Internrt connection error"), this);
}

void TStatusBar::SetImageSizeText(const QString& text) {
    QLabel* panel = FPanels[1];
    panel->setText(text);
    // A size alone fits the panel's own width; a raw file's longer text widens it.
    panel->setFixedWidth(std::max(90, panel->fontMetrics().horizontalAdvance(text) + 8));
    panel->repaint();
}

QString TStatusBar::ImageSizeText() const {
    return FPanels[1]->text();
}

void TStatusBar::SetColourSpaceText(const QString& name) {
    QLabel* panel = FPanels[2];
    panel->setText(name);
    panel->setToolTip(name.isEmpty() ? QString()
                                     : QStringLiteral("The picture's values are in %1; it is "
                                                      "shown converted to sRGB, and the "
                                                      "histograms count the values as stored.")
                                           .arg(name));
    const int width = name.isEmpty() ? 50 : panel->fontMetrics().horizontalAdvance(name) + 8;
    panel->setFixedWidth(std::max(50, width));
}

QString TStatusBar::ColourSpaceText() const {
    return FPanels[2]->text();
}

void TStatusBar::SetRegionNote(const QString& text) {
    FRegion->setText(text);
}

QString TStatusBar::RegionNote() const {
    return FRegion->text();
}

void TStatusBar::ShowFailure(const QString& text) {
    FFailure = text;
    FFailed = true;
    FFailureTimer->start();
    UpdateMessage();
}

void TStatusBar::ShowDone(const QString& text) {
    FFailure = text;
    FFailed = false;
    FFailureTimer->start();
    UpdateMessage();
}

void TStatusBar::ClearFailure() {
    if (!FFailed)
        return;
    FFailure.clear();
    FFailed = false;
    FFailureTimer->stop();
    UpdateMessage();
}

void TStatusBar::ClearDone() {
    if (FFailed || FFailure.isEmpty())
        return;
    FFailure.clear();
    FFailureTimer->stop();
    UpdateMessage();
}

void TStatusBar::SetPictureNote(const QString& text) {
    FPictureNote = text;
    UpdateMessage();
}

void TStatusBar::ShowHint(const QString& text) {
    FHint = text;
    UpdateMessage();
}

void TStatusBar::ShowProgress(const QString& text) {
    FProgress = text;
    UpdateMessage();
}

QString TStatusBar::MessageText() const {
    return FMessage->text();
}

void TStatusBar::SetReadout(const QString& text, const QString& toolTip) {
    FReadout->setText(text);
    FReadout->setToolTip(toolTip);
}

QString TStatusBar::ReadoutText() const {
    return FReadout->text();
}

void TStatusBar::SetClippingText(const QString& text) {
    FClipping->setText(text);
}

QString TStatusBar::ClippingText() const {
    return FClipping->text();
}

void TStatusBar::UpdateMessage() {
    FMessage->setText(!FFailure.isEmpty()    ? FFailure
                      : !FProgress.isEmpty() ? FProgress
                      : !FHint.isEmpty()     ? FHint
                                             : FPictureNote);
    FMessage->setToolTip(FMessage->text());
}

void TStatusBar::SetLEDState(TLEDState state) {
    FState = state;
    imLEDGreen->setVisible(state == TLEDState::lsGreen);
    imLEDRed->setVisible(state == TLEDState::lsRed);
}

void TStatusBar::PlaceLEDs() {
    const int top = static_cast<int>(std::lrint((height() - imLEDGreen->height()) / 2.0)) + 1;
    imLEDGreen->move(3, top);
    imLEDRed->move(3, top);
    imLEDGreen->raise();
    imLEDRed->raise();
}

void TStatusBar::resizeEvent(QResizeEvent* e) {
    QStatusBar::resizeEvent(e);
    PlaceLEDs();
}

} // namespace tonalyx
