#include "links.h"

#include "appinfo_log.h"
#include "server_address.h"

#include <QDesktopServices>
#include <QUrl>

namespace tonalyx {

namespace {

void DesktopOpen(const QString& target) {
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(target.toUtf8(), QUrl::TolerantMode)))
        qCInfo(AppInfoLog) << "the desktop could not open" << target;
}

TLinkOpener& Opener() {
    static TLinkOpener opener = DesktopOpen;
    return opener;
}

bool StartsWithNoCase(const QString& text, QLatin1StringView prefix) {
    return text.startsWith(prefix, Qt::CaseInsensitive);
}

} // namespace

TLinkTable MakeLinkTable(const QString& serverRoot, const QString& supportEmail) {
    TLinkTable t;
    t[LinkProductPage] = serverRoot + QStringLiteral("Tonalyx/");
    t[LinkSiblingProduct] = serverRoot + QStringLiteral("Lumivar/");
    t[LinkCompanyHome] = serverRoot;
    t[LinkSupportMail] =
        QStringLiteral("mailto:") + supportEmail + QStringLiteral("?subject=Tonalyx_");
    t[LinkDownload] = serverRoot + QStringLiteral("Download/");
    return t;
}

const TLinkTable& ProgramLinkTable() {
    static const TLinkTable table = MakeLinkTable(ServerRootUrl(), SupportEmailAddress());
    return table;
}

bool IsOpenableLink(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() <= 0x20 || c.unicode() == 0x7f || c.isSpace())
            return false;
    // "http:" without "//" would be read relative to some base by the desktop's parser.
    if (StartsWithNoCase(text, QLatin1StringView("http://")))
        return text.size() > 7;
    if (StartsWithNoCase(text, QLatin1StringView("https://")))
        return text.size() > 8;
    if (StartsWithNoCase(text, QLatin1StringView("mailto:")))
        return text.size() > 7;
    return false;
}

QString LinkTarget(const TLinkTable& table, int kind, const QString& argument) {
    if (kind < 0 || kind >= LinkKindCount)
        return {};
    QString target;
    if (kind == LinkLiteral)
        target = argument;
    else if (kind == LinkSupportMail)
        target = table[std::size_t(kind)] + argument;
    else
        target = table[std::size_t(kind)];
    if (target.isEmpty() || !IsOpenableLink(target))
        return {};
    return target;
}

void SetLinkOpener(TLinkOpener opener) {
    Opener() = opener ? std::move(opener) : TLinkOpener(DesktopOpen);
}

void OpenLink(int kind, const QString& argument) {
    const QString target = LinkTarget(ProgramLinkTable(), kind, argument);
    if (target.isEmpty()) // nothing to open, or nothing the program opens: not offered
        qCDebug(AppInfoLog) << "link" << kind << "not opened:" << argument;
    else
        Opener()(target);
}

} // namespace tonalyx
