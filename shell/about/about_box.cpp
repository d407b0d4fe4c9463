#include "about_box.h"

#include "app_inform.h"
#include "links.h"
#include "scrambled.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tonalyx {

namespace {

constexpr TScrambled ScrambledCaption(u"About Tonalyx");
constexpr TScrambled ScrambledProductLink(u"Tonalyx home page");
constexpr TScrambled ScrambledSupportLink(u"Write to support");
constexpr TScrambled ScrambledSupportHint(u"Questions, ideas, faults: write to us");
constexpr TScrambled ScrambledMakerLine(u"2026 Varnel Solutions");
constexpr TScrambled ScrambledCompanyLink(u"Varnel Solutions on the web");
constexpr TScrambled ScrambledButton(u"OK");
constexpr TScrambled ScrambledCurrentPrefix(u"Up to date:");

const QColor LinkBlue(0, 0, 255);
const QColor LinkPressed(255, 0, 0);
const QColor LinkVisited(128, 0, 128);

QLabel* Text(const QString& text, const QString& name, QWidget* parent, bool bold = false) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

} // namespace

// ---- TAboutLink

TAboutLink::TAboutLink(const QString& name, bool underlined, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setCursor(Qt::PointingHandCursor);
    if (underlined) {
        QFont f = font();
        f.setUnderline(true);
        setFont(f);
    }
    SetColour(LinkBlue);
}

void TAboutLink::SetColour(const QColor& colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour);
    setPalette(pal);
}

void TAboutLink::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton)
        SetColour(LinkPressed);
    QLabel::mousePressEvent(e);
}

void TAboutLink::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) {
        SetColour(LinkVisited);
        if (rect().contains(e->position().toPoint()))
            emit clicked();
    }
    QLabel::mouseReleaseEvent(e);
}

// ---- TAB

TAB::TAB(QWidget* mainWindow, TAboutSources sources)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      FSources(std::move(sources)) {
    setObjectName(QStringLiteral("AB"));
    setWindowTitle(ScrambledCaption.Text());
    setModal(true);
    setFixedSize(ClientSize);

    auto* pnA = new QFrame(this);
    pnA->setObjectName(QStringLiteral("pnA"));
    pnA->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnA->setLineWidth(2);

    imA1 = new QLabel(pnA);
    imA1->setObjectName(QStringLiteral("imA1"));
    imA1->setFixedSize(76, 45);
    imA1->setAlignment(Qt::AlignCenter);
    imA1->setAttribute(Qt::WA_TranslucentBackground);
    if (!FSources.Logo.isNull()) // proportional: the whole logo, as large as fits
        imA1->setPixmap(
            FSources.Logo.scaled(imA1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));

    lblA01 = Text(FSources.MakerName, QStringLiteral("lblA01"), pnA);
    lblA02 = Text(QStringLiteral("Tonalyx"), QStringLiteral("lblA02"), pnA, true);
    lblVV = Text(QString(), QStringLiteral("lblVV"), pnA);
    lblV1 = new TAboutLink(QStringLiteral("lblV1"), false, pnA);
    lblV1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblV1->setToolTip(QStringLiteral("New version is available!"));
    lblV1->hide();
    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(lblVV, 1);
    versionRow->addWidget(lblV1);
    auto* names = new QVBoxLayout;
    names->setSpacing(1);
    names->addWidget(lblA01);
    names->addWidget(lblA02);
    names->addLayout(versionRow);
    auto* top = new QHBoxLayout;
    top->addWidget(imA1, 0, Qt::AlignTop);
    top->addLayout(names, 1);

    lblA2 = new TAboutLink(QStringLiteral("lblA2"), true, pnA);
    lblA2->setText(ScrambledProductLink.Text());
    lblA3 = new TAboutLink(QStringLiteral("lblA3"), true, pnA);
    lblA3->setText(ScrambledSupportLink.Text());
    lblA3->setToolTip(ScrambledSupportHint.Text());
    auto* Label1 = Text(QStringLiteral("©"), QStringLiteral("Label1"), pnA);
    lblA4 = Text(ScrambledMakerLine.Text(), QStringLiteral("lblA4"), pnA);
    lblA5 = new TAboutLink(QStringLiteral("lblA5"), true, pnA);
    lblA5->setText(ScrambledCompanyLink.Text());
    connect(lblA2, &TAboutLink::clicked, this, [] { OpenLink(LinkProductPage); });
    connect(lblA3, &TAboutLink::clicked, this,
            [this] { OpenLink(LinkSupportMail, FSources.ShortVersion()); });
    connect(lblA5, &TAboutLink::clicked, this, [] { OpenLink(LinkCompanyHome); });
    connect(lblV1, &TAboutLink::clicked, this, [] { OpenLink(LinkDownload); });

    auto* copyright = new QHBoxLayout;
    copyright->setSpacing(3);
    copyright->addWidget(Label1);
    copyright->addWidget(lblA4, 1);

    auto* panel = new QVBoxLayout(pnA);
    panel->setContentsMargins(8, 8, 8, 8);
    panel->addLayout(top);
    panel->addSpacing(10);
    panel->addWidget(lblA2);
    panel->addWidget(lblA3);
    panel->addSpacing(6);
    panel->addWidget(MakeSocialRows(FSources.NetworkIcons));
    panel->addStretch(1);
    panel->addLayout(copyright);
    panel->addWidget(lblA5);

    btnA6 = new QPushButton(ScrambledButton.Text(), this);
    btnA6->setObjectName(QStringLiteral("btnA6"));
    btnA6->setDefault(true);
    connect(btnA6, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 8);
    layout->addWidget(pnA, 1);
    layout->addWidget(btnA6, 0, Qt::AlignHCenter);
}

QWidget* TAB::MakeSocialRows(const std::array<QIcon, 3>& icons) {
    auto* Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* grid = new QGridLayout(Panel1);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(2);
    grid->setVerticalSpacing(2);
    static const char* const networks[3] = {"FB", "GP", "TW"};
    const struct {
        const char* Caption;
        const char* Prefix;
        void (TAB::*Signal)(QObject*);
    } rows[2] = {{"Tell about us", "tbTell", &TAB::tbSocNetTellClick},
                 {"Folow us", "tbFollow", &TAB::tbSocNetFollowClick}};
    for (int r = 0; r < 2; ++r) {
        grid->addWidget(new QLabel(QString::fromLatin1(rows[r].Caption), Panel1), r, 0);
        for (int i = 0; i < 3; ++i) {
            auto* b = new QToolButton(Panel1);
            b->setObjectName(QString::fromLatin1(rows[r].Prefix) +
                             QString::fromLatin1(networks[i]));
            b->setIcon(icons[std::size_t(i)]);
            b->setIconSize(QSize(16, 16));
            b->setAutoRaise(true);
            const auto signal = rows[r].Signal;
            connect(b, &QToolButton::clicked, this, [this, b, signal] { emit(this->*signal)(b); });
            grid->addWidget(b, r, i + 1);
        }
    }
    grid->setColumnStretch(0, 1);
    return Panel1;
}

QString TAB::CurrentVersionPrefix() {
    return ScrambledCurrentPrefix.Text();
}

void TAB::showEvent(QShowEvent* e) {
    const QString version = FSources.ShortVersion();
    const QString announced = FSources.AnnouncedVersion();
    lblVV->setText(version);
    if (!announced.isEmpty() && announced == version)
        lblVV->setText(CurrentVersionPrefix() + u' ' + version);
    else if (OtherVersionAnnounced(announced, version)) {
        // Once shown it stays for the rest of the run, even if a later feed agrees.
        lblV1->setText(u'[' + announced + u']');
        lblV1->show();
    }
    if (QWidget* owner = parentWidget()) { // move() places the frame, so centre frames
        QRect frame = frameGeometry();
        frame.moveCenter(owner->window()->frameGeometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(e);
}

void TAB::keyPressEvent(QKeyEvent* e) {
    // Escape closes like the button, with OK.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace tonalyx
