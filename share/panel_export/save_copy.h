// Save Histogram and Copy Histogram: the export handed to a PNG file or to the clipboard.
// Main thread only. The dialogs sit behind TSaveDialogs so that tests replace them.
#pragma once

#include "outcome.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace tonalyx {

class THistExport;

// What saving asks of the user.
class TSaveDialogs {
  public:
    virtual ~TSaveDialogs() = default;
    // The save dialog with a proposed file name, opened in folder (its own default when
    // empty). The path confirmed, or empty when cancelled. The dialog asks no overwrite
    // question itself: the name may still change after it.
    virtual QString AskSavePath(const QString& proposedName, const QString& folder) = 0;
    // Whether to replace the existing file at path.
    virtual bool ConfirmOverwrite(const QString& path) = 0;
    // A failure, in the system's words.
    virtual void ShowError(const QString& text) = 0;
};

// The name the dialog confirmed, with ".png" appended unless it already ends so (any
// case): the dialog offers PNG alone, so what is written always ends in .png.
QString WithPngExtension(const QString& path);

// Writes bytes to path as a whole or not at all: a failure leaves an existing file as it
// was, and no partial file. On failure the reason is "Cannot save <path>: <reason>", the
// reason in plain words (SaveFailureReason), and the detail the system's own text.
TOutcome<void> WriteWholeFile(const QString& path, const std::vector<std::uint8_t>& bytes);

class THistSaveCopy {
  public:
    // panelVisible tells whether the histogram panel is shown; the commands do nothing
    // while it is not. putOnClipboard replaces the clipboard with a picture.
    THistSaveCopy(const THistExport& exporter, std::unique_ptr<TSaveDialogs> dialogs,
                  std::function<bool()> panelVisible,
                  std::function<void(const QImage&)> putOnClipboard);
    void SetDialogs(std::unique_ptr<TSaveDialogs> dialogs) { FDialogs = std::move(dialogs); }

    // acSaveHistExecute: the snapshot is taken before the dialog opens. The path written,
    // or empty when nothing was (cancelled, refused or failed).
    QString Save(const QString& proposedName, const QString& folder);
    // acCopyHistExecute; whether the clipboard got the picture.
    bool Copy();

  private:
    const THistExport& FExport;
    std::unique_ptr<TSaveDialogs> FDialogs;
    std::function<bool()> FPanelVisible;
    std::function<void(const QImage&)> FPutOnClipboard;
};

} // namespace tonalyx
