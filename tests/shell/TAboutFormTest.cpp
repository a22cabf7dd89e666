#include "ShellTestSupport.h"

#include "shell/ShippedDocument.h"
#include "shell/TAboutForm.h"
#include "shell/TLinkLabel.h"

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

TEST(ShippedDocumentTest, ThisBuildFindsItsReadmeAndLicence)
{
    EXPECT_TRUE(QFileInfo::exists(ShippedDocumentPath("README.md")));
    EXPECT_TRUE(QFileInfo::exists(ShippedDocumentPath("LICENSE")));
}

} // namespace
} // namespace quillet
