// The open dialog: the toolkit's own file dialog (the same on every desktop, and one that
// can carry more widgets), titled "Open Image", filtered to the pictures the program opens,
// with a preview of the selected picture and its size in pixels beside the file list.
//
// The preview is decoded reduced on a worker thread owned by the dialog; a newer selection
// makes older previews moot, and they are dropped unseen. The dialog waits for the worker
// when it goes, so nothing outlives it.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstdint>

class QLabel;

namespace tonalyx {

// Where the dialog starts: the folder of currentFile (the picture shown now) when it is a
// file's path and that folder exists, else lastFolder when it exists, else empty (the
// toolkit's choice: the working folder). The pasted picture's name is no path.
QString OpenDialogStartFolder(const QString& currentFile, const QString& lastFolder);
// The file the dialog selects when it opens: currentFile when it is a file that still exists,
// so that its preview shows and Enter opens it again; else none.
QString OpenDialogPreselected(const QString& currentFile);

// A picture's preview: upright as its Exif orientation says and reduced to fit box (never
// enlarged), and the text beside it: its size in pixels as the window shows it,
// "1920 x 1080", or why there is no preview. Any thread.
struct TOpenPreview {
    QImage Picture; // null without a preview
    QString Text;
};
TOpenPreview LoadOpenPreview(const QString& path, QSize box);

class TOpenDialog final : public QFileDialog {
    Q_OBJECT
  public:
    static constexpr QSize PreviewBox{240, 240};

    TOpenDialog(QWidget* parent, const QString& startFolder);
    ~TOpenDialog() override;

    // What the preview pane shows now.
    QString PreviewText() const;
    bool HasPreviewPicture() const;

  signals:
    // The preview of path is in place (main thread).
    void previewShown(const QString& path);

  private:
    // Main thread.
    void RequestPreview(const QString& path);
    void ShowPreview(std::uint64_t request, const QString& path, const TOpenPreview& preview);

    QLabel* FPicture;
    QLabel* FText;
    QString FRequested;                    // the path of the preview asked for last
    QThreadPool FWorker;                   // one thread, the previews in turn
    std::atomic<std::uint64_t> FLatest{0}; // the request whose preview is wanted
};

} // namespace tonalyx
