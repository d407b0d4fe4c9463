// The news and version feed: the record the main window keeps of it, reading and parsing
// the feed document, and the rules that decide what the window does with it.
#pragma once

#include "http_client.h"

#include <QDate>
#include <QString>

#include <string_view>

namespace tonalyx {

// Once, on the main thread before any reader starts: libxml2's global set-up.
void InitFeedParser();

struct TAppInfoURL {
    QString FB; // Facebook; empty: the default address applies
    QString GP; // Google+
    QString TW; // Twitter
    friend bool operator==(const TAppInfoURL&, const TAppInfoURL&) = default;
};

struct TLastNews {
    QString Text; // plain text, to be shown as plain text; empty: no news
    QString Link; // the address offered with the news; may be empty
    QDate NewsDate;
    friend bool operator==(const TLastNews&, const TLastNews&) = default;
};

// The feed record (AppInform of the main window): all empty and not Ready at start-up.
struct TAppInform {
    bool Ready = false; // a read filled the record; cleared when the next read starts
    QString LastVersion;
    TLastNews LastNews;
    TAppInfoURL URLFollow;
    TAppInfoURL URLTell;
    friend bool operator==(const TAppInform&, const TAppInform&) = default;
};

// A read or parse: the filled record (Ready), or why there is none.
using TFeedResult = TOutcome<TAppInform>;

// The date a news item carries when its own cannot be read, and the shown date's default.
QDate DefaultNewsDate();
// YYYY-MM-DD by fixed positions (1-4, 6-7, 9-10; the separators are not looked at);
// DefaultNewsDate() when a piece is not a decimal number or the date does not exist.
QDate ParseNewsDate(const QString& text);

// Dates as the window state stores them: days since 30 December 1899, the integer part
// the day. An invalid date is 0; 0 or anything not finite reads as an invalid date.
double DayValueFromDate(QDate date);
QDate DateFromDayValue(double days);

// Parses a feed document. Refused: more than FeedMaxBytes (protocol.h), anything not
// well-formed, and any document type declaration (it is never needed, and entities are where
// external files and expansion bombs come in). Never reaches the network. Any thread.
TFeedResult ParseAppInform(std::string_view document);

// The feed's address below the server root (which ends in "/").
QString FeedUrl(const QString& serverRoot);
// GET of the feed and ParseAppInform; worker thread. Never throws; ends at once when cancel
// is stopped.
TFeedResult ReadAppInform(const THttpClient& client, const QString& feedUrl,
                          std::stop_token cancel = {});

// The record the window keeps after a read: the new one, Ready, on success; otherwise the
// previous values with Ready cleared.
TAppInform ApplyFeedResult(const TAppInform& previous, const TFeedResult& result);

// Intervals of tmCheckNews in milliseconds.
inline constexpr int CheckNewsFirstInterval = 1000;
inline constexpr int CheckNewsAfterSuccess = 3600000;
inline constexpr int CheckNewsAfterFailure = 100000;
constexpr int NextCheckNewsInterval(bool readOk) {
    return readOk ? CheckNewsAfterSuccess : CheckNewsAfterFailure;
}
// The interval of tmShowNews in milliseconds.
inline constexpr int ShowNewsInterval = 100;

// What a tick of tmShowNews does.
enum class TNewsAction {
    Wait,         // not Ready: keep the timer running
    Skip,         // stop the timer; nothing to show
    ShowWithLink, // stop the timer, store the date, offer OK (open Link) and Cancel
    ShowText,     // stop the timer, store the date, show the text with OK only
};
// Shown once: an item whose date equals lastShown was shown before; any other date later
// than 30 December 1899 is shown, older ones than lastShown included.
TNewsAction NewsAction(const TAppInform& inform, QDate lastShown);

// Whether the about box offers the announced version: any announced version other than
// the running one, compared as exact text, older ones included.
bool OtherVersionAnnounced(const QString& announced, const QString& runningShortVersion);

} // namespace tonalyx
