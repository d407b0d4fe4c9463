#include "open_dialog.h"

#include "names.h"
#include "ufiles.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>

#include <limits>

namespace tonalyx {

QString OpenDialogStartFolder(const QString& currentFile, const QString& lastFolder) {
    if (!currentFile.isEmpty() && currentFile != PastedImageName()) {
        const QFileInfo file(currentFile);
        if (file.dir().exists())
            return file.absolutePath();
    }
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return QFileInfo(lastFolder).absoluteFilePath();
    return {};
}

QString OpenDialogPreselected(const QString& currentFile) {
    if (currentFile.isEmpty() || currentFile == PastedImageName() ||
        !QFileInfo(currentFile).isFile())
        return {};
    return QFileInfo(currentFile).absoluteFilePath();
}

TOpenPreview LoadOpenPreview(const QString& path, QSize box) {
    QImageReader reader(path);
    reader.setAutoTransform(true);      // upright, and sized, as the window shows it
    const QSize stored = reader.size(); // from the header, before any pixel is decoded
    if (!stored.isValid())
        return {{}, QStringLiteral("No preview")};
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize size = turned ? stored.transposed() : stored;
    // JPEG files decode at a half, quarter or eighth of their size, the cheap way; the
    // reader scales before it turns.
    if (size.width() > box.width() || size.height() > box.height()) {
        const QSize fit = size.scaled(box, Qt::KeepAspectRatio);
        reader.setScaledSize(turned ? fit.transposed() : fit);
    }
    QImage picture = reader.read();
    if (picture.isNull())
        return {{}, ImageSizeText(size)};
    return {std::move(picture), ImageSizeText(size)};
}

TOpenDialog::TOpenDialog(QWidget* parent, const QString& startFolder)
    : QFileDialog(parent, QStringLiteral("Open Image"), startFolder, OpenImageFilter()) {
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
    column->addWidget(FText);
    column->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(pane, 0, grid->columnCount(), grid->rowCount(), 1);

    resize(sizeHint().expandedTo(QSize(880, 500))); // room for the list beside the preview
    FWorker.setMaxThreadCount(1);
    // The file list's current item, and the name field, which follows every selection
    // (a click, the keys, a typed name, selectFile).
    connect(this, &QFileDialog::currentChanged, this, &TOpenDialog::RequestPreview);
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        connect(name, &QLineEdit::textChanged, this, [this](const QString& text) {
            if (!text.isEmpty())
                RequestPreview(directory().absoluteFilePath(text));
        });
}

TOpenDialog::~TOpenDialog() {
    FLatest = std::numeric_limits<std::uint64_t>::max(); // a preview under way is moot
    FWorker.clear();
    FWorker.waitForDone();
}

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
    const std::uint64_t request = ++FLatest;
    FPicture->clear();
    FText->clear();
    if (!QFileInfo(path).isFile())
        return;
    FWorker.clear(); // previews not started yet are moot
    FWorker.start([this, request, path] {
        // Worker thread: reads only its own copies and posts the result to the dialog.
        if (request != FLatest)
            return;
        TOpenPreview preview = LoadOpenPreview(path, PreviewBox);
        QMetaObject::invokeMethod(
            this, [this, request, path, preview] { ShowPreview(request, path, preview); },
            Qt::QueuedConnection);
    });
}

void TOpenDialog::ShowPreview(std::uint64_t request, const QString& path,
                              const TOpenPreview& preview) {
    if (request != FLatest)
        return; // the selection has moved on
    FPicture->setPixmap(QPixmap::fromImage(preview.Picture));
    FText->setText(preview.Text);
    emit previewShown(path);
}

} // namespace tonalyx
