// The recent images of the application menu: the list kept by TRecentImages, shown on the
// ribbon with the newest on top, read from and stored to the settings, and a click that
// opens the first existing file of the clicked name. Main thread.
#pragma once

#include "recent_images.h"

#include <QObject>

#include <functional>

class QSettings;

namespace ribbon {
class TRibbonBar;
}

namespace tonalyx {

class TRecentMenu final : public QObject {
  public:
    // open makes a file the current image.
    TRecentMenu(ribbon::TRibbonBar& ribbon, std::function<void(const QString& path)> open,
                QObject* parent);

    void Load(const QSettings& settings);
    void Save(QSettings& settings) const { FRecent.Save(settings); }
    // After a file was decoded (not after a cache hit or a paste).
    void Remember(const QString& path);
    const QStringList& FullPaths() const { return FRecent.FullPaths(); }

  private:
    void ShowCaptions();
    void Clicked(const QString& caption);

    ribbon::TRibbonBar& FRibbon;
    std::function<void(const QString& path)> FOpen;
    TRecentImages FRecent;
};

} // namespace tonalyx
