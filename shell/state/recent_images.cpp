#include "recent_images.h"

#include "names.h"
#include "state_log.h"

#include <QSettings>

#include <algorithm>

namespace tonalyx {

namespace {

const QString Group = QStringLiteral("Recent Images");

QString ItemKey(int n) {
    return QStringLiteral("Item%1").arg(n);
}

TOutcome<void> Unreadable(const std::string& detail) {
    qCInfo(StateLog).noquote() << "the recent images are not all readable:"
                               << QString::fromStdString(detail);
    return TOutcome<void>::Failure("The stored list of recent images cannot be read whole", detail);
}

} // namespace

void TRecentImages::AddCaption(const QString& caption) {
    FCaptions.removeAll(caption); // exact, case-sensitive
    FCaptions.prepend(caption);
}

TOutcome<void> TRecentImages::Load(const QSettings& settings) {
    if (!settings.childGroups().contains(Group))
        return TOutcome<void>::Success();
    bool ok = false;
    const int count = settings.value(Group + QStringLiteral("/Count")).toInt(&ok);
    if (!ok || count <= 0)
        return Unreadable(
            "Count is " +
            settings.value(Group + QStringLiteral("/Count")).toString().toStdString());
    // From the last item to the first, so that Item0 ends on top.
    QStringList read;
    TOutcome<void> outcome = TOutcome<void>::Success();
    for (int n = std::min(count, MaxStored) - 1; n >= 0; --n) {
        const QVariant item = settings.value(Group + u'/' + ItemKey(n));
        if (item.typeId() != QMetaType::QString || item.toString().isEmpty()) {
            outcome = Unreadable(ItemKey(n).toStdString() + " is not a path");
            break;
        }
        read.prepend(item.toString());
        AddCaption(FileBaseName(item.toString()));
    }
    FFull = read + FFull;
    return outcome;
}

TOutcome<void> TRecentImages::Save(QSettings& settings) const {
    settings.remove(Group);
    QStringList paths;
    for (const QString& caption : FCaptions.mid(0, MaxStored)) {
        const QString path = FullPathOfRecent(caption);
        if (!path.isEmpty())
            paths << path;
    }
    if (!paths.isEmpty()) {
        settings.beginGroup(Group);
        settings.setValue(QStringLiteral("Count"), paths.size());
        for (int i = 0; i < paths.size(); ++i)
            settings.setValue(ItemKey(i), paths[i]);
        settings.endGroup();
    }
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return TOutcome<void>::Success();
    const std::string detail =
        settings.fileName().toStdString() + ": status " + std::to_string(int(settings.status()));
    qCInfo(StateLog).noquote() << "the recent images were not stored:"
                               << QString::fromStdString(detail);
    return TOutcome<void>::Failure("The list of recent images could not be stored", detail);
}

void TRecentImages::Remember(const QString& path) {
    AddCaption(FileBaseName(path));
    FFull << path; // whole: a path cut short could never be opened again
}

QString TRecentImages::PathForClick(const QString& caption,
                                    const std::function<bool(const QString&)>& exists) const {
    for (const QString& path : FFull)
        if (FileBaseName(path) == caption && exists(path))
            return path;
    return QString();
}

QString TRecentImages::FullPathOfRecent(const QString& caption) const {
    for (auto it = FFull.crbegin(); it != FFull.crend(); ++it)
        if (FileBaseName(*it) == caption)
            return *it;
    return QString();
}

} // namespace tonalyx
