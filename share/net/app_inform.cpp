#include "app_inform.h"

#include "protocol.h"
#include "xml_handles.h"

#include <cmath>
#include <mutex>
#include <string>

namespace tonalyx {

namespace {

const QDate DayZero(1899, 12, 30);

// The parser's internal-subset callback, called as soon as "<!DOCTYPE name ..." has been
// read and before any declaration inside it: stops the parse there, so no entity is ever
// declared, expanded or fetched.
void RefuseDocType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxt*>(context);
    ctxt->_private = ctxt; // marks the refusal for ParseAppInform
    xmlStopParser(ctxt);
}

// The first child element of exactly that name; null when there is none (or no parent).
xmlNode* Child(xmlNode* parent, std::string_view name) {
    if (!parent)
        return nullptr;
    for (xmlNode* n = parent->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && reinterpret_cast<const char*>(n->name) == name)
            return n;
    return nullptr;
}

// The text content of an element; a missing element is empty.
QString Text(xmlNode* element) {
    if (!element)
        return {};
    const TXmlText content(xmlNodeGetContent(element));
    return content ? QString::fromUtf8(reinterpret_cast<const char*>(content.get())) : QString();
}

TAppInfoURL Urls(xmlNode* group) {
    return {Text(Child(group, FeedFacebook)), Text(Child(group, FeedGooglePlus)),
            Text(Child(group, FeedTwitter))};
}

TFeedResult Refused(std::string why, std::string detail = {}) {
    return TFeedResult::Failure(std::move(why), std::move(detail));
}

std::string TooLong() {
    return "The feed is longer than " + std::to_string(FeedMaxBytes) + " bytes";
}

bool AllDigits(const QString& s) {
    if (s.isEmpty())
        return false;
    for (const QChar c : s)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

} // namespace

void InitFeedParser() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

QDate DefaultNewsDate() {
    return QDate(2015, 1, 1);
}

QDate ParseNewsDate(const QString& text) {
    const QString year = text.mid(0, 4), month = text.mid(5, 2), day = text.mid(8, 2);
    if (!AllDigits(year) || !AllDigits(month) || !AllDigits(day))
        return DefaultNewsDate();
    const QDate date(year.toInt(), month.toInt(), day.toInt());
    return date.isValid() ? date : DefaultNewsDate();
}

double DayValueFromDate(QDate date) {
    return date.isValid() ? double(DayZero.daysTo(date)) : 0.0;
}

QDate DateFromDayValue(double days) {
    if (!std::isfinite(days) || days == 0.0 || std::fabs(days) > 3.0e6)
        return {};
    return DayZero.addDays(static_cast<qint64>(std::floor(days)));
}

TFeedResult ParseAppInform(std::string_view document) {
    if (document.empty())
        return Refused("The feed is empty");
    if (document.size() > FeedMaxBytes)
        return Refused(TooLong());
    const TXmlParser ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax)
        return Refused("The XML parser could not be created");
    ctxt->sax->internalSubset = RefuseDocType;
    ctxt->_private = nullptr;
    const TXmlDoc doc = ReadFeedDocument(*ctxt, document);
    if (ctxt->_private || ctxt->errNo == XML_ERR_USER_STOP ||
        (doc && (doc->intSubset || doc->extSubset)))
        return Refused("The feed declares a document type");
    if (!doc || !ctxt->wellFormed) {
        const xmlError* e = xmlCtxtGetLastError(ctxt.get());
        std::string why = "The feed is not well-formed XML";
        if (e && e->message)
            why += ": " + QString::fromUtf8(e->message).trimmed().toStdString();
        return Refused(why, e ? "libxml2 error " + std::to_string(e->code) : std::string());
    }
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root)
        return Refused("The feed has no root element");

    TAppInform inform;
    xmlNode* product = Child(root, FeedProduct);
    inform.LastVersion = Text(Child(product, FeedLastVersion));
    xmlNode* url = Child(product, FeedUrls);
    inform.URLFollow = Urls(Child(url, FeedFollowUrls));
    inform.URLTell = Urls(Child(url, FeedTellUrls));
    xmlNode* news = Child(root, FeedNews);
    inform.LastNews.NewsDate = ParseNewsDate(Text(Child(news, FeedNewsDate)));
    inform.LastNews.Text = Text(Child(news, FeedNewsText));
    inform.LastNews.Link = Text(Child(news, FeedNewsLink));
    inform.Ready = true;
    return inform;
}

QString FeedUrl(const QString& serverRoot) {
    return QString::fromStdString(RouteUrl(serverRoot.toStdString(), FeedRoute));
}

TFeedResult ReadAppInform(const THttpClient& client, const QString& feedUrl,
                          std::stop_token cancel) {
    try {
        // The reply is cut at the document's limit: the first byte beyond it fails the read,
        // however many packets the feed came in.
        const THttpReply reply = client.Get(feedUrl.toStdString(), FeedMaxBytes, std::move(cancel));
        if (reply.Overflow)
            return Refused(TooLong(), reply.Outcome.Detail());
        if (!reply.Ok())
            return reply.Outcome.Error();
        return ParseAppInform(reply.Body);
    } catch (...) {
        return FailureOf(std::current_exception());
    }
}

TAppInform ApplyFeedResult(const TAppInform& previous, const TFeedResult& result) {
    TAppInform next = result.Ok() ? *result : previous;
    next.Ready = result.Ok();
    return next;
}

TNewsAction NewsAction(const TAppInform& inform, QDate lastShown) {
    if (!inform.Ready)
        return TNewsAction::Wait;
    const TLastNews& news = inform.LastNews;
    if (news.Text.isEmpty() || news.NewsDate == lastShown)
        return TNewsAction::Skip;
    if (!news.NewsDate.isValid() || news.NewsDate <= DayZero)
        return TNewsAction::Skip;
    return news.Link.isEmpty() ? TNewsAction::ShowText : TNewsAction::ShowWithLink;
}

bool OtherVersionAnnounced(const QString& announced, const QString& runningShortVersion) {
    return !announced.isEmpty() && announced != runningShortVersion;
}

} // namespace tonalyx
