#include "ribbon_app_menu.h"

#include "ribbon_button.h"
#include "ribbon_paint.h"
#include "ribbon_text.h"
#include "ribbon_theme.h"

#include <QAction>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>

#include <algorithm>

namespace ribbon {

namespace {

constexpr int MenuIconSide = 32;
constexpr int FooterIconSide = 16;
constexpr int LeftMinWidth = 230;
constexpr int RightMinWidth = 270;

// A line between two commands of the left column, starting right of the icons.
class TMenuSeparator : public QWidget {
  public:
    TMenuSeparator(const TRibbonStyle* style, QWidget* parent) : QWidget(parent), FStyle(style) {
        setFixedHeight(7);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(FStyle->Colours().Separator);
        p.drawLine(MenuIconSide + 12, height() / 2, width() - 4, height() / 2);
    }

  private:
    const TRibbonStyle* FStyle;
};

// The heading of the right column, underlined.
class TMenuHeader : public QWidget {
  public:
    TMenuHeader(const TRibbonStyle* style, QWidget* parent) : QWidget(parent), FStyle(style) {
        QFont bold = font();
        bold.setBold(true);
        setFont(bold);
        setFixedHeight(fontMetrics().height() + 12);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void SetText(const QString& text) {
        FText = text;
        update();
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const TRibbonThemeColours& colours = FStyle->Colours();
        p.setPen(colours.MenuHeaderText);
        p.drawText(rect().adjusted(8, 0, -8, -3), Qt::AlignLeft | Qt::AlignVCenter, FText);
        p.setPen(colours.Separator);
        p.drawLine(6, height() - 2, width() - 7, height() - 2);
    }

  private:
    const TRibbonStyle* FStyle;
    QString FText;
};

// One recent image: its number (the mnemonic for the first nine) and its caption.
class TRecentEntry : public QAbstractButton {
  public:
    TRecentEntry(int index, const QString& caption, const TRibbonStyle* style, QWidget* parent)
        : QAbstractButton(parent), FNumber(QString::number(index + 1)), FCaption(caption),
          FStyle(style) {
        // Captions are file names: an ampersand in them is a plain character.
        setText(index < 9 ? QStringLiteral("&%1 %2").arg(FNumber, RibbonEscapeMarks(caption))
                          : QStringLiteral("%1 %2").arg(FNumber, RibbonEscapeMarks(caption)));
        setToolTip(caption);
        setAccessibleName(caption);
        setAttribute(Qt::WA_Hover);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override {
        const QFontMetrics fm = fontMetrics();
        return {fm.horizontalAdvance(FNumber + QStringLiteral("  ") + FCaption) + 24,
                fm.height() + 8};
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const TRibbonThemeColours& colours = FStyle->Colours();
        TRibbonFace face = RibbonFaceOf(*this);
        if (face == TRibbonFace::Plain && hasFocus())
            face = TRibbonFace::Hover;
        PaintRibbonFace(p, rect().adjusted(2, 0, -2, 0), face, colours);
        if (hasFocus())
            PaintRibbonFocusFrame(p, rect().adjusted(2, 0, -2, 0), colours.FocusFrame);
        const QFontMetrics fm = fontMetrics();
        const int numberWidth = fm.horizontalAdvance(QStringLiteral("00"));
        p.setPen(colours.MenuText);
        const QString number = FNumber.size() == 1 ? QChar(u'&') + FNumber : FNumber;
        p.drawText(QRect(10, 0, numberWidth, height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, number);
        const int left = 10 + numberWidth + 6;
        p.drawText(QRect(left, 0, width() - left - 8, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   fm.elidedText(FCaption, Qt::ElideMiddle, width() - left - 8));
    }

  private:
    QString FNumber;
    QString FCaption;
    const TRibbonStyle* FStyle;
};

} // namespace

// ---------------------------------------------------------------- TRibbonRecentList

void TRibbonRecentList::Add(const QString& caption) {
    FItems.removeAll(caption);
    FItems.prepend(caption);
}

// ---------------------------------------------------------------- TRibbonAppMenu

TRibbonAppMenu::TRibbonAppMenu(const TRibbonStyle* style, QWidget* parent)
    : QWidget(parent, Qt::Popup), FStyle(style), FRecentHeader(QStringLiteral("Recent Images")) {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(1, 1, 1, 1);
    root->setSpacing(0);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    root->addLayout(body, 1);

    FLeftPane = new QWidget(this);
    FLeftPane->setMinimumWidth(LeftMinWidth);
    FLeft = new QVBoxLayout(FLeftPane);
    FLeft->setContentsMargins(4, 4, 4, 4);
    FLeft->setSpacing(1);
    FLeft->addStretch(1);
    body->addWidget(FLeftPane);

    FRightPane = new QWidget(this);
    FRightPane->setMinimumWidth(RightMinWidth);
    auto* right = new QVBoxLayout(FRightPane);
    right->setContentsMargins(2, 4, 2, 4);
    right->setSpacing(2);
    auto* header = new TMenuHeader(style, FRightPane);
    header->SetText(FRecentHeader);
    FRecentHeaderWidget = header;
    right->addWidget(header);
    FRecentScroll = new QScrollArea(FRightPane);
    FRecentScroll->setFrameShape(QFrame::NoFrame);
    FRecentScroll->setWidgetResizable(true);
    FRecentScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The column's own colour shows through the scroll area.
    FRecentScroll->setAutoFillBackground(false);
    FRecentScroll->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    FRecentColumn = new QVBoxLayout(list);
    FRecentColumn->setContentsMargins(0, 0, 0, 0);
    FRecentColumn->setSpacing(0);
    FRecentColumn->addStretch(1);
    FRecentScroll->setWidget(list);
    list->setAutoFillBackground(false); // setWidget() turned it on
    right->addWidget(FRecentScroll, 1);
    body->addWidget(FRightPane, 1);

    FFooter = new QWidget(this);
    FFooterRow = new QHBoxLayout(FFooter);
    FFooterRow->setContentsMargins(6, 5, 6, 5);
    FFooterRow->setSpacing(6);
    FFooterRow->addStretch(1);
    root->addWidget(FFooter);
    FFooter->hide(); // until a button is added

    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

TRibbonMenuItem* TRibbonAppMenu::AddItem(QAction* action, const QString& caption) {
    auto* item = new TRibbonMenuItem(action, caption.isEmpty() ? action->text() : caption,
                                     MenuIconSide, false, FStyle, FLeftPane);
    FLeft->insertWidget(FLeft->count() - 1, item);
    FItems.append(item);
    return item;
}

void TRibbonAppMenu::AddSeparator() {
    FLeft->insertWidget(FLeft->count() - 1, new TMenuSeparator(FStyle, FLeftPane));
}

TRibbonMenuItem* TRibbonAppMenu::AddFooterButton(QAction* action, const QString& caption) {
    auto* button = new TRibbonMenuItem(action, caption.isEmpty() ? action->text() : caption,
                                       FooterIconSide, true, FStyle, FFooter);
    FFooterRow->addWidget(button);
    FFooterButtons.append(button);
    FFooter->show();
    return button;
}

void TRibbonAppMenu::SetRecentHeader(const QString& header) {
    FRecentHeader = header;
    static_cast<TMenuHeader*>(FRecentHeaderWidget)->SetText(header);
}

void TRibbonAppMenu::AddRecentItem(const QString& caption) {
    FRecent.Add(caption);
    RebuildRecent();
}

void TRibbonAppMenu::ClearRecentItems() {
    FRecent.Clear();
    RebuildRecent();
}

void TRibbonAppMenu::RebuildRecent() {
    // A button may be rebuilt from inside its own click: let it go when its event is done.
    for (QAbstractButton* button : std::as_const(FRecentButtons)) {
        button->hide();
        button->deleteLater();
    }
    FRecentButtons.clear();
    QWidget* list = FRecentScroll->widget();
    const QStringList items = FRecent.Items();
    for (int i = 0; i < items.size(); ++i) {
        auto* entry = new TRecentEntry(i, items[i], FStyle, list);
        connect(entry, &QAbstractButton::clicked, this, [this, i] { ClickRecent(i); });
        FRecentColumn->insertWidget(i, entry);
        FRecentButtons.append(entry);
    }
}

void TRibbonAppMenu::ClickRecent(int index) {
    const QString caption = FRecent.Items().value(index);
    hide();
    emit recentItemClicked(caption, index);
}

void TRibbonAppMenu::Popup(const QPoint& globalPos, QWidget* opener) {
    FOpener = opener;
    adjustSize();
    move(PlaceOnScreen(globalPos, size()));
    show();
}

void TRibbonAppMenu::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const TRibbonThemeColours& colours = FStyle->Colours();
    p.fillRect(rect(), colours.MenuBackground);
    const QRect side = FRightPane->geometry();
    p.fillRect(side, colours.MenuSideBackground);
    p.setPen(colours.MenuEdge);
    p.drawLine(side.topLeft() - QPoint(1, 0), side.bottomLeft() - QPoint(1, 0));
    if (FFooter->isVisible()) {
        const QRect foot = FFooter->geometry();
        p.fillRect(foot, colours.MenuFooter);
        p.drawLine(foot.topLeft(), foot.topRight());
    }
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TRibbonAppMenu::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Escape:
        hide();
        return;
    case Qt::Key_Up:
        focusNextPrevChild(false);
        return;
    case Qt::Key_Down:
        focusNextPrevChild(true);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* button = qobject_cast<QAbstractButton*>(focusWidget()))
            button->click();
        return;
    default:
        break;
    }
    // As in any menu, the marked character alone picks an item.
    const QString typed = e->text();
    if (!typed.isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
        const QChar key = typed[0].toUpper();
        const auto buttons = findChildren<QAbstractButton*>();
        for (QAbstractButton* button : buttons) {
            if (button->isVisible() && button->isEnabled() &&
                RibbonMnemonic(button->text()) == key) {
                button->click();
                return;
            }
        }
    }
    QWidget::keyPressEvent(e);
}

void TRibbonAppMenu::mousePressEvent(QMouseEvent* e) {
    if (!rect().contains(e->position().toPoint())) {
        // A click on the opening button closes the popup; it must not reopen it at once.
        if (FOpener &&
            FOpener->rect().contains(FOpener->mapFromGlobal(e->globalPosition().toPoint())))
            setAttribute(Qt::WA_NoMouseReplay);
        hide();
        return;
    }
    QWidget::mousePressEvent(e);
}

void TRibbonAppMenu::showEvent(QShowEvent* e) {
    emit aboutToShow();
    QWidget::showEvent(e);
}

void TRibbonAppMenu::hideEvent(QHideEvent* e) {
    emit aboutToHide();
    QWidget::hideEvent(e);
}

// ---------------------------------------------------------------- TRibbonAppButton

TRibbonAppButton::TRibbonAppButton(const QString& caption, const TRibbonStyle* style,
                                   QWidget* parent)
    : QAbstractButton(parent), FStyle(style) {
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::TabFocus); // Space opens the menu
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    SetCaption(caption);
    connect(style, &TRibbonStyle::changed, this, qOverload<>(&QWidget::update));
}

void TRibbonAppButton::SetCaption(const QString& caption) {
    FCaption = caption;
    setAccessibleName(caption);
    updateGeometry();
    update();
}

void TRibbonAppButton::SetOpen(bool open) {
    FOpen = open;
    update();
}

QSize TRibbonAppButton::sizeHint() const {
    QFont bold = font();
    bold.setBold(true);
    const QFontMetrics fm(bold);
    return {std::max(56, fm.horizontalAdvance(FCaption) + 28), fm.height() + 8};
}

void TRibbonAppButton::keyPressEvent(QKeyEvent* e) {
    if (IsRibbonArrowKey(e->key()))
        e->ignore(); // the window's, not a focus move
    else
        QAbstractButton::keyPressEvent(e);
}

void TRibbonAppButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const TRibbonThemeColours& colours = FStyle->Colours();
    QColor fill = underMouse() ? colours.AppButtonHover : colours.AppButton;
    if (FOpen || isDown())
        fill = colours.AppButton.darker(115);
    const QRectF box = QRectF(rect()).adjusted(0, 1, 0, 0);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0.0, fill.lighter(112));
    gradient.setColorAt(1.0, fill);
    QPainterPath shape;
    shape.addRoundedRect(box, 3, 3);
    p.fillPath(shape, gradient);
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(colours.AppButtonText);
    p.drawText(rect().adjusted(0, 1, 0, 0), Qt::AlignCenter, FCaption);
    if (hasFocus()) // on the accent colour, in the caption's colour
        PaintRibbonFocusFrame(p, box, colours.AppButtonText);
}

} // namespace ribbon
