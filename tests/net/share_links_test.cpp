#include "picture_name.h"
#include "request_queue.h"
#include "share_links.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

using namespace tonalyx;
using namespace std::chrono_literals;

TEST(PictureNames, TenThousandWellFormedAndDistinct) {
    std::set<QString> seen;
    for (int i = 0; i < 10000; ++i) {
        const QString name = MakeUploadFileName();
        ASSERT_TRUE(IsWellFormedPictureName(name.toStdString())) << name.toStdString();
        ASSERT_TRUE(seen.insert(name).second) << name.toStdString();
    }
    EXPECT_EQ(RandomName(0, 7), QString());
}

TEST(PictureNames, SameMillisecondOnTwoThreadsDiffers) {
    QString a, b;
    std::thread t([&] { a = MakeUploadFileName(); });
    b = MakeUploadFileName();
    t.join();
    EXPECT_NE(a, b);
}

TEST(ShareAddresses, TemplatesFilledAsWritten) {
    const QString root = QStringLiteral("http://127.0.0.1:9/");
    const QString name = QStringLiteral("0001tabcdefghijklmnopqrst.png");
    const QString url = MakeImageURL(name, root);
    EXPECT_EQ(url, root + "0001/" + name);
    const QString odd = QStringLiteral("http://x.test/a?b=1&c=2");
    struct Row {
        int group, network;
        QString address, expected;
    } rows[] = {
        {0, 0, url, "<img src=\"" + url + "\"/>"},
        {0, 1, odd, "https://www.facebook.com/sharer/sharer.php?u=" + odd},
        {0, 2, odd, "https://plus.google.com/share?url=" + odd},
        {0, 3, odd, "https://twitter.com/intent/tweet?&url=" + odd},
        {1, 0, odd, QString()},
        {2, 0, odd, QString()},
        {0, 4, odd, QString()},
    };
    for (const Row& r : rows)
        EXPECT_EQ(FillURLTemplate(r.group, r.network, r.address), r.expected)
            << r.group << r.network;
    EXPECT_EQ(URLTemplates()[0].size(), 18);
}

TEST(ShareAddresses, FeedAddressesOrTheMakersPages) {
    const TAppInfoURL feed{QStringLiteral("http://f.test/?a&b"), QString(), QString()};
    EXPECT_EQ(GetSocNetURL(1, 1, feed), feed.FB);
    EXPECT_EQ(GetSocNetURL(1, 2, feed), URLTemplates()[6]);
    EXPECT_EQ(GetSocNetURL(1, 3, feed), URLTemplates()[7]);
    EXPECT_EQ(GetSocNetURL(0, 1, feed), URLTemplates()[1]);
    for (auto [control, net] :
         {std::pair{"acSocNetFB", 1}, {"tbTellGP", 2}, {"tbFollowTW", 3}, {"acSocNetHTML", 0}})
        EXPECT_EQ(SocNetIndex(QString::fromLatin1(control)), net) << control;
}

TEST(RequestQueue, BlinksWithRoundedSecondsAndStopsWhenEmpty) {
    // Half a second rounds to the even neighbour: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2.
    for (auto [ms, led] : {std::pair{499, TLEDState::lsOff},
                           {500, TLEDState::lsOff},
                           {501, TLEDState::lsGreen},
                           {1499, TLEDState::lsGreen},
                           {1500, TLEDState::lsOff},
                           {2500, TLEDState::lsOff},
                           {3500, TLEDState::lsOff},
                           {3499, TLEDState::lsGreen}})
        EXPECT_EQ(BlinkState(std::chrono::milliseconds(ms)), led) << ms;

    std::chrono::milliseconds now{1000};
    TRequestQueue queue([&] { return now; }, 40s);
    TLEDState led = TLEDState::lsGreen;
    EXPECT_FALSE(queue.IndicationPass(led));
    const TRequestId id = queue.Add(TRequestKind::Upload);
    now = 2000ms;
    EXPECT_TRUE(queue.IndicationPass(led));
    EXPECT_EQ(led, TLEDState::lsOff);
    led = TLEDState::lsRed; // red stops the blinking, not the timer
    EXPECT_TRUE(queue.IndicationPass(led));
    EXPECT_EQ(led, TLEDState::lsRed);
    EXPECT_TRUE(queue.Finish(id));
    EXPECT_FALSE(queue.Finish(id));
    led = TLEDState::lsOff;
    EXPECT_FALSE(queue.IndicationPass(led));
    EXPECT_EQ(led, TLEDState::lsGreen);
}

TEST(RequestQueue, AbandonsAtTheDeadlineOnce) {
    std::chrono::milliseconds now{0};
    TRequestQueue queue([&] { return now; }, 40s);
    EXPECT_TRUE(queue.ExpiryPass().QueueEmpty);
    const TRequestId upload = queue.Add(TRequestKind::Upload);
    now = 10s;
    const TRequestId check = queue.Add(TRequestKind::Check);
    now = 39999ms;
    EXPECT_TRUE(queue.ExpiryPass().Expired.empty());
    now = 40s;
    TExpiryPass pass = queue.ExpiryPass();
    ASSERT_EQ(pass.Expired.size(), 1u);
    EXPECT_EQ(pass.Expired[0].Id, upload);
    EXPECT_FALSE(queue.Finish(upload)); // its late result is dropped
    now = 60s;
    pass = queue.ExpiryPass();
    ASSERT_EQ(pass.Expired.size(), 1u);
    EXPECT_EQ(pass.Expired[0].Kind, TRequestKind::Check);
    EXPECT_NE(check, upload);
    EXPECT_TRUE(queue.ExpiryPass().QueueEmpty);
}

TEST(FailureReporter, OneBoxAtATimeEachFailureOnce) {
    int shown = 0, open = 0, mostOpen = 0;
    TFailureReporter* self = nullptr;
    TFailureReporter reporter([&] {
        ++shown;
        mostOpen = std::max(mostOpen, ++open);
        if (shown == 1) { // two more arrive while the first box is open
            self->Report();
            self->Report();
        }
        --open;
    });
    self = &reporter;
    reporter.Report();
    EXPECT_EQ(shown, 3);
    EXPECT_EQ(mostOpen, 1);
    EXPECT_EQ(reporter.Pending(), 0);
}
