// The news and version feed: documents served by a loopback server, refused and accepted;
// the date, display and schedule rules; the reader on its worker thread.
#include "net_fault_server.h"
#include "qt_environment.h"

#include "app_inform.h"
#include "news_feed.h"

#include <QCoreApplication>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <functional>
#include <mutex>

using namespace tonalyx;
using namespace tonalyx::test;

TONALYX_NET_TEST_ENVIRONMENT();

namespace {

using namespace std::chrono_literals;

const char* const FullFeed = R"(<?xml version="1.0" encoding="UTF-8"?>
<Info>
  <Tonalyx>
    <LastVersion>1.0.4</LastVersion>
    <URL>
      <FOLLOW><FB>https://fb.example/varnel</FB><GP>https://gp.example/varnel</GP><TW>https://tw.example/varnel</TW></FOLLOW>
      <TELL><FB>https://varnel.example/tell?a=1&amp;b=2</FB><GP></GP><TW>https://varnel.example/tw</TW></TELL>
    </URL>
  </Tonalyx>
  <LastNews><Date>2016-03-01</Date><Text>Tonalyx 1.0.4 &lt;b&gt;is out&lt;/b&gt;</Text><Link>https://varnel.example/news</Link></LastNews>
</Info>)";

// A feed of exactly size bytes, blanks before the root's end tag.
std::string FeedOfSize(std::size_t size) {
    std::string doc = FullFeed;
    const std::size_t end = doc.rfind("</Info>");
    doc.insert(end, std::string(size - doc.size(), ' '));
    return doc;
}

class FeedTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Secret = Dir.filePath(QStringLiteral("secret.txt")).toStdString();
        QFile f(QString::fromStdString(Secret));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("SECRET-4711") == 11);
    }
    TFeedResult Read(const std::string& path) {
        return ReadAppInform(THttpClient(5000ms), QString::fromStdString(Server.Url(path)));
    }

    QTemporaryDir Dir;
    std::string Secret; // a local file no feed may bring in
    TFaultServer Server;
};

TEST_F(FeedTest, HostileAndBrokenDocumentsAreRefused) {
    // Seven levels of sixteen references each: 2^28 bytes once expanded.
    std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE Info [<!ENTITY a \"aaaaaaaaaaaaaaaa\">";
    for (char level = 'b'; level <= 'h'; ++level) {
        bomb += std::string("<!ENTITY ") + level + " \"";
        for (int k = 0; k < 16; ++k)
            bomb += std::string("&") + char(level - 1) + ';';
        bomb += "\">";
    }
    bomb += "]><Info><LastNews><Date>2016-03-01</Date><Text>&h;</Text></LastNews></Info>";
    const std::string external = "<!DOCTYPE Info [<!ENTITY x SYSTEM \"file://" + Secret +
                                 "\">]><Info><Tonalyx><LastVersion>&x;</LastVersion></Tonalyx>" +
                                 "<LastNews><Text>&x;</Text></LastNews></Info>";
    const std::string externalDtd =
        "<!DOCTYPE Info SYSTEM \"file://" + Secret +
        "\"><Info><Tonalyx><LastVersion>1</LastVersion></Tonalyx></Info>";
    const std::tuple<const char*, int, std::string> documents[] = {
        {"/bomb/", 200, bomb},
        {"/external/", 200, external},
        {"/external-dtd/", 200, externalDtd},
        {"/long/", 200, FeedOfSize(2001)},
        {"/malformed/", 200, "<Info><Tonalyx><LastVersion>1.0.4</Tonalyx></Info>"},
        {"/not-xml/", 200, "0"},
        {"/empty/", 200, ""},
        {"/missing/", 404, "<html><body><h1>404 Not Found</h1></body></html>"},
        {"/error/", 500, FullFeed},
    };
    for (const auto& [path, status, body] : documents)
        Server.Serve(path, status, body);
    Server.ServeInPieces("/long-in-pieces/", FeedOfSize(2001), 300);
    Server.Start();
    for (const char* path :
         {"/bomb/", "/external/", "/external-dtd/", "/long/", "/malformed/", "/not-xml/", "/empty/",
          "/long-in-pieces/", "/missing/", "/error/", "/nowhere/"}) {
        SCOPED_TRACE(path);
        const TFeedResult r = Read(path);
        EXPECT_FALSE(r.Ok());
        EXPECT_THROW((void)r.Value(), std::bad_variant_access) << "a refused feed filled values";
        EXPECT_FALSE(r.Reason().empty());
        EXPECT_EQ(r.Reason().find("SECRET"), std::string::npos) << r.Reason();
        EXPECT_EQ(r.Detail().find("SECRET"), std::string::npos) << r.Detail();
    }
    const TRawPort down(false);
    const TFeedResult r = ReadAppInform(THttpClient(), QString::fromStdString(down.Url("/")));
    EXPECT_TRUE(!r.Ok() && !r.Reason().empty());
}

struct TAcceptCase {
    const char* Path;
    std::string Body;
    std::function<void(const TAppInform&)> Check;
};

TEST_F(FeedTest, AcceptedDocumentsFillTheRecord) {
    const TAppInform full = [] {
        TAppInform i;
        i.Ready = true;
        i.LastVersion = QStringLiteral("1.0.4");
        i.URLFollow = {QStringLiteral("https://fb.example/varnel"),
                       QStringLiteral("https://gp.example/varnel"),
                       QStringLiteral("https://tw.example/varnel")};
        i.URLTell = {QStringLiteral("https://varnel.example/tell?a=1&b=2"), QString(),
                     QStringLiteral("https://varnel.example/tw")};
        i.LastNews = {QStringLiteral("Tonalyx 1.0.4 <b>is out</b>"),
                      QStringLiteral("https://varnel.example/news"), QDate(2016, 3, 1)};
        return i;
    }();
    const std::string xinclude =
        "<Info xmlns:xi=\"http://www.w3.org/2001/XInclude\"><Tonalyx><LastVersion>"
        "<xi:include href=\"file://" +
        Secret + "\" parse=\"text\"/></LastVersion></Tonalyx></Info>";
    const TAcceptCase cases[] = {
        {"/full/", FullFeed, [&](const TAppInform& i) { EXPECT_EQ(i, full); }},
        {"/exact/", FeedOfSize(2000), [&](const TAppInform& i) { EXPECT_EQ(i, full); }},
        {"/one-digit/", "<Info><LastNews><Date>2016-3-1</Date><Text>t</Text></LastNews></Info>",
         [](const TAppInform& i) { EXPECT_EQ(i.LastNews.NewsDate, QDate(2015, 1, 1)); }},
        {"/no-news/",
         "<Info><Tonalyx><LastVersion>1.0.4</LastVersion><URL><TELL><TW>https://t</TW>"
         "</TELL></URL></Tonalyx></Info>",
         [](const TAppInform& i) {
             EXPECT_EQ(i.LastVersion, QStringLiteral("1.0.4"));
             EXPECT_EQ(i.URLTell.TW, QStringLiteral("https://t"));
             EXPECT_EQ(i.LastNews.Text, QString());
             EXPECT_EQ(i.LastNews.NewsDate, QDate(2015, 1, 1));
         }},
        {"/no-product/", "<Info><LastNews><Date>2016-03-01</Date><Text>t</Text></LastNews></Info>",
         [](const TAppInform& i) {
             EXPECT_EQ(i.LastVersion, QString());
             EXPECT_EQ(i.URLFollow, TAppInfoURL{});
             EXPECT_EQ(i.URLTell, TAppInfoURL{});
             EXPECT_EQ(i.LastNews.Text, QStringLiteral("t"));
         }},
        // Comments, look-alike names and nested elements come before the element looked for.
        {"/names/",
         "<x><!-- c --><TonalyxX><LastVersion>no</LastVersion></TonalyxX><Tonalyx>"
         "text<Other><LastVersion>no</LastVersion></Other><LastVersion>1.2</LastVersion>"
         "<LastVersion>no</LastVersion></Tonalyx></x>",
         [](const TAppInform& i) { EXPECT_EQ(i.LastVersion, QStringLiteral("1.2")); }},
        {"/latin1/",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Info><LastNews><Text>caf\xe9"
         "</Text></LastNews></Info>",
         [](const TAppInform& i) { EXPECT_EQ(i.LastNews.Text, QStringLiteral(u"caf\u00e9")); }},
        {"/xinclude/", xinclude,
         [](const TAppInform& i) {
             EXPECT_EQ(i.LastVersion, QString()) << "an included file was read";
         }},
    };
    for (const TAcceptCase& c : cases)
        Server.Serve(c.Path, 200, c.Body);
    Server.ServeInPieces("/pieces/", FeedOfSize(2000), 300);
    Server.Start();
    const TFeedResult pieces = Read("/pieces/");
    EXPECT_TRUE(pieces.Ok() && *pieces == full) << pieces.Reason();
    for (const TAcceptCase& c : cases) {
        SCOPED_TRACE(c.Path);
        const TFeedResult r = Read(c.Path);
        ASSERT_TRUE(r.Ok()) << r.Reason();
        EXPECT_TRUE(r->Ready);
        c.Check(*r);
    }
}

TEST(NewsDate, FixedPositionsAndTheDefault) {
    const QDate fallback(2015, 1, 1);
    const std::pair<const char*, QDate> cases[] = {
        {"2016-03-01", QDate(2016, 3, 1)},
        {"2016/03/01", QDate(2016, 3, 1)},
        {"2016-03-01T10:00", QDate(2016, 3, 1)},
        {"2016-3-1", fallback},
        {"2016-02-30", fallback},
        {"2016-13-01", fallback},
        {"0000-01-01", fallback},
        {"", fallback},
        {"abcd-01-01", fallback},
        {"+016-03-01", fallback},
        {"2016- 3-01", fallback},
        {"2016-03-1", QDate(2016, 3, 1)},
    };
    for (const auto& [text, date] : cases)
        EXPECT_EQ(ParseNewsDate(QString::fromLatin1(text)), date) << text;
}

TEST(NewsDate, DayValuesOfTheWindowState) {
    EXPECT_EQ(DayValueFromDate(QDate(2015, 1, 1)), 42005.0);
    EXPECT_EQ(DateFromDayValue(42005.0), QDate(2015, 1, 1));
    EXPECT_EQ(DateFromDayValue(42005.75), QDate(2015, 1, 1));
    EXPECT_EQ(DateFromDayValue(1.0), QDate(1899, 12, 31));
    EXPECT_FALSE(DateFromDayValue(0.0).isValid());
    EXPECT_FALSE(DateFromDayValue(std::nan("")).isValid());
    EXPECT_EQ(DayValueFromDate(QDate()), 0.0);
}

TEST(NewsDisplay, ShownOnceByEqualityOfDates) {
    const QDate shown(2016, 3, 1);
    auto inform = [](bool ready, const char* text, const char* link, QDate date) {
        TAppInform i;
        i.Ready = ready;
        i.LastNews = {QString::fromLatin1(text), QString::fromLatin1(link), date};
        return i;
    };
    const std::pair<TAppInform, TNewsAction> cases[] = {
        {inform(false, "news", "https://x", QDate(2017, 1, 1)), TNewsAction::Wait},
        {inform(true, "", "https://x", QDate(2017, 1, 1)), TNewsAction::Skip},
        {inform(true, "news", "https://x", shown), TNewsAction::Skip},
        {inform(true, "news", "https://x", QDate(1899, 12, 30)), TNewsAction::Skip},
        {inform(true, "news", "https://x", QDate()), TNewsAction::Skip},
        {inform(true, "news", "https://x", QDate(2017, 1, 1)), TNewsAction::ShowWithLink},
        {inform(true, "news", "", QDate(2017, 1, 1)), TNewsAction::ShowText},
        {inform(true, "news", "", QDate(2015, 6, 1)), TNewsAction::ShowText}, // older than shown
        {inform(true, "news", "", QDate(1899, 12, 31)), TNewsAction::ShowText},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k)
        EXPECT_EQ(NewsAction(cases[k].first, shown), cases[k].second) << "case " << k;
    // An unreadable date equals the default of a state that never showed anything.
    EXPECT_EQ(NewsAction(inform(true, "n", "", ParseNewsDate("x")), DefaultNewsDate()),
              TNewsAction::Skip);
}

TEST(NewsDisplay, AnyOtherAnnouncedVersionIsOffered) {
    const QString running = QStringLiteral("1.0.3");
    EXPECT_FALSE(OtherVersionAnnounced(QString(), running));
    EXPECT_FALSE(OtherVersionAnnounced(QStringLiteral("1.0.3"), running));
    EXPECT_TRUE(OtherVersionAnnounced(QStringLiteral("1.0.4"), running));
    EXPECT_TRUE(OtherVersionAnnounced(QStringLiteral("1.0.2"), running));
}

// A feed whose answer the test switches between reads.
class NewsFeedTest : public testing::Test {
  protected:
    void SetUp() override {
        Server.Http().Get("/Tonalyx-Info/", [this](const auto&, auto& res) {
            std::lock_guard lock(Mutex);
            res.status = Status;
            res.set_content(Body, "text/xml");
        });
        Server.Start();
    }
    void Answer(int status, std::string body) {
        std::lock_guard lock(Mutex);
        Status = status;
        Body = std::move(body);
    }
    TFaultServer Server;
    std::mutex Mutex;
    int Status = 200;
    std::string Body = FullFeed;
};

TEST_F(NewsFeedTest, OneReadAtATimeEachFinishedOnceOnTheMainThread) {
    TNewsFeed feed(FeedUrl(QString::fromStdString(Server.Url("/"))), 5000ms);
    QSignalSpy finished(&feed, &TNewsFeed::Finished);
    std::vector<QThread*> threads;
    QObject::connect(&feed, &TNewsFeed::Finished,
                     [&] { threads.push_back(QThread::currentThread()); });

    ASSERT_TRUE(feed.Start());
    EXPECT_FALSE(feed.Start()) << "a second reader started while one runs";
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(feed.IsReading());
    const auto first = finished.takeFirst();
    EXPECT_TRUE(first.at(1).toBool());
    const TAppInform good = first.at(0).value<TAppInform>();
    EXPECT_TRUE(good.Ready);
    EXPECT_EQ(good.LastVersion, QStringLiteral("1.0.4"));

    // A failed read keeps the values with Ready cleared.
    Answer(404, "<html>Not Found</html>");
    ASSERT_TRUE(feed.Start());
    EXPECT_FALSE(feed.Inform().Ready);
    ASSERT_TRUE(finished.wait(10000));
    const auto second = finished.takeFirst();
    EXPECT_FALSE(second.at(1).toBool());
    TAppInform kept = second.at(0).value<TAppInform>();
    EXPECT_FALSE(kept.Ready);
    kept.Ready = true;
    EXPECT_EQ(kept, good);

    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 0) << "a read finished twice";
    EXPECT_EQ(threads, std::vector<QThread*>(2, QCoreApplication::instance()->thread()));
}

TEST(NewsFeed, AReaderThatThrowsStillEndsOnce) {
    TNewsFeed feed([](std::stop_token) -> TFeedResult { throw std::runtime_error("broken"); });
    QSignalSpy finished(&feed, &TNewsFeed::Finished);
    ASSERT_TRUE(feed.Start());
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.takeFirst().at(1).toBool());
    EXPECT_FALSE(feed.IsReading());
    EXPECT_TRUE(feed.Start()) << "the reader stayed busy";
    ASSERT_TRUE(finished.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 1) << "a read finished twice";
}

// Closing the window with a read under way: the feed goes at once, the server still silent.
TEST(NewsFeed, DestroyedWhileReadingItEndsAtOnceAndReportsNothing) {
    TRawPort silent(true);
    auto feed = std::make_unique<TNewsFeed>(FeedUrl(QString::fromStdString(silent.Url("/"))),
                                            std::chrono::milliseconds(60000));
    bool finished = false;
    QObject::connect(feed.get(), &TNewsFeed::Finished, [&] { finished = true; });
    ASSERT_TRUE(feed->Start());
    ASSERT_TRUE(silent.AcceptOne(10s)) << "the read never came";
    const auto before = std::chrono::steady_clock::now();
    feed.reset(); // cancels the transfer and joins its thread
    EXPECT_LT(std::chrono::steady_clock::now() - before, 10s) << "the close waited for the network";
    QCoreApplication::processEvents();
    EXPECT_FALSE(finished);
}

} // namespace
