#include "welcome_panel.h"

#include "ribbon_icon.h"
#include "welcome_samples.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace tonalyx {

using ribbon::RibbonIcon;

namespace {

const QColor TopColour(255, 255, 255);
const QColor MiddleColour(0xF9, 0xF9, 0xEF); // a light cream

// A label that acts as a link: hand cursor, underlined on hover, a clicked signal.
class TLinkLabel final : public QLabel {
  public:
    TLinkLabel(const QString& text, const QString& name, QWidget* parent,
               std::function<void()> onClick)
        : QLabel(text, parent), FOnClick(std::move(onClick)) {
        setObjectName(name);
        setCursor(Qt::PointingHandCursor);
        setStyleSheet(QStringLiteral(
            "QLabel { color: #1a5fb4; } QLabel:hover { text-decoration: underline; }"));
    }
    // Tab reaches the link, a frame shows it has the focus, Enter or Space follows it.
    void SetKeyboardReachable() { setFocusPolicy(Qt::TabFocus); }

  protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            FOnClick();
    }
    void keyPressEvent(QKeyEvent* e) override {
        if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space)
            FOnClick();
        else
            QLabel::keyPressEvent(e);
    }
    void paintEvent(QPaintEvent* e) override {
        QLabel::paintEvent(e);
        if (!hasFocus())
            return;
        QPainter p(this);
        p.setPen(QPen(palette().color(QPalette::Highlight), 1.5));
        p.drawRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75));
    }

  private:
    std::function<void()> FOnClick;
};

// The product's mark: three overlapping histogram silhouettes in red, green and blue.
QPixmap ProductLogo(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(40, 48, 64));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, size, size), size * 0.18, size * 0.18);
    const QColor colours[3] = {QColor(217, 118, 118, 200), QColor(118, 217, 118, 200),
                               QColor(118, 118, 217, 200)};
    for (int c = 0; c < 3; ++c) {
        QPainterPath path;
        const double base = size * 0.85, left = size * 0.12, width = size * 0.76;
        path.moveTo(left, base);
        for (int i = 0; i <= 20; ++i) {
            const double t = i / 20.0, centre = 0.3 + 0.2 * c;
            const double h = std::exp(-(t - centre) * (t - centre) / 0.02) * size * 0.6;
            path.lineTo(left + t * width, base - h);
        }
        path.lineTo(left + width, base);
        p.setBrush(colours[c]);
        p.drawPath(path);
    }
    return pm;
}

QLabel* ClickableImage(const QPixmap& pm, const QString& name, QWidget* parent,
                       std::function<void()> onClick) {
    auto* l = new TLinkLabel(QString(), name, parent, std::move(onClick));
    l->setPixmap(pm);
    return l;
}

QLabel* Text(const QString& text, QWidget* parent, int pointSizeDelta = 0, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    QFont f = l->font();
    f.setPointSize(f.pointSize() + pointSizeDelta);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

QToolButton* BigButton(QAction* action, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setDefaultAction(action);
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    b->setIconSize(QSize(32, 32));
    b->setAutoRaise(false);
    b->setMinimumHeight(44);
    return b;
}

} // namespace

int CentredOffset(int area, int size) {
    return static_cast<int>(std::lrint((area - size) / 2.0)); // the half is exact in double
}

TWelcomePanel::TWelcomePanel(QAction* openAction, QAction* pasteAction, QWidget* parent)
    : QFrame(parent) {
    setObjectName(QStringLiteral("pnWelcome"));
    setFrameShape(QFrame::Box);
    setFixedSize(DesignSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(MakeTop());
    layout->addWidget(MakeMiddle(openAction, pasteAction), 1);
}

QWidget* TWelcomePanel::MakeTop() {
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("pnWelcomeTop"));
    top->setAutoFillBackground(true);
    QPalette pal = top->palette();
    pal.setColor(QPalette::Window, TopColour);
    top->setPalette(pal);
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(12, 8, 12, 8);
    row->addWidget(ClickableImage(ProductLogo(48), QStringLiteral("imProdLogo"), top,
                                  [this] { emit ProductPageClicked(); }));
    FCompanyName = Text(QString(), top, 6, true);
    FCompanyName->setObjectName(QStringLiteral("lblWelcomeCompName"));
    FCompanyName->setWordWrap(false);
    row->addWidget(FCompanyName);
    FVersion = Text(QString(), top);
    FVersion->setObjectName(QStringLiteral("lblWelcomeVersion"));
    FVersion->setWordWrap(false);
    row->addWidget(FVersion, 0, Qt::AlignBottom);
    row->addStretch(1);
    row->addWidget(ClickableImage(
        RibbonIcon(QStringLiteral("go-home"), QStringLiteral("V")).pixmap(40, 40),
        QStringLiteral("imCompanyLogo"), top, [this] { emit CompanyPageClicked(); }));
    return top;
}

QWidget* TWelcomePanel::MakeSocialRow(const QString& caption, const char* namePrefix, bool tell) {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    QLabel* label = Text(caption, row, 0, true);
    label->setWordWrap(false);
    label->setMinimumWidth(label->sizeHint().width());
    h->addWidget(label);
    static const char* const networks[3][2] = {{"FB", "f"}, {"GP", "g+"}, {"TW", "t"}};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QToolButton(row);
        b->setObjectName(QString::fromLatin1(namePrefix) + QString::fromLatin1(networks[i][0]));
        b->setIcon(RibbonIcon(QString(), QString::fromLatin1(networks[i][1])));
        b->setIconSize(QSize(20, 20));
        b->setAutoRaise(true);
        connect(b, &QToolButton::clicked, this, [this, i, tell] {
            if (tell)
                emit TellClicked(i);
            else
                emit FollowClicked(i);
        });
        h->addWidget(b);
    }
    h->addStretch(1);
    return row;
}

QWidget* TWelcomePanel::MakeMiddle(QAction* openAction, QAction* pasteAction) {
    auto* middle = new QWidget(this);
    middle->setObjectName(QStringLiteral("pnWelcomeMiddle"));
    middle->setAutoFillBackground(true);
    QPalette pal = middle->palette();
    pal.setColor(QPalette::Window, MiddleColour);
    middle->setPalette(pal);

    auto* grid = new QGridLayout(middle);
    grid->setContentsMargins(16, 10, 16, 10);
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(6);

    grid->addWidget(Text(QStringLiteral("Quick Start Help"), middle, 3, true), 0, 0, 1, 3);
    grid->addWidget(Text(QStringLiteral("Open image file or paste image from clipboard. "
                                        "Drag'and'Drop is also available"),
                         middle),
                    1, 0, Qt::AlignTop);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(BigButton(openAction, middle));
    buttons->addWidget(BigButton(pasteAction, middle));
    buttons->addStretch(1);
    grid->addLayout(buttons, 2, 0);
    grid->setColumnStretch(2, 1); // the longest text wraps in what is left

    // The two explanatory texts, each over its sample picture.
    const auto explained = [middle, grid](QLabel* text, const QPixmap& sample, const char* name,
                                          int column) {
        auto* picture = new QLabel(middle);
        picture->setObjectName(QString::fromLatin1(name));
        picture->setPixmap(sample);
        auto* stack = new QVBoxLayout;
        stack->setSpacing(6);
        stack->addWidget(text);
        stack->addWidget(picture, 0, Qt::AlignLeft);
        stack->addStretch(1);
        grid->addLayout(stack, 1, column, 2, 1);
    };
    explained(Text(QStringLiteral("Turn on desired histogram"), middle),
              HistogramChoiceSample(devicePixelRatioF()), "imSampleChoice", 1);
    explained(Text(QStringLiteral("Save histogram, copy it to clipboard or share it DIRECTLY "
                                  "from here to your favorite social network IN ONE CLICK!"),
                   middle),
              SharedPanelSample(devicePixelRatioF()), "imSampleShare", 2);

    auto* links = new QVBoxLayout;
    links->setSpacing(2);
    const auto link = [middle, links](const char* text, const char* name, auto onClick) {
        auto* label = new TLinkLabel(QString::fromLatin1(text), QString::fromLatin1(name), middle,
                                     std::move(onClick));
        label->SetKeyboardReachable(); // the logos lead to the same pages: the mouse's
        links->addWidget(label);
    };
    link("Local Help Index", "lblLocalHelp", [this] { emit HelpIndexClicked(); });
    link("Product Home Page", "lblProductPage", [this] { emit ProductPageClicked(); });
    link("Varnel Solutions", "lblCompanyPage", [this] { emit CompanyPageClicked(); });
    // The links and the social rows share the first column, leaving the target button room
    // for its whole caption.
    auto* social = new QVBoxLayout;
    social->setSpacing(0);
    social->addWidget(MakeSocialRow(QStringLiteral("Tell about us"), "tbTell", true));
    social->addWidget(MakeSocialRow(QStringLiteral("Folow us"), "tbFollow", false));
    auto* foot = new QHBoxLayout;
    foot->setSpacing(16);
    foot->addLayout(links);
    foot->addLayout(social);
    grid->addLayout(foot, 3, 0);

    FTarget = new QToolButton(middle);
    FTarget->setObjectName(QStringLiteral("sbWelcomeTargetAction"));
    FTarget->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FTarget->setIconSize(QSize(32, 32));
    FTarget->setMinimumHeight(48);
    FTarget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    grid->addWidget(FTarget, 3, 1, 1, 2);
    grid->setRowStretch(4, 1);
    return middle;
}

void TWelcomePanel::SetCompanyName(const QString& text) {
    FCompanyName->setText(text);
}
void TWelcomePanel::SetVersionText(const QString& text) {
    FVersion->setText(text);
}
void TWelcomePanel::SetTargetAction(QAction* action) {
    FTarget->setDefaultAction(action);
}

void TWelcomePanel::CentreIn(QSize area) {
    move(CentredOffset(area.width(), width()), CentredOffset(area.height(), height()));
}

} // namespace tonalyx
