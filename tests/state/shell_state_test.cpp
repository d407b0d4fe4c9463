// The remembered window state (the 48-byte record and its corrections) and the recent
// images list, against settings in a folder of the test's own.
#include "recent_images.h"
#include "ustate.h"

#include "qt_environment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

using namespace tonalyx;

TONALYX_QT_TEST_ENVIRONMENT(QApplication);

namespace {

constexpr QSize Screen{1920, 1081};

// Settings in a file of the test's own, as the INI files on Linux are.
class Settings : public testing::Test {
  protected:
    QString File() const { return QDir(Dir.path()).filePath("settings.conf"); }
    std::unique_ptr<QSettings> Open() const {
        return std::make_unique<QSettings>(File(), QSettings::IniFormat);
    }
    // A record with every field set, as a previous run would have stored it.
    static TState Stored() {
        TState s;
        s.SetDefaults(Screen, 1500);
        s.SetWState(TState::TWindowState::Normal);
        s.SetWSize({1200, 800});
        s.SetHistPanelWidth(300);
        return s;
    }
    void Store(const QVariant& value) const { Open()->setValue("State", value); }
    TState Loaded() const {
        TState s;
        s.Load(*Open(), Screen, 1500);
        return s;
    }

    QTemporaryDir Dir;
};

} // namespace

TEST(StateRounding, HalvesAndThirdsGoToTheEvenNeighbour) {
    EXPECT_EQ(HalfOf(1081), 540);
    EXPECT_EQ(HalfOf(1083), 542);
    EXPECT_EQ(HalfOf(1080), 540);
    EXPECT_EQ(ThirdOf(1000), 333);
    EXPECT_EQ(ThirdOf(1001), 334);
}

TEST_F(Settings, UnusableStoredValuesGiveTheDefaults) {
    const QVariant values[] = {QByteArray(47, '\1'), QByteArray(49, '\1'), QString(48, 'x'), 42,
                               QVariant()};
    for (const QVariant& v : values) {
        Store(v);
        TState loading;
        const TOutcome<void> read = loading.Load(*Open(), Screen, 1500);
        EXPECT_FALSE(read.Ok());
        EXPECT_EQ(read.Reason(), v.isValid() ? "The stored window state cannot be read"
                                             : "No window state is stored");
        const TState s = Loaded();
        EXPECT_EQ(s.WState(), 2);
        EXPECT_EQ(s.WSize(), QSize(960, 540));
        EXPECT_EQ(s.HistPanelWidth(), 500); // a third of the window's width
        EXPECT_TRUE(s.HistPanelVisible(0) && s.HistPanelVisible(1) && s.HistPanelVisible(2));
        EXPECT_TRUE(s.SmoothingIsOn() && s.SmartVertScale());
        EXPECT_FALSE(s.RibbonIsMinimized());
        EXPECT_EQ(s.RibbonTheme(), 0);
        EXPECT_EQ(s.LastShowNewsDate(), TState::DefaultNewsDate);
        for (int i = 0; i < TState::QATItemCount; ++i)
            EXPECT_TRUE(s.QATItemVisible(i));
        EXPECT_EQ(s.Version(), 0);
    }
}

TEST_F(Settings, StoredValuesAreCorrectedAsTheyLoad) {
    const struct {
        const char* What;
        std::function<void(TState&)> Stored;
        std::function<void(const TState&)> Check;
    } rows[] = {
        {"minimised starts maximised", [](TState& s) { s.Data[10] = 1; },
         [](const TState& s) { EXPECT_EQ(s.WState(), 2); }},
        {"unknown window state", [](TState& s) { s.Data[10] = 200; },
         [](const TState& s) { EXPECT_EQ(s.WState(), 2); }},
        {"height 40",
         [](TState& s) {
             s.SetWSize({1200, 40});
         },
         [](const TState& s) { EXPECT_EQ(s.WSize(), QSize(1200, 540)); }},
        {"taller than the screen",
         [](TState& s) {
             s.SetWSize({1200, 1082});
         },
         [](const TState& s) { EXPECT_EQ(s.WSize(), QSize(1200, 540)); }},
        {"wider than the screen, negative height",
         [](TState& s) {
             s.SetWSize({5000, -7});
         },
         [](const TState& s) { EXPECT_EQ(s.WSize(), QSize(960, 540)); }},
        {"panel wider than a normal window",
         [](TState& s) {
             s.SetWSize({900, 700});
             s.SetHistPanelWidth(1000);
         },
         [](const TState& s) { EXPECT_EQ(s.HistPanelWidth(), 300); }},
        {"panel wider than the window but within a maximised one's screen",
         [](TState& s) {
             s.SetWState(TState::TWindowState::Maximized);
             s.SetWSize({900, 700});
             s.SetHistPanelWidth(1000);
         },
         [](const TState& s) { EXPECT_EQ(s.HistPanelWidth(), 1000); }},
        {"panel narrower than 50", [](TState& s) { s.SetHistPanelWidth(49); },
         [](const TState& s) { EXPECT_EQ(s.HistPanelWidth(), 400); }},
        {"theme 7", [](TState& s) { s.SetRibbonTheme(7); },
         [](const TState& s) { EXPECT_EQ(s.RibbonTheme(), 0); }},
        {"theme 2 stays", [](TState& s) { s.SetRibbonTheme(2); },
         [](const TState& s) { EXPECT_EQ(s.RibbonTheme(), 2); }},
        {"news date 0", [](TState& s) { s.SetLastShowNewsDate(0); },
         [](const TState& s) { EXPECT_EQ(s.LastShowNewsDate(), TState::DefaultNewsDate); }},
        {"news date not a number",
         [](TState& s) { s.SetLastShowNewsDate(std::numeric_limits<double>::quiet_NaN()); },
         [](const TState& s) { EXPECT_EQ(s.LastShowNewsDate(), TState::DefaultNewsDate); }},
        {"news date kept", [](TState& s) { s.SetLastShowNewsDate(45000.25); },
         [](const TState& s) { EXPECT_EQ(s.LastShowNewsDate(), 45000.25); }},
        {"flag bytes other than 0 and 1 read as true",
         [](TState& s) {
             s.Data[24] = 2;
             s.Data[27] = 255;
             s.Data[25] = 0;
         },
         [](const TState& s) {
             EXPECT_TRUE(s.HistPanelVisible(0));
             EXPECT_FALSE(s.HistPanelVisible(1));
             EXPECT_TRUE(s.SmoothingIsOn());
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        TState s = Stored();
        row.Stored(s);
        Store(s.Bytes());
        row.Check(Loaded());
    }
}

TEST_F(Settings, TheRecordRoundTripsAtItsOffsetsAndCarriesWhatItDoesNotKnow) {
    TState s = Stored();
    s.Data[11] = 0xAB;
    for (int i = 28; i < 40; ++i)
        s.Data[std::size_t(i)] = std::uint8_t(i * 7);
    s.SetWSize({0x01020304 & 0x7ff, 0x0506 & 0x3ff}); // within the screen
    Store(s.Bytes());
    TState loaded;
    EXPECT_TRUE(loaded.Load(*Open(), Screen, 1500).Ok());
    EXPECT_TRUE(loaded.Save(*Open()).Ok());
    const QByteArray bytes = Open()->value("State").toByteArray();
    ASSERT_EQ(bytes.size(), 48);
    EXPECT_EQ(std::uint8_t(bytes[9]), 1); // Version
    EXPECT_EQ(std::uint8_t(bytes[11]), 0xAB);
    for (int i = 28; i < 40; ++i)
        EXPECT_EQ(std::uint8_t(bytes[i]), std::uint8_t(i * 7)) << i;
    // Little-endian at the stated offsets: height at 12, width at 16.
    EXPECT_EQ(std::uint8_t(bytes[12]) | std::uint8_t(bytes[13]) << 8, 0x0506 & 0x3ff);
    EXPECT_EQ(std::uint8_t(bytes[16]) | std::uint8_t(bytes[17]) << 8, 0x01020304 & 0x7ff);
    EXPECT_EQ(std::uint8_t(bytes[0]), 0); // 42005.0 as a little-endian double starts 00
    EXPECT_EQ(std::uint8_t(bytes[7]), 0x40);
}

TEST_F(Settings, CorruptFilesStartWithTheDefaults) {
    const QByteArray files[] = {
        QByteArray("\x00\xff\xfe garbage \x01\x02[[[", 18),
        QByteArray("[General]\nState=@ByteArray(short)\n"),
        QByteArray("[General]\nState=\"a string of forty-eight characters.............\"\n"),
        QByteArray("[General]\nState=@ByteArray(") + QByteArray(20, '\\') + ")\n",
        QByteArray("[Recent%20Images]\nCount=2147483647\nItem0=/a/b.jpg\n"),
        QByteArray("[Recent%20Images]\nCount=-3\nItem0=/a/b.jpg\n"),
        QByteArray("[Recent%20Images]\nCount=abc\nItem0=/a/b.jpg\n"),
        QByteArray("[Recent%20Images]\nCount=3\nItem2=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"),
    };
    for (const QByteArray& content : files) {
        QFile f(File());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        EXPECT_EQ(Loaded().WSize(), QSize(960, 540));
        TRecentImages recent;
        const TOutcome<void> read = recent.Load(*Open());
        EXPECT_LE(recent.Captions().size(), 1);
        // A list stored but not readable whole is a failure; none stored is none.
        EXPECT_EQ(read.Ok(), !content.contains("Recent")) << content.toStdString();
    }
}

// ---------------------------------------------------------------- recent images

TEST(RecentImages, CaptionsAreUniqueNewestFirstAndThePathsStayBehindThem) {
    TRecentImages r;
    r.Remember("/x/a.jpg");
    r.Remember("/y/b.bmp");
    EXPECT_EQ(r.Captions(), QStringList({"b", "a"}));
    r.Remember("/y/a.jpg"); // one caption a, at the top
    r.Remember("/x/a.bmp");
    r.Remember("/x/A.jpg"); // captions compare with case
    EXPECT_EQ(r.Captions(), QStringList({"A", "a", "b"}));
    const auto exists = [](const QString& p) { return p != "/x/a.jpg"; };
    EXPECT_EQ(r.PathForClick("a", [](const QString&) { return true; }), "/x/a.jpg");
    EXPECT_EQ(r.PathForClick("a", exists), "/y/a.jpg"); // the vanished one is passed over
    EXPECT_EQ(r.PathForClick("a", [](const QString&) { return false; }), QString());
    EXPECT_EQ(r.FullPathOfRecent("a"), "/x/a.bmp");
    const QString longPath = "/" + QString(300, 'd') + "/photo.jpg";
    r.Remember(longPath);
    EXPECT_EQ(r.FullPathOfRecent("photo"), longPath); // kept whole
}

TEST_F(Settings, RecentImagesRoundTripAtMostNineNewestFirst) {
    TRecentImages r;
    for (int i = 0; i < 12; ++i)
        r.Remember(QStringLiteral("/pics/%1.jpg").arg(i));
    r.Save(*Open());
    EXPECT_EQ(Open()->value("Recent Images/Count").toInt(), 9);
    EXPECT_EQ(Open()->value("Recent Images/Item0").toString(), "/pics/11.jpg");
    TRecentImages again;
    again.Load(*Open());
    EXPECT_EQ(again.Captions(), QStringList({"11", "10", "9", "8", "7", "6", "5", "4", "3"}));
    EXPECT_EQ(again.FullPaths().first(), "/pics/11.jpg");
    // An empty list removes the group.
    TRecentImages().Save(*Open());
    EXPECT_FALSE(Open()->childGroups().contains("Recent Images"));
}

TEST_F(Settings, AnUnreadableItemEndsTheReadingAndKeepsWhatWasRead) {
    {
        auto s = Open();
        s->setValue("Recent Images/Count", 5);
        s->setValue("Recent Images/Item4", "/p/e.jpg");
        s->setValue("Recent Images/Item3", "/p/d.jpg");
        s->setValue("Recent Images/Item2", 17); // not a text
        s->setValue("Recent Images/Item0", "/p/a.jpg");
    }
    TRecentImages r;
    const TOutcome<void> read = r.Load(*Open());
    EXPECT_EQ(r.Captions(), QStringList({"d", "e"}));
    EXPECT_FALSE(read.Ok());
    EXPECT_EQ(read.Detail(), "Item2 is not a path");
    EXPECT_TRUE(TRecentImages().Load(QSettings(File() + ".none", QSettings::IniFormat)).Ok())
        << "no stored list is no failure";
}

TEST_F(Settings, WhatCannotBeStoredIsAFailureNotACrash) {
    // A settings file below a plain file can never be written.
    QFile blocker(QDir(Dir.path()).filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSettings settings(blocker.fileName() + "/settings.conf", QSettings::IniFormat);
    TState s = Stored();
    const TOutcome<void> state = s.Save(settings);
    EXPECT_FALSE(state.Ok());
    EXPECT_EQ(state.Reason(), "The window state could not be stored");
    TRecentImages r;
    r.Remember("/pics/a.jpg");
    const TOutcome<void> recent = r.Save(settings);
    EXPECT_FALSE(recent.Ok());
    EXPECT_EQ(recent.Reason(), "The list of recent images could not be stored");
}
