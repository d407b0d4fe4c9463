#include "ribbon_quick_access.h"

#include "ribbon_button.h"
#include "ribbon_paint.h"
#include "ribbon_theme.h"

#include <QAbstractButton>
#include <QAction>
#include <QBoxLayout>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

namespace ribbon {

namespace {

// The arrow at the toolbar's end that opens its menu.
class TQuickMenuButton : public QAbstractButton {
  public:
    TQuickMenuButton(const TRibbonStyle* style, QWidget* parent)
        : QAbstractButton(parent), FStyle(style) {
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::NoFocus);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setToolTip(QStringLiteral("Customize Quick Access Toolbar"));
        connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
    }
    QSize sizeHint() const override { return {14, TRibbonQuickButton::IconSide + 6}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const TRibbonThemeColours& colours = FStyle->Colours();
        const TRibbonFace face = RibbonFaceOf(*this);
        PaintRibbonFace(p, rect(), face, colours, 2.5);
        const QColor ink = face == TRibbonFace::Plain ? colours.TitleText : colours.ButtonText;
        const int mid = width() / 2;
        p.setPen(ink);
        p.drawLine(mid - 3, height() / 2 - 3, mid + 3, height() / 2 - 3);
        PaintRibbonChevron(p, QRectF(0, height() / 2 - 1, width(), 6), false, ink);
    }

  private:
    const TRibbonStyle* FStyle;
};

} // namespace

TRibbonQuickAccess::TRibbonQuickAccess(const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent), FStyle(style) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    FRow = new QHBoxLayout(this);
    FRow->setContentsMargins(0, 0, 0, 0);
    FRow->setSpacing(1);
    auto* menuButton = new TQuickMenuButton(style, this);
    connect(menuButton, &QAbstractButton::clicked, this, [this, menuButton] {
        PopupMenu(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
    });
    FMenuButton = menuButton;
    FRow->addWidget(menuButton);
}

int TRibbonQuickAccess::AddItem(QAction* action, const QString& caption, bool shortcutInTip) {
    auto* button =
        new TRibbonQuickButton(action, caption.isEmpty() ? action->text() : caption, FStyle, this);
    button->SetShortcutInTip(shortcutInTip);
    FRow->insertWidget(FRow->count() - 1, button); // before the menu arrow
    FButtons.append(button);
    updateGeometry();
    return ItemCount() - 1;
}

QAction* TRibbonQuickAccess::ItemAction(int index) const {
    const TRibbonQuickButton* button = FButtons.value(index);
    return button ? button->Action() : nullptr;
}

QString TRibbonQuickAccess::ItemCaption(int index) const {
    const TRibbonQuickButton* button = FButtons.value(index);
    return button ? button->Caption() : QString();
}

bool TRibbonQuickAccess::ItemVisible(int index) const {
    const TRibbonQuickButton* button = FButtons.value(index);
    return button && button->IsWanted();
}

void TRibbonQuickAccess::SetItemVisible(int index, bool visible) {
    TRibbonQuickButton* button = FButtons.value(index);
    if (!button || button->IsWanted() == visible)
        return;
    button->SetWanted(visible);
    updateGeometry();
    adjustSize();
    emit itemVisibilityChanged(index, visible);
}

void TRibbonQuickAccess::AddMenuAction(QAction* action) {
    FMenuActions.append(action);
}

QMenu* TRibbonQuickAccess::CreateMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (int i = 0; i < ItemCount(); ++i) {
        QAction* entry = menu->addAction(ItemCaption(i));
        entry->setCheckable(true);
        entry->setChecked(ItemVisible(i));
        connect(entry, &QAction::toggled, this, [this, i](bool on) { SetItemVisible(i, on); });
    }
    if (!FMenuActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(FMenuActions);
    }
    return menu;
}

void TRibbonQuickAccess::PopupMenu(const QPoint& globalPos) {
    QMenu* menu = CreateMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QSize TRibbonQuickAccess::sizeHint() const {
    return FRow->sizeHint();
}

void TRibbonQuickAccess::contextMenuEvent(QContextMenuEvent* e) {
    PopupMenu(e->globalPos());
}

} // namespace ribbon
