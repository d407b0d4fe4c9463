#include "options_dialog.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tonalyx {

TfrmOptions::TfrmOptions(QWidget* mainWindow, std::function<int()> currentTheme,
                         std::function<void(int)> applyTheme)
    : QDialog(mainWindow, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      FCurrentTheme(std::move(currentTheme)), FApplyTheme(std::move(applyTheme)) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    setFixedSize(ClientSize);

    auto* box = new QGroupBox(QStringLiteral("Set Theme"), this);
    box->setObjectName(QStringLiteral("rgTheme"));
    auto* boxLayout = new QVBoxLayout(box);
    rgTheme = new QButtonGroup(this);
    const char* names[] = {"Luna", "Obsidian", "Silver"}; // index = theme value
    for (int i = 0; i < 3; ++i) {
        auto* item = new QRadioButton(QString::fromLatin1(names[i]), box);
        rgTheme->addButton(item, i);
        boxLayout->addWidget(item);
    }
    // The user's click only: preselecting on show must not apply anything.
    connect(rgTheme, &QButtonGroup::idClicked, this, &TfrmOptions::rgThemeClick);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->hide();
    btnCancel = new QPushButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject); // Escape rejects too

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addLayout(buttons);
}

QRadioButton* TfrmOptions::ThemeItem(int index) const {
    return qobject_cast<QRadioButton*>(rgTheme->button(index));
}

void TfrmOptions::showEvent(QShowEvent* e) {
    // The theme in use, which the user may have changed earlier in this run.
    if (QAbstractButton* item = rgTheme->button(FCurrentTheme()))
        item->setChecked(true);
    if (parentWidget()) {
        QRect frame = geometry();
        frame.moveCenter(parentWidget()->window()->geometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(e);
}

void TfrmOptions::rgThemeClick(int index) {
    FApplyTheme(index);
}

} // namespace tonalyx
