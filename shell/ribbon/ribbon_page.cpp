#include "ribbon_page.h"

#include "ribbon_button.h"
#include "ribbon_group_popup.h"
#include "ribbon_paint.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QLinearGradient>
#include <QPainter>

#include <algorithm>

namespace ribbon {

namespace {

// Pixels round a group's items (the caption strip is below them), between two items, and
// round the drop-down of a collapsed group.
constexpr int GroupLeft = 4;
constexpr int GroupTop = 3;
constexpr int GroupRight = 5;
constexpr int ItemSpacing = 1;
constexpr int CollapsedSide = 2;
constexpr int CollapsedBottom = 3;
// Small buttons and icons alone stack this many to a column.
constexpr int ColumnRows = 3;

// Pixels round the page's groups and between two groups.
constexpr int PageLeft = 3;
constexpr int PageTop = 1;
constexpr int PageRight = 3;
constexpr int PageBottom = 2;
constexpr int GroupSpacing = 2;

// Height of the caption strip under a group's buttons.
int CaptionStrip(const QWidget& w) {
    return w.fontMetrics().height() + 4;
}

// A group is never narrower than its caption.
int CaptionWidth(const QWidget& w, const QString& caption) {
    return w.fontMetrics().horizontalAdvance(caption) + 16;
}

TRibbonButtonSize ButtonSizeIn(TRibbonGroupMode mode) {
    switch (mode) {
    case TRibbonGroupMode::Small:
        return TRibbonButtonSize::Small;
    case TRibbonGroupMode::IconOnly:
        return TRibbonButtonSize::IconOnly;
    case TRibbonGroupMode::Large:
    case TRibbonGroupMode::Collapsed:
        break;
    }
    return TRibbonButtonSize::Large;
}

} // namespace

// ---------------------------------------------------------------- TRibbonSeparator

TRibbonSeparator::TRibbonSeparator(const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FStyle(style) {
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
    : QWidget(parent), FCaption(caption), FStyle(style),
      FDropButton(new TRibbonGroupButton(this, style)) {
    FDropButton->hide();
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

TRibbonButton* TRibbonGroup::AddButton(QAction* action, const QString& caption) {
    auto* button =
        new TRibbonButton(action, caption.isEmpty() ? action->text() : caption, FStyle, this);
    FItems.append({button, nullptr});
    FButtons.append(button);
    FLayout += u'B';
    connect(button, &TRibbonActionButton::synced, this, &TRibbonGroup::ContentChanged);
    ContentChanged();
    return button;
}

void TRibbonGroup::AddSeparator() {
    FItems.append({nullptr, new TRibbonSeparator(FStyle, this)});
    FLayout += u'|';
    ContentChanged();
}

TRibbonGroup* TRibbonGroup::CopyInto(QWidget* parent) const {
    auto* copy = new TRibbonGroup(FCaption, FStyle, parent);
    for (const TItem& item : FItems) {
        if (item.Separator) {
            copy->AddSeparator();
        } else if (item.Button->Action()) {
            TRibbonButton* twin = copy->AddButton(item.Button->Action(), item.Button->Caption());
            twin->SetWanted(item.Button->IsWanted());
        }
    }
    return copy;
}

int TRibbonGroup::Place(TRibbonGroupMode mode, QList<QRect>* places) const {
    if (places)
        *places = QList<QRect>(FItems.size());
    if (mode == TRibbonGroupMode::Collapsed)
        return FDropButton->sizeHint().width() + 2 * CollapsedSide;

    const TRibbonButtonSize size = ButtonSizeIn(mode);
    const int rowHeight = TRibbonButton::LargeHeight(fontMetrics());
    int x = 0;
    // The small buttons of the column being filled, and its width so far.
    QList<qsizetype> column;
    int columnWidth = 0;
    const auto closeColumn = [&] {
        if (column.isEmpty())
            return;
        for (const qsizetype i : std::as_const(column))
            if (places)
                (*places)[i].setWidth(columnWidth);
        x += columnWidth + ItemSpacing;
        column.clear();
        columnWidth = 0;
    };
    // A separator shows only between two shown buttons: never first, last or doubled.
    qsizetype pendingSeparator = -1;
    bool anyButton = false;
    for (qsizetype i = 0; i < FItems.size(); ++i) {
        const TItem& item = FItems[i];
        if (item.Separator) {
            if (anyButton && pendingSeparator < 0)
                pendingSeparator = i;
            continue;
        }
        if (!item.Button->IsWantedAndVisible())
            continue;
        if (pendingSeparator >= 0) {
            closeColumn();
            const int side = FItems[pendingSeparator].Separator->sizeHint().width();
            if (places)
                (*places)[pendingSeparator] = QRect(x, 0, side, rowHeight);
            x += side + ItemSpacing;
            pendingSeparator = -1;
        }
        anyButton = true;
        const QSize hint = item.Button->SizeHintFor(size);
        if (size == TRibbonButtonSize::Large) {
            if (places)
                (*places)[i] = QRect(QPoint(x, 0), hint);
            x += hint.width() + ItemSpacing;
            continue;
        }
        if (column.size() == ColumnRows)
            closeColumn();
        if (places)
            (*places)[i] = QRect(x, static_cast<int>(column.size()) * hint.height(), hint.width(),
                                 hint.height());
        column.append(i);
        columnWidth = std::max(columnWidth, hint.width());
    }
    closeColumn();

    const int content = std::max(0, x - ItemSpacing);
    const int width = std::max(GroupLeft + content + GroupRight, CaptionWidth(*this, FCaption));
    // Centred when the caption is wider than the items.
    const int left = GroupLeft + (width - GroupLeft - GroupRight - content) / 2;
    if (places)
        for (QRect& r : *places)
            if (!r.isNull())
                r.translate(left, GroupTop);
    return width;
}

int TRibbonGroup::WidthIn(TRibbonGroupMode mode) const {
    return Place(mode, nullptr);
}

TRibbonGroupWidths TRibbonGroup::Widths() const {
    TRibbonGroupWidths widths{};
    for (int m = 0; m < RibbonGroupModeCount; ++m)
        widths[static_cast<std::size_t>(m)] = WidthIn(static_cast<TRibbonGroupMode>(m));
    return widths;
}

void TRibbonGroup::SetMode(TRibbonGroupMode mode) {
    if (mode == FMode)
        return;
    FMode = mode;
    Arrange();
    updateGeometry();
    update();
}

void TRibbonGroup::Arrange() {
    QList<QRect> places;
    Place(FMode, &places);
    const bool collapsed = FMode == TRibbonGroupMode::Collapsed;
    for (qsizetype i = 0; i < FItems.size(); ++i) {
        const TItem& item = FItems[i];
        if (item.Button) {
            item.Button->SetButtonSize(ButtonSizeIn(FMode));
            item.Button->SetFoldedAway(collapsed);
            if (!places[i].isNull())
                item.Button->setGeometry(places[i]);
        } else {
            item.Separator->setVisible(!places[i].isNull());
            item.Separator->setGeometry(places[i]);
        }
    }
    FDropButton->setVisible(collapsed);
    if (collapsed)
        FDropButton->setGeometry(CollapsedSide, GroupTop, FDropButton->sizeHint().width(),
                                 height() - GroupTop - CollapsedBottom);
}

void TRibbonGroup::resizeEvent(QResizeEvent*) {
    Arrange();
}

void TRibbonGroup::ContentChanged() {
    // Actions change often (enabled, checked); only a button shown or hidden moves things.
    QString shown;
    for (const TItem& item : std::as_const(FItems))
        shown += !item.Button || item.Button->IsWantedAndVisible() ? u'1' : u'0';
    if (shown == FShown)
        return;
    FShown = shown;
    Arrange();
    updateGeometry();
    emit contentChanged();
}

QSize TRibbonGroup::sizeHint() const {
    return {WidthIn(FMode),
            GroupTop + TRibbonButton::LargeHeight(fontMetrics()) + CaptionStrip(*this)};
}

void TRibbonGroup::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    if (FMode != TRibbonGroupMode::Collapsed) { // the drop-down carries the caption then
        const int strip = CaptionStrip(*this);
        p.setPen(colours.GroupCaptionText);
        p.drawText(QRect(0, height() - strip, width() - 1, strip - 1), Qt::AlignCenter, FCaption);
    }
    PaintRibbonVLine(p, width() - 1, 3, height() - 3, colours.GroupEdge);
}

// ---------------------------------------------------------------- TRibbonPage

TRibbonPage::TRibbonPage(const QString& caption, const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FCaption(caption), FStyle(style) {
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

TRibbonGroup* TRibbonPage::AddGroup(const QString& caption) {
    auto* group = new TRibbonGroup(caption, FStyle, this);
    FGroups.append(group);
    connect(group, &TRibbonGroup::contentChanged, this, [this] {
        Arrange();
        updateGeometry();
    });
    Arrange();
    updateGeometry();
    return group;
}

int TRibbonPage::GroupsWidth(bool narrowest) const {
    int total = 0;
    for (const TRibbonGroup* group : FGroups) {
        const TRibbonGroupWidths widths = group->Widths();
        total += (narrowest ? *std::min_element(widths.begin(), widths.end()) : widths[0]) +
                 (total > 0 ? GroupSpacing : 0);
    }
    return total;
}

QSize TRibbonPage::sizeHint() const {
    const int groupHeight =
        GroupTop + TRibbonButton::LargeHeight(fontMetrics()) + CaptionStrip(*this);
    return {PageLeft + GroupsWidth(false) + PageRight, PageTop + groupHeight + PageBottom};
}

QSize TRibbonPage::minimumSizeHint() const {
    return {PageLeft + GroupsWidth(true) + PageRight, sizeHint().height()};
}

void TRibbonPage::resizeEvent(QResizeEvent*) {
    FSized = true;
    Arrange();
}

void TRibbonPage::Arrange() {
    if (!FSized)
        return;
    std::vector<TRibbonGroupWidths> widths;
    widths.reserve(static_cast<std::size_t>(FGroups.size()));
    for (const TRibbonGroup* group : std::as_const(FGroups))
        widths.push_back(group->Widths());
    const std::vector<TRibbonGroupMode> modes =
        FitRibbonGroups(widths, width() - PageLeft - PageRight, GroupSpacing);
    int x = PageLeft;
    for (std::size_t i = 0; i < modes.size(); ++i) {
        TRibbonGroup* group = FGroups[static_cast<qsizetype>(i)];
        group->SetMode(modes[i]);
        const int w = widths[i][static_cast<std::size_t>(modes[i])];
        group->setGeometry(x, PageTop, w, height() - PageTop - PageBottom);
        x += w + GroupSpacing;
    }
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
