// The server's address and the web links, through an opener that only records.
#include "links.h"
#include "server_address.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <cstdlib>

using namespace tonalyx;

namespace {

// The program's link table is made once, from the environment as the first OpenLink finds it.
const char* const TestRoot = "http://127.0.0.1:8735/links";

class TLinkEnvironment : public testing::Environment {
  public:
    void SetUp() override { setenv("TONALYX_SERVER_URL", TestRoot, 1); }
};
[[maybe_unused]] testing::Environment* const LinkEnvironment =
    testing::AddGlobalTestEnvironment(new TLinkEnvironment);

TEST(ServerAddress, NormalisedToEndInASlash) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://a.example", "http://a.example/"},
        {"http://a.example/", "http://a.example/"},
        {" http://a.example/sub \n", "http://a.example/sub/"},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(NormalisedServerRoot(QString::fromLatin1(in)), QString::fromLatin1(out)) << in;
}

TEST(ServerAddress, EnvironmentOverridesTheBuild) {
    const QString build = NormalisedServerRoot(QStringLiteral(TONALYX_BUILD_SERVER_URL));
    ASSERT_TRUE(build.endsWith(u'/'));
    const std::pair<const char*, QString> cases[] = {
        {"http://127.0.0.1:9999", QStringLiteral("http://127.0.0.1:9999/")},
        {"   ", build},
        {"", build},
    };
    for (const auto& [env, expected] : cases) {
        setenv("TONALYX_SERVER_URL", env, 1);
        EXPECT_EQ(ServerRootUrl(), expected) << '"' << env << '"';
    }
    unsetenv("TONALYX_SERVER_URL");
    EXPECT_EQ(ServerRootUrl(), build);
    setenv("TONALYX_SERVER_URL", TestRoot, 1);
    EXPECT_EQ(SupportEmailAddress(), QStringLiteral(TONALYX_BUILD_SUPPORT_EMAIL));
}

// Records what OpenLink hands over and puts the desktop's opener back afterwards.
class OpenLinkTest : public testing::Test {
  protected:
    void SetUp() override {
        SetLinkOpener([this](const QString& target) { Opened << target; });
    }
    void TearDown() override { SetLinkOpener({}); }
    QStringList Opened;
};

TEST_F(OpenLinkTest, TheTableOfEightKinds) {
    const QString root = QString::fromLatin1(TestRoot) + u'/';
    const QString mail = QStringLiteral("mailto:") + SupportEmailAddress();
    const std::tuple<int, const char*, QString> cases[] = {
        {0, "", root + "Tonalyx/"},
        {0, "ignored", root + "Tonalyx/"},
        {1, "https://x.example/", QString()},
        {2, "", root + "Lumivar/"},
        {3, "https://x.example/", QString()},
        {4, "", root},
        {5, "1.0.3", mail + "?subject=Tonalyx_1.0.3"},
        {5, "", mail + "?subject=Tonalyx_"},
        {6, "", root + "Download/"},
        {7, "https://x.example/a", QStringLiteral("https://x.example/a")},
        {7, "", QString()},
        {8, "https://x.example/", QString()},
        {-1, "https://x.example/", QString()},
        {255, "https://x.example/", QString()},
    };
    for (const auto& [kind, argument, expected] : cases) {
        Opened.clear();
        OpenLink(kind, QString::fromLatin1(argument));
        EXPECT_EQ(Opened, expected.isEmpty() ? QStringList() : QStringList{expected})
            << "kind " << kind;
    }
}

TEST_F(OpenLinkTest, TheTextArrivesExactlyAsBuilt) {
    // Escapes a URL round trip would decode, an unescaped query and non-ASCII letters.
    const QString share = QStringLiteral(
        u"https://www.example.com/intent/tweet?&url=http://127.0.0.1:8735/0001/0001t%41%2F.png"
        u"&text=Gr\u00fc\u00dfe%20[x]");
    OpenLink(LinkLiteral, share);
    ASSERT_EQ(Opened.size(), 1);
    EXPECT_EQ(Opened.front(), share);
}

TEST_F(OpenLinkTest, KindSevenOpensOnlyWebAndMailAddresses) {
    for (const char* refused :
         {"file:///etc/passwd", "FILE:///home/user/.bashrc", "javascript:alert(1)",
          "smb://host/share/run.exe", "ftp://127.0.0.1/x", "data:text/html,<b>x</b>",
          "relative/path.html", "/usr/bin/xterm", "//host/path", "~/secret", " https://x.example/",
          "https://x.example/a b", "https://x.example/\n", "http:evil", "http://", "https://",
          "mailto:", "xdg-open:x", "tonalyx.desktop"}) {
        Opened.clear();
        OpenLink(LinkLiteral, QString::fromLatin1(refused));
        EXPECT_TRUE(Opened.isEmpty()) << refused;
    }
    for (const char* taken :
         {"http://x.example", "HTTPS://X.EXAMPLE/a?b=c&d", "mailto:a@b.example"}) {
        Opened.clear();
        OpenLink(LinkLiteral, QString::fromLatin1(taken));
        EXPECT_EQ(Opened, QStringList{QString::fromLatin1(taken)});
    }
}

TEST(LinkTable, ServerAddressThatIsNoWebAddressOpensNothing) {
    const TLinkTable table = MakeLinkTable(QStringLiteral("file:///tmp/"), QString());
    for (int kind : {0, 2, 4, 6})
        EXPECT_EQ(LinkTarget(table, kind, {}), QString()) << kind;
}

} // namespace
