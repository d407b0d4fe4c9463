#include "image_panel.h"

#include "focus_holder.h"
#include "image_view.h"
#include "welcome_panel.h"

namespace tonalyx {

TImagePanel::TImagePanel(QAction* openAction, QAction* pasteAction, QWidget* parent)
    : QWidget(parent), ed4Focus(new TFocusHolder(this)), imMain(new TImageView(this)),
      pnWelcome(new TWelcomePanel(openAction, pasteAction, this)) {
    setObjectName(QStringLiteral("pnImage"));
    ed4Focus->setObjectName(QStringLiteral("ed4Focus"));
    ed4Focus->setFocusPolicy(Qt::StrongFocus);
    ed4Focus->setGeometry(0, 0, 0, 0);
}

void TImagePanel::SetWorkspaceColour(const QColor& colour) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
}

void TImagePanel::resizeEvent(QResizeEvent*) {
    imMain->setGeometry(QRect(QPoint(0, 0), size()));
    pnWelcome->CentreIn(size());
}

} // namespace tonalyx
