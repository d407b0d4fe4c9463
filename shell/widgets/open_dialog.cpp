#include "open_dialog.h"

#include "background_tasks.h"
#include "file_preview.h"
#include "names.h"
#include "open_reasons.h"
#include "ufiles.h"
#include "widgets_log.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <utility>

namespace tonalyx {

QString OpenDialogStartFolder(const QString& currentFile, const QString& lastFolder) {
    if (!currentFile.isEmpty()) {
        const QFileInfo file(currentFile);
        if (file.dir().exists())
            return file.absolutePath();
    }
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return QFileInfo(lastFolder).absoluteFilePath();
    return {};
}

QString OpenDialogPreselected(const QString& currentFile) {
    if (currentFile.isEmpty() || !QFileInfo(currentFile).isFile())
        return {};
    return QFileInfo(currentFile).absoluteFilePath();
}

TOpenPreview LoadOpenPreview(const QString& path, int side, std::stop_token cancel) {
    TFilePreview preview = MakeFilePreview(path, side, std::move(cancel));
    if (preview.Failure && *preview.Failure != DecodingCancelled())
        qCDebug(WidgetsLog).noquote() << "no preview of" << path << "-"
                                      << QString::fromStdString(DescribeFailure(*preview.Failure));
    if (preview.Refused)
        return {{}, QString::fromStdString(preview.Failure->Reason)};
    if (preview.Shown.isEmpty())
        return {{}, QStringLiteral("No preview")};
    return {std::move(preview.Picture), ImageSizeText(preview.Shown)};
}

TOpenDialog::TOpenDialog(QWidget* parent, const QString& startFolder)
    : QFileDialog(parent, QStringLiteral("Open Image"), startFolder, OpenImageFilter()),
      FPreviews(std::make_unique<TBackgroundTasks>(TBackgroundOptions{1, true})) {
    setObjectName(QStringLiteral("odMain"));
    // The toolkit's own dialog on every desktop: a desktop's native one has no room for
    // the preview. The filter's label shows without its bracketed patterns.
    setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);

    auto* pane = new QWidget(this);
    pane->setObjectName(QStringLiteral("odPreview"));
    auto* column = new QVBoxLayout(pane);
    column->setContentsMargins(6, 0, 0, 0);
    FPicture = new QLabel(pane);
    FPicture->setObjectName(QStringLiteral("odPreviewPicture"));
    FPicture->setFixedSize(PreviewBox);
    FPicture->setAlignment(Qt::AlignCenter);
    FPicture->setFrameShape(QFrame::StyledPanel);
    column->addWidget(FPicture);
    FText = new QLabel(pane);
    FText->setObjectName(QStringLiteral("odPreviewText"));
    FText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FText->setWordWrap(true); // a reason in place of the size takes a few lines
    FText->setMaximumWidth(PreviewBox.width());
    column->addWidget(FText);
    column->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);

    resize(sizeHint().expandedTo(QSize(880, 500))); // room for the list beside the preview
    // The file list's current item, and the name field, which follows every selection
    // (a click, the keys, a typed name, selectFile).
    connect(this, &QFileDialog::currentChanged, this, &TOpenDialog::RequestPreview);
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty())
                RequestPreview(directory().absoluteFilePath(text));
        });
}

// The runner cancels the preview under way and waits only for its decoder to see that, at its
// next band of rows.
TOpenDialog::~TOpenDialog() = default;

QString TOpenDialog::PreviewText() const {
    return FText->text();
}

bool TOpenDialog::HasPreviewPicture() const {
    return !FPicture->pixmap().isNull();
}

void TOpenDialog::RequestPreview(const QString& path) {
    if (path == FRequested)
        return; // the list and the name field both tell of one selection
    FRequested = path;
    FPreviews->Cancel(FPreview); // its decoder stops at its next band of rows
    FPreview = 0;
    FPicture->clear();
    FText->clear();
    if (!QFileInfo(path).isFile())
        return;
    // The work has its own copy of the path: it touches nothing of the dialog.
    FPreview = FPreviews->Start(
        [path](std::stop_token cancel) { return LoadOpenPreview(path, PreviewSide, cancel); },
        [this, path](TOutcome<TOpenPreview> preview) {
            FPreview = 0;
            ShowPreview(path, preview.ValueOr({{}, QStringLiteral("No preview")}));
        });
}

void TOpenDialog::ShowPreview(const QString& path, const TOpenPreview& preview) {
    FPicture->setPixmap(QPixmap::fromImage(preview.Picture));
    FText->setText(preview.Text);
    emit previewShown(path);
}

} // namespace tonalyx
