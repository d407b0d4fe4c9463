#include "server_address.h"

#include <QByteArray>

namespace tonalyx {

QString NormalisedServerRoot(const QString& root) {
    QString s = root.trimmed();
    if (!s.isEmpty() && !s.endsWith(u'/'))
        s += u'/';
    return s;
}

QString ServerRootUrl() {
    const QString fromEnvironment = qEnvironmentVariable("TONALYX_SERVER_URL").trimmed();
    if (!fromEnvironment.isEmpty())
        return NormalisedServerRoot(fromEnvironment);
    return NormalisedServerRoot(QStringLiteral(TONALYX_SERVER_URL));
}

QString SupportEmailAddress() {
    return QStringLiteral(TONALYX_SUPPORT_EMAIL);
}

} // namespace tonalyx
