// The ribbon's looks: the three themes and the generated and desktop icons. The
// application object is ribbon_test.cpp's.
#include "ribbon_window.h"

#include "ribbon_theme.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace ribbon;
using namespace ribbon::test;

// ---------------------------------------------------------------- themes

TEST(RibbonThemes, NamesAndValuesAreFixed) {
    EXPECT_EQ(static_cast<int>(rtLuna), 0);
    EXPECT_EQ(static_cast<int>(rtObsidan), 1);
    EXPECT_EQ(static_cast<int>(rtSilver), 2);
    EXPECT_EQ(RibbonThemeName(rtLuna), "Luna");
    EXPECT_EQ(RibbonThemeName(rtObsidan), "Obsidian");
    EXPECT_EQ(RibbonThemeName(rtSilver), "Silver");
    EXPECT_TRUE(RibbonThemeName(static_cast<TRibbonTheme>(3)).isEmpty());
    EXPECT_FALSE(IsRibbonTheme(-1));
    EXPECT_FALSE(IsRibbonTheme(3));
    // The workspace colours are the image panel's colours of the three themes.
    EXPECT_EQ(RibbonThemeColours(rtLuna).Workspace, QColor(215, 228, 242));
    EXPECT_EQ(RibbonThemeColours(rtObsidan).Workspace, QColor(214, 222, 225));
    EXPECT_EQ(RibbonThemeColours(rtSilver).Workspace, QColor(235, 241, 241));
}

TEST(RibbonThemes, SetThemeRoundTripsAndIgnoresValuesOutOfRange) {
    TRibbonBar bar;
    QSignalSpy spy(&bar, &TRibbonBar::themeChanged);
    EXPECT_EQ(bar.Theme(), rtLuna);
    for (const TRibbonTheme t : {rtObsidan, rtSilver, rtLuna, rtSilver}) {
        bar.SetTheme(t);
        EXPECT_EQ(bar.Theme(), t);
    }
    EXPECT_EQ(spy.count(), 4);
    bar.SetTheme(static_cast<TRibbonTheme>(3));
    bar.SetTheme(static_cast<TRibbonTheme>(7));
    bar.SetTheme(static_cast<TRibbonTheme>(255));
    EXPECT_EQ(bar.Theme(), rtSilver);
    EXPECT_EQ(spy.count(), 4);
    EXPECT_EQ(&bar.Colours(), &RibbonThemeColours(rtSilver));
}

TEST(RibbonThemes, ChangingThemeKeepsTheSelectedTab) {
    TRibbonWindow w;
    w.Window.show();
    for (const int tab : {1, 0}) {
        w.Bar->SetCurrentTab(tab);
        for (const TRibbonTheme t : {rtObsidan, rtSilver, rtLuna}) {
            w.Bar->SetTheme(t);
            EXPECT_EQ(w.Bar->CurrentTab(), tab);
            EXPECT_TRUE(w.Bar->Page(tab)->isVisible());
        }
    }
}

TEST(RibbonThemes, TheTabRowAndThePageAreRepaintedInTheThemesColours) {
    TRibbonWindow w;
    w.Window.show();
    const QPoint tabRow = EmptyTabRowPoint(*w.Bar);
    TRibbonPage* page = w.Bar->Page(0);
    const QPoint pageSpot(page->width() - 20, page->height() / 2);

    QList<QColor> rows;
    QList<QColor> pages;
    for (const TRibbonTheme t : {rtLuna, rtObsidan, rtSilver}) {
        w.Bar->SetTheme(t);
        rows.append(PixelAt(*w.Bar, tabRow));
        pages.append(PixelAt(*page, pageSpot));
        EXPECT_EQ(rows.last(), RibbonThemeColours(t).TabRow) << RibbonThemeName(t).toStdString();
    }
    EXPECT_NE(rows[0], rows[1]);
    EXPECT_NE(rows[1], rows[2]);
    EXPECT_NE(rows[0], rows[2]);
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_NE(pages[1], pages[2]);
    // Luna is the blue one, Obsidian the dark one.
    EXPECT_GT(rows[0].blue(), rows[0].red());
    EXPECT_LT(rows[1].lightness(), 100);
    EXPECT_GT(rows[2].lightness(), 200);

    // Back to a theme: back to its colours.
    w.Bar->SetTheme(rtLuna);
    EXPECT_EQ(PixelAt(*w.Bar, tabRow), rows[0]);
    EXPECT_EQ(PixelAt(*page, pageSpot), pages[0]);
}

// ---------------------------------------------------------------- icons

TEST(RibbonIcons, AreNeverNullAndNeverBlank) {
    for (const auto& [name, glyph] : {std::pair{"no-such-icon-anywhere", "O"}, std::pair{"", ""},
                                      std::pair{"no-such-icon-either", ""}, std::pair{"", "g+"}}) {
        const QIcon icon = RibbonIcon(QString::fromLatin1(name), QString::fromLatin1(glyph));
        ASSERT_FALSE(icon.isNull()) << name << " / " << glyph;
        for (const int side : {16, 32}) {
            const QImage image = icon.pixmap(side, side).toImage();
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 255)
                << name << " / " << glyph << " at " << side;
        }
    }
}

TEST(RibbonIcons, GeneratedIconsUseTheGivenColour) {
    const QColor green(0x20, 0xa0, 0x40);
    const QImage image = RibbonIcon(QString(), QString(), green).pixmap(32, 32).toImage();
    // Without a glyph the square's middle is the colour, a little shaded.
    const QColor middle = image.pixelColor(image.width() / 2, image.height() / 2);
    EXPECT_GT(middle.green(), middle.red() + 60);
    EXPECT_GT(middle.green(), middle.blue() + 60);
}

TEST(RibbonIcons, ADesktopThemeIconIsPreferred) {
    // A small icon theme holding one icon, a plain magenta square.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString themeDir = dir.filePath(QStringLiteral("ribbontest"));
    ASSERT_TRUE(QDir().mkpath(themeDir + QStringLiteral("/32x32/apps")));
    QFile index(themeDir + QStringLiteral("/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=ribbontest\nDirectories=32x32/apps\n\n"
                "[32x32/apps]\nSize=32\nType=Fixed\n");
    index.close();
    QImage square(32, 32, QImage::Format_ARGB32);
    square.fill(QColor(255, 0, 255));
    ASSERT_TRUE(square.save(themeDir + QStringLiteral("/32x32/apps/ribbon-test-icon.png")));

    const QStringList oldPaths = QIcon::themeSearchPaths();
    const QString oldTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({dir.path()});
    QIcon::setThemeName(QStringLiteral("ribbontest"));

    const QImage themed = RibbonIcon(QStringLiteral("ribbon-test-icon"), QStringLiteral("X"))
                              .pixmap(32, 32)
                              .toImage();
    const QImage generated = RibbonIcon(QStringLiteral("ribbon-missing-icon"), QStringLiteral("X"))
                                 .pixmap(32, 32)
                                 .toImage();
    QIcon::setThemeName(oldTheme);
    QIcon::setThemeSearchPaths(oldPaths);

    EXPECT_EQ(themed.pixelColor(16, 16), QColor(255, 0, 255));
    EXPECT_EQ(themed.pixelColor(1, 1), QColor(255, 0, 255));
    EXPECT_NE(generated.pixelColor(1, 1), QColor(255, 0, 255));
}
