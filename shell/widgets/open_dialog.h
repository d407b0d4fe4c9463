// The open dialog: the toolkit's own file dialog (the same on every desktop, and one that
// can carry more widgets), titled "Open Image", filtered to the pictures the program opens,
// with a preview of the selected picture and its size in pixels beside the file list.
//
// The preview is made by the program's decoders on the dialog's background runner, without
// ever holding the picture (file_preview.h); a newer selection cancels the older preview,
// which is never shown. Closing the dialog cancels the preview under way: the decoder stops
// at its next band of rows, and the work shares nothing with the dialog.
#pragma once

#include <QFileDialog>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <stop_token>

class QLabel;

namespace tonalyx {

class TBackgroundTasks;

// Where the dialog starts: the folder of currentFile (the picture shown now) when it is a
// file's path and that folder exists, else lastFolder when it exists, else empty (the
// toolkit's choice: the working folder). currentFile is empty while a pasted picture shows.
QString OpenDialogStartFolder(const QString& currentFile, const QString& lastFolder);
// The file the dialog selects when it opens: currentFile when it is a file that still exists,
// so that its preview shows and Enter opens it again; else none.
QString OpenDialogPreselected(const QString& currentFile);

// A picture's preview as the image view shows pictures (upright as its Exif orientation
// says, in sRGB) and reduced to a long side of `side` (never enlarged), and the text beside
// it: its size in pixels as the window shows it, "1920 x 1080", or why there is no preview:
// the plain reason when memory refuses it. Any thread; cancel stops the decoder at its next
// band of rows.
struct TOpenPreview {
    QImage Picture; // null without a preview
    QString Text;
};
TOpenPreview LoadOpenPreview(const QString& path, int side, std::stop_token cancel = {});

class TOpenDialog final : public QFileDialog {
    Q_OBJECT
  public:
    static constexpr int PreviewSide = 240;
    static constexpr QSize PreviewBox{PreviewSide, PreviewSide};

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
    void ShowPreview(const QString& path, const TOpenPreview& preview);

    QLabel* FPicture;
    QLabel* FText;
    QString FRequested; // the path of the preview asked for last
    // One preview at a time; its report comes only while the dialog is there.
    std::unique_ptr<TBackgroundTasks> FPreviews;
    std::uint64_t FPreview = 0; // the task of the preview under way, 0 for none
};

} // namespace tonalyx
