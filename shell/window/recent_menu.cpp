#include "recent_menu.h"

#include "ribbon_bar.h"

#include <QFileInfo>

namespace tonalyx {

TRecentMenu::TRecentMenu(ribbon::TRibbonBar& ribbon, std::function<void(const QString& path)> open,
                         QObject* parent)
    : QObject(parent), FRibbon(ribbon), FOpen(std::move(open)) {
    connect(&FRibbon, &ribbon::TRibbonBar::recentItemClicked, this,
            [this](const QString& caption, int) { Clicked(caption); });
}

void TRecentMenu::Load(const QSettings& settings) {
    FRecent.Load(settings);
    ShowCaptions();
}

void TRecentMenu::Remember(const QString& path) {
    FRecent.Remember(path);
    ShowCaptions();
}

void TRecentMenu::ShowCaptions() {
    FRibbon.ClearRecentItems();
    const QStringList& captions = FRecent.Captions();
    for (auto it = captions.crbegin(); it != captions.crend(); ++it) // the newest ends on top
        FRibbon.AddRecentItem(*it);
}

void TRecentMenu::Clicked(const QString& caption) {
    const QString path =
        FRecent.PathForClick(caption, [](const QString& p) { return QFileInfo::exists(p); });
    if (!path.isEmpty())
        FOpen(path);
}

} // namespace tonalyx
