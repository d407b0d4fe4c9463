// The welcome panel: floats in the middle of the image area until the first image is
// shown, with quick-start help, the open and paste buttons and the maker's links.
#pragma once

#include <QFrame>

class QAction;
class QLabel;
class QToolButton;

namespace tonalyx {

class TWelcomePanel final : public QFrame {
    Q_OBJECT
  public:
    static constexpr QSize DesignSize{750, 292};

    // openAction and pasteAction are placed as the two big buttons.
    TWelcomePanel(QAction* openAction, QAction* pasteAction, QWidget* parent);

    void SetCompanyName(const QString& text); // lblWelcomeCompName
    void SetVersionText(const QString& text); // lblWelcomeVersion
    // The large target button sbWelcomeTargetAction shows and runs this command.
    void SetTargetAction(QAction* action);
    QToolButton* TargetButton() const { return FTarget; }

    // Centres the panel in its parent; offsets are rounded half to even and may be negative.
    void CentreIn(QSize area);

  signals:
    void HelpIndexClicked();       // lblLocalHelp
    void ProductPageClicked();     // lblProductPage and imProdLogo
    void CompanyPageClicked();     // lblCompanyPage and the maker's logo
    void TellClicked(int network); // 0 Facebook, 1 Google+, 2 Twitter
    void FollowClicked(int network);

  private:
    QWidget* MakeTop();
    QWidget* MakeMiddle(QAction* openAction, QAction* pasteAction);
    QWidget* MakeSocialRow(const QString& caption, const char* namePrefix, bool tell);

    QLabel* FCompanyName = nullptr;
    QLabel* FVersion = nullptr;
    QToolButton* FTarget = nullptr;
};

// Round((area - size) / 2), an exact half going to the even neighbour.
int CentredOffset(int area, int size);

} // namespace tonalyx
