// TfrmOptions: the Options dialog, whose one setting is the ribbon theme. Picking a theme
// applies it at once; closing never undoes it. Created once and reused.
#pragma once

#include <QDialog>

#include <functional>

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace tonalyx {

class TfrmOptions final : public QDialog {
    Q_OBJECT
  public:
    // currentTheme reads the theme in use; applyTheme applies a picked one (0..2).
    TfrmOptions(QWidget* mainWindow, std::function<int()> currentTheme,
                std::function<void(int)> applyTheme);

    static constexpr QSize ClientSize{222, 152};
    QRadioButton* ThemeItem(int index) const;
    QPushButton* CloseButton() const { return btnCancel; }

  protected:
    void showEvent(QShowEvent* e) override; // FormShow

  private:
    void rgThemeClick(int index);

    std::function<int()> FCurrentTheme;
    std::function<void(int)> FApplyTheme;
    QButtonGroup* rgTheme = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOK = nullptr;
};

} // namespace tonalyx
