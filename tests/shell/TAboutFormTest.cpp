#include "ShellTestSupport.h"

#include "shell/InstalledTree.h"
#include "shell/ShippedDocument.h"
#include "shell/TAboutForm.h"
#include "shell/TLinkLabel.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace quillet {
namespace {

class TAboutFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form.OpenUrl = [this](const QUrl& url) { Opened.push_back(url); };
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    }

    TAboutForm Form { "/home/someone/.config/quillet/settings.ini", "/opt/quillet/README.md",
        "/opt/quillet/LICENSE" };
    std::vector<QUrl> Opened;
};

TEST_F(TAboutFormTest, LinksOpenTheShippedDocumentsAndTheDialogStaysOpen)
{
    QTest::mouseClick(Form.Label6, Qt::LeftButton);
    QTest::mouseClick(Form.Label7, Qt::LeftButton);
    ASSERT_EQ(Opened.size(), 2u);
    EXPECT_EQ(Opened[0], QUrl("file:///opt/quillet/README.md"));
    EXPECT_EQ(Opened[1], QUrl("file:///opt/quillet/LICENSE"));
    EXPECT_TRUE(Form.isVisible());
    // Each link shows its address.
    EXPECT_EQ(Form.Label6->toolTip(), "file:///opt/quillet/README.md");
}

TEST_F(TAboutFormTest, PressingOnALinkAndReleasingElsewhereOpensNothing)
{
    QTest::mousePress(Form.Label6, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(Form.Label6, Qt::LeftButton, {}, QPoint(-20, 2));
    EXPECT_TRUE(Opened.empty());
}

TEST_F(TAboutFormTest, LinksTurnYellowUnderThePointerAndBlackAfterLeaving)
{
    for (TLinkLabel* link : { Form.Label6, Form.Label7 }) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        EXPECT_EQ(link->TextColor(), QColor(0xFF, 0xFF, 0x00));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        EXPECT_EQ(link->TextColor(), QColor(0x00, 0x00, 0x00));
    }
}

TEST_F(TAboutFormTest, EscapeDoesNotCloseItOkDoes)
{
    QTest::keyClick(&Form, Qt::Key_Escape);
    EXPECT_TRUE(Form.isVisible());
    QTest::mouseClick(Form.Button1, Qt::LeftButton);
    EXPECT_FALSE(Form.isVisible());
}

TEST_F(TAboutFormTest, ShowsTheSettingsPathCentredOnTheScreen)
{
    EXPECT_EQ(
        Form.SettingsLabel->toolTip(), "Settings: /home/someone/.config/quillet/settings.ini");
    EXPECT_EQ(Form.size(), QSize(341, 249));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((Form.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

TEST(TAboutFormSettingsTest, APathInTheHomeFolderIsShownFromTheTilde)
{
    // Short paths, so that the label need not cut them.
    const QString home = QDir::homePath();
    const struct {
        QString Path;
        QString Shown;
    } rows[] = {
        { home + "/q/s.ini", "Settings: ~/q/s.ini" },
        // A neighbour whose name begins like the home folder's is not in it.
        { home + "x/s.ini", "Settings: " + home + "x/s.ini" },
        { "/opt/s.ini", "Settings: /opt/s.ini" },
    };
    for (const auto& row : rows) {
        const TAboutForm form(row.Path.toStdString(), "README.md", "LICENSE");
        EXPECT_EQ(form.SettingsLabel->text(), row.Shown);
        EXPECT_EQ(form.SettingsLabel->toolTip(), "Settings: " + row.Path);
    }
}

TEST(TAboutFormFitTest, ShownEveryLineFitsItsFontAndALongPathIsCutInTheMiddle)
{
    const QString folder = "/srv/" + QString(300, QLatin1Char('q'));
    TAboutForm form(
        (folder + "/settings.ini").toStdString(), folder + "/README.md", folder + "/LICENSE");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    for (QLabel* line : { form.Label5, form.Label2, form.Label1, static_cast<QLabel*>(form.Label6),
             static_cast<QLabel*>(form.Label7), form.Label3, form.Label4 }) {
        SCOPED_TRACE(line->text().toStdString());
        EXPECT_GE(line->height(), line->fontMetrics().height());
        EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
    }
    const struct {
        QLabel* Label;
        QString Whole;
    } paths[] = {
        { form.Label6, "file://" + folder + "/README.md" },
        { form.Label7, "file://" + folder + "/LICENSE" },
        { form.SettingsLabel, "Settings: " + folder + "/settings.ini" },
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.Whole.toStdString());
        const QString shown = path.Label->text();
        EXPECT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
        EXPECT_TRUE(path.Whole.startsWith(shown.section(QChar(0x2026), 0, 0)));
        EXPECT_TRUE(path.Whole.endsWith(shown.section(QChar(0x2026), 1)));
        EXPECT_EQ(path.Label->toolTip(), path.Whole);
    }
}

TEST(ShippedDocumentTest, TheFirstFolderHoldingTheFileWins)
{
    QTemporaryDir program;
    QTemporaryDir source;
    test::WriteWholeFile(test::PathOf(source) / "LICENSE", "MIT");
    test::WriteWholeFile(test::PathOf(source) / "README.md", "source");
    test::WriteWholeFile(test::PathOf(program) / "README.md", "beside");

    EXPECT_EQ(FindDocument("README.md", { program.path(), source.path() }),
        program.path() + "/README.md");
    EXPECT_EQ(
        FindDocument("LICENSE", { program.path(), source.path() }), source.path() + "/LICENSE");
    // Nowhere: the last folder's path, so that the dialog still says where it belongs.
    EXPECT_EQ(
        FindDocument("MISSING", { program.path(), source.path() }), source.path() + "/MISSING");
}

TEST(ShippedDocumentTest, AnInstalledProgramLooksInItsTreesDocumentFolderOnly)
{
    // The layout GNUInstallDirs gives any prefix: bin/, share/applications/, share/doc/quillet/.
    QTemporaryDir tree;
    const std::filesystem::path root = test::PathOf(tree);
    const std::filesystem::path bin = root / "bin";
    const std::filesystem::path docs = root / "share" / "doc" / "quillet";
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(docs);
    std::filesystem::create_directories(root / "share" / "applications");
    test::WriteWholeFile(docs / "README.md", "installed");
    test::WriteWholeFile(bin / "LICENSE", "a stray copy beside the program");
    const QString docFolder = QString::fromStdString(docs.string());

    // Until the desktop entry is there, the folder is just a copy of the program.
    EXPECT_FALSE(IsInstalledProgram(bin));
    EXPECT_EQ(DocumentFolders(bin),
        QStringList({ QString::fromStdString(bin.string()), QStringLiteral(QUILLET_SOURCE_DIR) }));

    test::WriteWholeFile(
        root / "share" / "applications" / (DesktopId().toStdString() + ".desktop"), "");
    EXPECT_TRUE(IsInstalledProgram(bin));
    ASSERT_EQ(DocumentFolders(bin), QStringList({ docFolder }));
    EXPECT_EQ(FindDocument("README.md", DocumentFolders(bin)), docFolder + "/README.md");
    // Missing from the tree: still the tree's path, never the stray copy or the source tree.
    EXPECT_EQ(FindDocument("LICENSE", DocumentFolders(bin)), docFolder + "/LICENSE");
}

TEST(ShippedDocumentTest, ThisBuildFindsItsReadmeAndLicence)
{
    EXPECT_TRUE(QFileInfo::exists(ShippedDocumentPath("README.md")));
    EXPECT_TRUE(QFileInfo::exists(ShippedDocumentPath("LICENSE")));
}

} // namespace
} // namespace quillet
