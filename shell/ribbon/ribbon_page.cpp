#include "ribbon_page.h"

#include "ribbon_button.h"
#include "ribbon_paint.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QBoxLayout>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace ribbon {

namespace {

// Height of the caption strip under a group's buttons.
int CaptionStrip(const QWidget& w) {
    return w.fontMetrics().height() + 4;
}

} // namespace

// ---------------------------------------------------------------- TRibbonSeparator

TRibbonSeparator::TRibbonSeparator(const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FStyle(style) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

QSize TRibbonSeparator::sizeHint() const {
    return {7, 10};
}

void TRibbonSeparator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintRibbonVLine(p, width() / 2, 2, height() - 2, FStyle->Colours().Separator);
}

// ---------------------------------------------------------------- TRibbonGroup

TRibbonGroup::TRibbonGroup(const QString& caption, const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FCaption(caption), FStyle(style) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 3, 5, CaptionStrip(*this));
    column->setSpacing(0);
    FRow = new QHBoxLayout;
    FRow->setContentsMargins(0, 0, 0, 0);
    FRow->setSpacing(1);
    column->addLayout(FRow);
    column->addStretch(1);
    // A caption wider than the buttons widens the group.
    setMinimumWidth(fontMetrics().horizontalAdvance(caption) + 16);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

TRibbonButton* TRibbonGroup::AddButton(QAction* action, const QString& caption) {
    auto* button =
        new TRibbonButton(action, caption.isEmpty() ? action->text() : caption, FStyle, this);
    FRow->addWidget(button, 0, Qt::AlignTop);
    FButtons.append(button);
    FLayout += u'B';
    return button;
}

void TRibbonGroup::AddSeparator() {
    FRow->addWidget(new TRibbonSeparator(FStyle, this));
    FLayout += u'|';
}

void TRibbonGroup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    const int strip = CaptionStrip(*this);
    p.setPen(colours.GroupCaptionText);
    p.drawText(QRect(0, height() - strip, width() - 1, strip - 1), Qt::AlignCenter, FCaption);
    PaintRibbonVLine(p, width() - 1, 3, height() - 3, colours.GroupEdge);
}

// ---------------------------------------------------------------- TRibbonPage

TRibbonPage::TRibbonPage(const QString& caption, const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FCaption(caption), FStyle(style) {
    FRow = new QHBoxLayout(this);
    FRow->setContentsMargins(3, 1, 3, 2);
    FRow->setSpacing(2);
    FRow->addStretch(1);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

TRibbonGroup* TRibbonPage::AddGroup(const QString& caption) {
    auto* group = new TRibbonGroup(caption, FStyle, this);
    FRow->insertWidget(FRow->count() - 1, group); // before the closing stretch
    FGroups.append(group);
    return group;
}

void TRibbonPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    QLinearGradient gradient(0, 0, 0, height());
    gradient.setColorAt(0.0, colours.PageTop);
    gradient.setColorAt(1.0, colours.PageBottom);
    p.fillRect(rect(), gradient);
    p.setPen(colours.Frame);
    p.drawLine(0, height() - 1, width() - 1, height() - 1);
}

} // namespace ribbon
