// The recent images: the captions the application menu shows (base names, newest first,
// each once) and behind them every full path opened, in the order of opening. Stored as
// the settings group "Recent Images" with "Count" and "Item0".."Item8", newest first.
// Main thread only; no widgets: the ribbon only shows Captions().
#pragma once

#include "outcome.h"

#include <QString>
#include <QStringList>

#include <functional>

class QSettings;

namespace tonalyx {

class TRecentImages {
  public:
    static constexpr int MaxStored = 9;

    // The stored list; a missing or unreadable part ends the reading, what was read stays,
    // and the failure says what was unreadable (it is logged, never shown). No stored list
    // is no failure. A stored Count is never trusted beyond MaxStored.
    TOutcome<void> Load(const QSettings& settings);
    // Writes the newest MaxStored captions' paths, or removes the group when there are none.
    // A failure is logged and otherwise swallowed: the program still closes.
    TOutcome<void> Save(QSettings& settings) const;

    // After a file was decoded (not after a cache hit or a paste).
    void Remember(const QString& path);
    // The path a click on caption opens: the earliest entry of that base name whose file
    // exists (exists is asked for each candidate); empty when none does.
    QString PathForClick(const QString& caption,
                         const std::function<bool(const QString&)>& exists) const;
    // The most recently appended path of that base name; empty when there is none.
    QString FullPathOfRecent(const QString& caption) const;

    const QStringList& Captions() const { return FCaptions; }
    const QStringList& FullPaths() const { return FFull; } // RibbonRecentItemsFull

  private:
    void AddCaption(const QString& caption);

    QStringList FCaptions;
    QStringList FFull;
};

} // namespace tonalyx
