#include "ShellTestSupport.h"

#include "shell/InstalledTree.h"
#include "shell/ShellIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

namespace quillet {
namespace {

// Points the icon loader at folders of our own for the test's length.
class ShellIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Themes.isValid());
        QIcon::setThemeSearchPaths({ Themes.path() });
        QIcon::setThemeName(QStringLiteral("hicolor"));
    }
    void TearDown() override
    {
        QIcon::setThemeSearchPaths(SavedSearchPaths);
        QIcon::setThemeName(SavedTheme);
    }

    // A hicolor theme with one 16-pixel icon of the given name, all of one colour.
    void InstallIcon(const QString& name, const QColor& colour)
    {
        QDir(Themes.path()).mkpath(QStringLiteral("hicolor/16x16/apps"));
        test::WriteWholeFile(test::PathOf(Themes) / "hicolor" / "index.theme",
            "[Icon Theme]\nName=hicolor\nDirectories=16x16/apps\n\n"
            "[16x16/apps]\nSize=16\nType=Fixed\n");
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(Themes.path() + "/hicolor/16x16/apps/" + name + ".png"));
    }

    static QColor PixelOf(const QIcon& icon, int size, QPoint point)
    {
        return icon.pixmap(size).toImage().pixelColor(point);
    }

    QTemporaryDir Themes;
    const QStringList SavedSearchPaths = QIcon::themeSearchPaths();
    const QString SavedTheme = QIcon::themeName();
};

TEST_F(ShellIconTest, TheThemesIconOfTheDesktopIdIsUsed)
{
    InstallIcon(DesktopId(), Qt::red);
    const QIcon icon = QuilletIcon();
    EXPECT_EQ(icon.name(), DesktopId());
    EXPECT_EQ(PixelOf(icon, 16, { 8, 8 }), QColor(Qt::red));
}

TEST_F(ShellIconTest, WithoutItTheBuiltInIconComesInEveryInstalledSize)
{
    InstallIcon(QStringLiteral("some-other-program"), Qt::red);
    const QIcon icon = QuilletIcon();
    EXPECT_TRUE(icon.name().isEmpty());
    const QList<QSize> sizes = icon.availableSizes();
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 })
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    // The bubble is blue under its dots.
    const QColor middle = PixelOf(icon, 48, { 24, 29 });
    EXPECT_GT(middle.blue(), 2 * middle.red()) << middle.name().toStdString();
    EXPECT_EQ(middle.alpha(), 255);
}

TEST_F(ShellIconTest, TheIconIsLookedUpWhenFirstDrawn)
{
    // Made before the theme has the program's icon, as at a start before anything is drawn.
    const QIcon icon = QuilletIcon();
    EXPECT_FALSE(icon.isNull());
    InstallIcon(DesktopId(), Qt::red);
    const QIcon copy = icon;
    EXPECT_EQ(PixelOf(copy, 16, { 8, 8 }), QColor(Qt::red));
    EXPECT_EQ(icon.name(), DesktopId());
}

TEST_F(ShellIconTest, OnAScaledScreenTheBuiltInIconGivesItsLargerSize)
{
    const QPixmap pixmap = QuilletIcon().pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(pixmap.size(), QSize(32, 32));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
}

} // namespace
} // namespace quillet
