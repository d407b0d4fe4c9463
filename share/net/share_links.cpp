#include "share_links.h"

#include "picture_name.h"

#include <QRandomGenerator>

#include <array>
#include <mutex>

namespace tonalyx {

const TURLTemplates& URLTemplates() {
    static const TURLTemplates table{
        QStringLiteral("<img src=\"[url]\"/>"),
        QStringLiteral("https://www.facebook.com/sharer/sharer.php?u=[url]"),
        QStringLiteral("https://plus.google.com/share?url=[url]"),
        QStringLiteral("https://twitter.com/intent/tweet?&url=[url]"),
        QString(),
        QStringLiteral("https://www.facebook.com/Tonalyx"),
        QStringLiteral("https://plus.google.com/+Tonalyx"),
        QStringLiteral("https://twitter.com/Tonalyx"),
    };
    return table;
}

namespace {

// Seeded once from the system's random source; the lock lets workers and the main thread
// draw from it alike.
std::mutex GeneratorLock;
// 256 bits of seed, so that two running programs are as unlikely to draw the same names
// as two draws of one.
QRandomGenerator& Generator() {
    static QRandomGenerator generator = [] {
        std::array<quint32, 8> seed{};
        QRandomGenerator::global()->fillRange(seed.data(), seed.size());
        return QRandomGenerator(seed.data(), static_cast<qsizetype>(seed.size()));
    }();
    return generator;
}

} // namespace

QString RandomName(int length, unsigned divisor) {
    if (length <= 0)
        return {};
    if (divisor == 0)
        divisor = 1;
    std::string s(static_cast<std::size_t>(length), '0');
    std::lock_guard lock(GeneratorLock);
    QRandomGenerator& g = Generator();
    do {
        for (char& c : s)
            c = g.generateDouble() >= 0.5 ? static_cast<char>('0' + g.bounded(9))
                                          : static_cast<char>('a' + g.bounded(25));
    } while (CharCodeSum(s) % divisor != 0);
    return QString::fromLatin1(s.data(), length);
}

QString MakeUploadFileName() {
    return QString::fromLatin1(PictureNamePrefix.data(), PictureNamePrefix.size()) +
           RandomName(static_cast<int>(PictureNameRandomLength), PictureNameDivisor) +
           QString::fromLatin1(PictureNameExtension.data(), PictureNameExtension.size());
}

QString MakeImageURL(const QString& name, const QString& serverRoot) {
    return serverRoot + name.left(4) + QLatin1Char('/') + name;
}

QString FillURLTemplate(int group, int network, const QString& url) {
    const int i = group * 4 + network;
    if (group < 0 || network < 0 || network > 3 || i >= static_cast<int>(URLTemplates().size()))
        return {};
    QString s = URLTemplates()[static_cast<std::size_t>(i)];
    return s.replace(UrlPlaceholder, url);
}

QString GetSocNetURL(int group, int network, const TAppInfoURL& urls) {
    if (group == UrlGroupFollow) {
        const QString* field = network == SocNetFacebook     ? &urls.FB
                               : network == SocNetGooglePlus ? &urls.GP
                               : network == SocNetTwitter    ? &urls.TW
                                                             : nullptr;
        if (field && !field->isEmpty())
            return *field;
    }
    const int i = group * 4 + network;
    if (group < 0 || network < 0 || network > 3 || i >= static_cast<int>(URLTemplates().size()))
        return {};
    return URLTemplates()[static_cast<std::size_t>(i)];
}

int SocNetIndex(const QString& controlName) {
    if (controlName.endsWith(QLatin1String("FB")))
        return SocNetFacebook;
    if (controlName.endsWith(QLatin1String("GP")))
        return SocNetGooglePlus;
    if (controlName.endsWith(QLatin1String("TW")))
        return SocNetTwitter;
    return SocNetLink;
}

} // namespace tonalyx
