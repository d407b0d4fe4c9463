#include "clipboard_watch.h"

#include "named_timer.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

namespace tonalyx {

bool ClipboardHoldsPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage();
}

QImage ClipboardPicture() {
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    return mime && mime->hasImage() ? qvariant_cast<QImage>(mime->imageData()) : QImage();
}

void SetClipboardPicture(const QImage& picture) {
    auto* mime = new QMimeData; // the clipboard takes it
    mime->setImageData(picture);
    QGuiApplication::clipboard()->setMimeData(mime);
}

bool ReportsClipboardChanges(const QString& platformName) {
    // X11 and Windows notify every program; a Wayland compositor notifies the focused one,
    // and an unfocused one could not read the clipboard anyway. The offscreen and minimal
    // platforms keep a clipboard of this program alone. macOS tells nothing until the
    // program is activated.
    static const QStringList reporting = {QStringLiteral("xcb"), QStringLiteral("windows"),
                                          QStringLiteral("offscreen"), QStringLiteral("minimal")};
    return reporting.contains(platformName) || platformName.startsWith(QLatin1String("wayland"));
}

TClipboardWatch::TClipboardWatch(QObject* parent, std::function<bool()> query)
    : QObject(parent), FQuery(std::move(query)), tmMain(NamedTimer("tmMain", 100, this)) {
    connect(tmMain, &QTimer::timeout, this, &TClipboardWatch::Ask);
    if (ReportsClipboardChanges(QGuiApplication::platformName()))
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
                &TClipboardWatch::Ask);
    else
        tmMain->start();
    FHoldsPicture = FQuery();
}

void TClipboardWatch::Stop() {
    FStopped = true;
    tmMain->stop();
}

void TClipboardWatch::Ask() {
    if (FStopped)
        return;
    const bool holds = FQuery();
    if (holds == FHoldsPicture)
        return;
    FHoldsPicture = holds;
    emit Changed(holds);
}

} // namespace tonalyx
