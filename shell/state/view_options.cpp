#include "view_options.h"

#include "state_log.h"

#include <QSettings>

namespace tonalyx {

namespace {

const QString Group = QStringLiteral("View");

constexpr TViewOptionKey Keys[] = {
    {"LogScale", &TViewOptions::LogScale},
    {"Clipping", &TViewOptions::Clipping},
    {"Raw", &TViewOptions::Raw},
    {"RawLinear", &TViewOptions::RawLinear},
};

QString KeyPath(const TViewOptionKey& k) {
    return Group + u'/' + QLatin1String(k.Key);
}

} // namespace

std::span<const TViewOptionKey> ViewOptionKeys() {
    return Keys;
}

TViewOptions LoadViewOptions(const QSettings& settings) {
    TViewOptions options;
    for (const TViewOptionKey& k : Keys) {
        const QVariant v = settings.value(KeyPath(k));
        if (!v.isValid())
            continue;
        // A stored boolean reads back as the text "true" or "false".
        const QString text = v.toString();
        if (text == QLatin1String("true") || text == QLatin1String("false"))
            options.*k.Field = text == QLatin1String("true");
        else
            qCDebug(StateLog).noquote()
                << "unreadable view choice left at its default:" << KeyPath(k) << text;
    }
    return options;
}

void SaveViewOptions(QSettings& settings, const TViewOptions& options) {
    for (const TViewOptionKey& k : Keys)
        settings.setValue(KeyPath(k), options.*k.Field);
}

} // namespace tonalyx
