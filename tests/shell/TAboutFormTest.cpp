#include "ShellTestSupport.h"

#include "shell/DesktopOpener.h"
#include "shell/InstalledTree.h"
#include "shell/ShippedDocument.h"
#include "shell/TAboutForm.h"
#include "shell/TLinkLabel.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace quillet {
namespace {

class TAboutFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::WriteWholeFile(test::PathOf(Docs) / "README.md", "# Quillet");
        test::WriteWholeFile(test::PathOf(Docs) / "LICENSE", "MIT");
        Form.OpenUrl = [this](const QUrl& url, const std::function<void()>& noProgram) {
            Opened.push_back(url);
            if (!Opens)
                noProgram();
        };
        Form.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
    }

    QTemporaryDir Docs;
    TAboutForm Form { QDir::homePath().toStdString() + "/.config/quillet/settings.ini",
        Docs.filePath("README.md"), Docs.filePath("LICENSE"), test::Prompts() };
    std::vector<QUrl> Opened;
    bool Opens = true;
};

TEST_F(TAboutFormTest, ShowsTheVersionTheWholeBuildCarries)
{
    EXPECT_EQ(Form.Label5->text(), "Quillet v0.5e");
    EXPECT_EQ(TAboutForm::VersionCaption(), QStringLiteral("Quillet v") + QUILLET_VERSION);
}

TEST_F(TAboutFormTest, LinksReadAsWordsAndOpenTheShippedDocuments)
{
    EXPECT_EQ(Form.Label6->text(), "Read me: using Quillet");
    EXPECT_EQ(Form.Label7->text(), "Licence: MIT");
    EXPECT_EQ(Form.Label6->toolTip(), Docs.filePath("README.md"));
    QTest::mouseClick(Form.Label6, Qt::LeftButton);
    QTest::mouseClick(Form.Label7, Qt::LeftButton);
    ASSERT_EQ(Opened.size(), 2u);
    EXPECT_EQ(Opened[0], QUrl::fromLocalFile(Docs.filePath("README.md")));
    EXPECT_EQ(Opened[1], QUrl::fromLocalFile(Docs.filePath("LICENSE")));
    EXPECT_TRUE(Form.isVisible());
    EXPECT_TRUE(test::Prompts().Messages.empty());

    // Only the links look like links: underlined, with the pointing hand.
    for (const QLabel* label : { Form.Label6, Form.Label7 }) {
        EXPECT_TRUE(label->font().underline());
        EXPECT_EQ(label->cursor().shape(), Qt::PointingHandCursor);
    }
    for (const QLabel* label : { Form.Label2, Form.Label1 }) {
        EXPECT_FALSE(label->font().underline());
        EXPECT_NE(label->cursor().shape(), Qt::PointingHandCursor);
    }
}

TEST_F(TAboutFormTest, ALinkThatCannotBeOpenedSaysWhy)
{
    Opens = false;
    QTest::mouseClick(Form.Label6, Qt::LeftButton);
    const std::string readme = Docs.filePath("README.md").toStdString();
    ASSERT_EQ(test::Prompts().Messages.size(), 1u);
    EXPECT_EQ(test::Prompts().Messages[0],
        "No program on this computer is set up to open " + readme
            + ". Open it with a text editor or a web browser.");

    QFile::remove(Docs.filePath("LICENSE"));
    QTest::mouseClick(Form.Label7, Qt::LeftButton);
    ASSERT_EQ(test::Prompts().Messages.size(), 2u);
    EXPECT_EQ(test::Prompts().Messages[1],
        "The file " + Docs.filePath("LICENSE").toStdString() + " is missing.");
    EXPECT_EQ(Opened.size(), 1u) << "a missing file is not handed on";
    EXPECT_TRUE(Form.isVisible());
}

// The desktop's opener, as the links use it: only its word that no program handles the file
// tells the user so; a file it opens, or a viewer that fails later, does not.
TEST(DesktopOpenerTest, SaysSoOnlyWhenNoProgramOpensTheFile)
{
    QTemporaryDir bin;
    const QString handed = bin.filePath("handed");
    const QString savedPath = qEnvironmentVariable("PATH");
    const QUrl readme = QUrl::fromLocalFile(bin.filePath("Read me.md"));
    const struct {
        const char* What;
        int Status; // of the opener; -1: there is none
        bool NoProgram;
    } rows[] = {
        { "opened", 0, false },
        { "no program for the file", 3, true },
        { "the viewer failed", 4, false },
        { "no opener on this computer", -1, true },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        QFile::remove(bin.filePath("xdg-open"));
        QFile::remove(handed);
        if (row.Status >= 0) {
            test::WriteWholeFile(test::PathOf(bin) / "xdg-open",
                "#!/bin/sh\nprintf '%s' \"$1\" > '" + handed.toStdString() + "'\nexit "
                    + std::to_string(row.Status) + "\n");
            QFile::setPermissions(bin.filePath("xdg-open"), QFile::ReadOwner | QFile::ExeOwner);
        }
        qputenv("PATH", bin.path().toLocal8Bit());
        int told = 0;
        QProcess* opener = OpenWithDesktop(readme, [&told] { ++told; });
        qputenv("PATH", savedPath.toLocal8Bit());
        if (row.Status >= 0) {
            ASSERT_NE(opener, nullptr);
            QSignalSpy finished(opener, &QProcess::finished);
            ASSERT_TRUE(finished.wait(10000));
            QFile file(handed);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(QString::fromUtf8(file.readAll()), readme.toLocalFile());
        }
        EXPECT_EQ(told, row.NoProgram ? 1 : 0);
    }
}

TEST_F(TAboutFormTest, PressingOnALinkAndReleasingElsewhereOpensNothing)
{
    QTest::mousePress(Form.Label6, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(Form.Label6, Qt::LeftButton, {}, QPoint(-20, 2));
    EXPECT_TRUE(Opened.empty());
}

TEST_F(TAboutFormTest, LinksTurnDarkBlueUnderThePointerAndBlackAfterLeaving)
{
    for (TLinkLabel* link : { Form.Label6, Form.Label7 }) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        EXPECT_EQ(link->TextColor(), QColor(0x00, 0x00, 0xCC));
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
    EXPECT_EQ(Form.SettingsLabel->toolTip(),
        "Settings: " + QDir::homePath() + "/.config/quillet/settings.ini");
    EXPECT_EQ(Form.size(), QSize(341, 249));
    const QPoint screenCentre = QGuiApplication::primaryScreen()->geometry().center();
    EXPECT_LE((Form.frameGeometry().center() - screenCentre).manhattanLength(), 2);
}

TEST(TAboutFormSettingsTest, ThePathIsShownWholeFromTheTildeOnUpToTwoLines)
{
    const QString home = QDir::homePath();
    const QString deep = "/opt/" + QString(20, 'd') + "/" + QString(20, 'e') + "/"
        + QString(40, 'f') + "/settings.ini";
    const struct {
        QString Path;
        QString Shown; // the lines joined; empty: cut in the middle
    } rows[] = {
        { home + "/q/s.ini", "Settings: ~/q/s.ini" },
        // The usual place, once cut to "~/.confi…illet/settings.ini".
        { home + "/.config/quillet/settings.ini", "Settings: ~/.config/quillet/settings.ini" },
        // A neighbour whose name begins like the home folder's is not in it.
        { home + "x/s.ini", "Settings: " + home + "x/s.ini" },
        { "/opt/s.ini", "Settings: /opt/s.ini" },
        { deep, "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Path.toStdString());
        TAboutForm form(row.Path.toStdString(), "README.md", "LICENSE", test::Prompts());
        form.show(); // the path is fitted to the fonts as the dialog first appears
        const QLabel& label = *form.SettingsLabel;
        const QStringList lines = label.text().split('\n');
        EXPECT_LE(lines.size(), 2);
        for (const QString& line : lines)
            EXPECT_LE(label.fontMetrics().horizontalAdvance(line), label.width())
                << line.toStdString();
        EXPECT_LE(lines.size() * label.fontMetrics().lineSpacing(), label.height());
        if (!row.Shown.isEmpty())
            EXPECT_EQ(lines.join(QString()), row.Shown);
        else
            EXPECT_TRUE(lines.last().contains(QChar(0x2026))) << label.text().toStdString();
        EXPECT_EQ(label.toolTip(), "Settings: " + row.Path);
    }
}

TEST(TAboutFormFitTest, ShownEveryLineFitsItsFont)
{
    TAboutForm form("/srv/settings.ini", "/srv/README.md", "/srv/LICENSE", test::Prompts());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    for (QLabel* line : { form.Label5, form.Label2, form.Label1, static_cast<QLabel*>(form.Label6),
             static_cast<QLabel*>(form.Label7), form.Label3, form.Label4 }) {
        SCOPED_TRACE(line->text().toStdString());
        EXPECT_GE(line->height(), line->fontMetrics().height());
        EXPECT_LE(line->fontMetrics().horizontalAdvance(line->text()), line->width());
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
