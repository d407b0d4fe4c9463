// TAB: the about box. The product's logo and version, a link to the download page when
// the feed announces another version, the product, support and company links, and the
// Tell and Follow buttons, which it forwards to whoever handles them. Created once at
// start-up, hidden, and shown modally again and again. Main thread.
#pragma once

#include <QDialog>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

#include <array>
#include <functional>

class QPushButton;
class QToolButton;

namespace tonalyx {

// A label that acts as a link: blue with a hand cursor; red while the left button is
// pressed on it, purple once released (a visited link) and for as long as it lives.
class TAboutLink final : public QLabel {
    Q_OBJECT
  public:
    TAboutLink(const QString& name, bool underlined, QWidget* parent);
    QColor Colour() const { return palette().color(QPalette::WindowText); }

  signals:
    void clicked(); // a left press and release over the label

  protected:
    void mousePressEvent(QMouseEvent* e) override;   // lblMouseDown
    void mouseReleaseEvent(QMouseEvent* e) override; // lblMouseUp

  private:
    void SetColour(const QColor& colour);
};

// What the box shows that is not its own.
struct TAboutSources {
    QPixmap Logo;                              // copied now; later changes do not reach the box
    QString MakerName;                         // the maker's name that leads the display name
    std::array<QIcon, 3> NetworkIcons;         // Facebook, Google+, Twitter
    std::function<QString()> ShortVersion;     // the running major.minor.release
    std::function<QString()> AnnouncedVersion; // the feed's latest version; empty before a read
};

class TAB final : public QDialog {
    Q_OBJECT
  public:
    static constexpr QSize ClientSize{221, 348};

    TAB(QWidget* mainWindow, TAboutSources sources); // FormCreate

    TAboutLink* ProductLink() const { return lblA2; }
    TAboutLink* SupportLink() const { return lblA3; }
    TAboutLink* CompanyLink() const { return lblA5; }
    TAboutLink* NewVersionLink() const { return lblV1; }
    QLabel* VersionLine() const { return lblVV; }
    QLabel* Logo() const { return imA1; }
    QPushButton* CloseButton() const { return btnA6; }
    // The text put before the version when it is the one the feed announces.
    static QString CurrentVersionPrefix();

  signals:
    // A Tell or Follow button was clicked; button is the one pressed, told by its name
    // (tbTellFB, tbTellGP, tbTellTW, tbFollowFB, ...).
    void tbSocNetTellClick(QObject* button);
    void tbSocNetFollowClick(QObject* button);

  protected:
    void showEvent(QShowEvent* e) override; // FormShow
    void keyPressEvent(QKeyEvent* e) override;

  private:
    QWidget* MakeSocialRows(const std::array<QIcon, 3>& icons);

    TAboutSources FSources;
    QLabel* imA1 = nullptr;
    QLabel* lblA01 = nullptr;
    QLabel* lblA02 = nullptr;
    QLabel* lblVV = nullptr;
    TAboutLink* lblV1 = nullptr;
    TAboutLink* lblA2 = nullptr;
    TAboutLink* lblA3 = nullptr;
    QLabel* lblA4 = nullptr;
    TAboutLink* lblA5 = nullptr;
    QPushButton* btnA6 = nullptr;
};

} // namespace tonalyx
