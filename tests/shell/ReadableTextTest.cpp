// Every text of the program's windows with the built-in skin can be read at a glance: the colour
// each label, choice and row is drawn in stands at least 4.5:1 against what is behind it, in
// every state the user can bring about (under the pointer, disabled). What the skin's style draws
// itself (tabs, buttons, menus) and the palette's pairs (the contact list's selected row) are
// measured in the skin's own suite.

#include "ShellTestSupport.h"

#include "chatui/TChatForm.h"
#include "nearby/TNearbyPeople.h"
#include "nearby/qt/TNearbyPeopleView.h"
#include "nearby/qt/TPeopleNearbyForm.h"
#include "phonebook/TEditRecord.h"
#include "platform/ProfileFile.h"
#include "shell/TAboutForm.h"
#include "shell/TLinkLabel.h"
#include "shell/TMainForm.h"
#include "shell/TSetupForm.h"
#include "skin/TSkinData.h"
#include "support/ChatWindowScene.h"
#include "support/Contrast.h"
#include "support/ProtocolFakes.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace quillet {
namespace {

using testing::TextContrast;

// The text property of a widget that shows one: a group box shows its title.
const char* TextProperty(const QWidget& widget)
{
    if (qobject_cast<const QGroupBox*>(&widget) != nullptr)
        return "title";
    if (qobject_cast<const QLabel*>(&widget) != nullptr
        || qobject_cast<const QCheckBox*>(&widget) != nullptr
        || qobject_cast<const QRadioButton*>(&widget) != nullptr)
        return "text";
    return nullptr;
}

// Every label, check box, radio button and group box title of `window` the user can see, drawn
// as the window draws it: without its text and with a measuring text in its place.
void ExpectReadable(QWidget& window, const std::string& where)
{
    // Laid out and sized as the user sees it.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window)) << where;
    int texts = 0;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const char* property = TextProperty(*widget);
        if (property == nullptr || !widget->isVisibleTo(&window)
            || widget->property(property).toString().isEmpty())
            continue;
        ++texts;
        const QString text = widget->property(property).toString();
        const QRect area(widget->mapTo(&window, QPoint(0, 0)), widget->size());
        widget->setProperty(property, QString());
        const QImage plain = window.grab(area).toImage();
        widget->setProperty(property, testing::MeasuringText());
        const QImage measured = window.grab(area).toImage();
        widget->setProperty(property, text);
        const testing::TTextMeasure measure = testing::MeasureText(plain, measured);
        EXPECT_TRUE(measure.Drawn) << where << ": \"" << text.toStdString() << "\"";
        EXPECT_GE(measure.Contrast, TextContrast)
            << where << ": " << widget->metaObject()->className() << " \"" << text.toStdString()
            << "\" (" << (widget->isEnabled() ? "enabled" : "disabled") << ") in "
            << measure.Text.name().toStdString();
    }
    EXPECT_GT(texts, 0) << where;
}

// A link label under the pointer, then left again.
void Hover(TLinkLabel& link, bool over)
{
    if (over) {
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(&link, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&link, &leave);
    }
}

class ReadableTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Root.isValid());
        Settings = test::PathOf(Root) / "settings.ini";
        profile::WriteString(Settings, "Users Section", "Ann Lee", "10.0.0.1,2323,3");
        profile::WriteString(Settings, "Users Section", "Bob Miller", "10.0.0.2,2323,3");
        TMainFormDependencies uses;
        uses.SetupForm = &Setup;
        uses.AboutForm = &About;
        uses.EditRecord = &Editor;
        uses.RunModal = [](QDialog&) {};
        Form = std::make_unique<TMainForm>(Settings, true, test::Prompts(), std::move(uses));
        ASSERT_TRUE(Form->SkinData1->Active()) << "the built-in skin paints the windows";
    }

    QTemporaryDir Root;
    std::filesystem::path Settings;
    TSetupForm Setup { test::PathOf(Root) / "settings.ini" };
    TAboutForm About { test::PathOf(Root) / "settings.ini", "README.md", "LICENSE",
        test::Prompts() };
    TEditRecord Editor;
    std::unique_ptr<TMainForm> Form;
};

TEST_F(ReadableTextTest, EveryLabelAndChoiceOfTheWindowsAndDialogs)
{
    ExpectReadable(*Form, "main window");
    ExpectReadable(About, "About");
    ExpectReadable(Editor, "contact editor");
    ExpectReadable(Setup, "own name");

    for (TLinkLabel* label : { Form->AddLabel, Form->EditLabel, Form->DeleteLabel }) {
        Hover(*label, true);
        ExpectReadable(*Form, "main window, pointer over " + label->text().toStdString());
        Hover(*label, false);
    }
    for (TLinkLabel* link : { About.Label6, About.Label7 }) {
        Hover(*link, true);
        ExpectReadable(About, "About, pointer over " + link->text().toStdString());
        Hover(*link, false);
    }
    // An empty phonebook disables Edit and Delete.
    Form->EditLabel->setEnabled(false);
    Form->DeleteLabel->setEnabled(false);
    ExpectReadable(*Form, "main window, Edit and Delete disabled");
}

TEST_F(ReadableTextTest, PeopleNearbyAndWhyItsListIsEmpty)
{
    TNearbyPeople people;
    TPeopleNearbyForm nearby(people);
    people.ServiceStateChanged(TNearbyServiceState::NotRunning);
    ExpectReadable(nearby, "People Nearby");
    // The list says in words why it is empty: that text is drawn by the list itself.
    QWidget& list = *nearby.PeopleList->viewport();
    const QString why = nearby.PeopleList->EmptyText();
    nearby.PeopleList->SetEmptyText(QString());
    const QImage plain = list.grab().toImage();
    nearby.PeopleList->SetEmptyText(testing::MeasuringText());
    const testing::TTextMeasure measure = testing::MeasureText(plain, list.grab().toImage());
    nearby.PeopleList->SetEmptyText(why);
    EXPECT_TRUE(measure.Drawn);
    EXPECT_GE(measure.Contrast, TextContrast) << measure.Text.name().toStdString();
}

TEST_F(ReadableTextTest, EveryLabelAndChoiceOfTheChatWindow)
{
    TChatForm chat;
    chat.resize(586, 477);
    testing::TFakeTickSource ticks;
    testing::TChatWindowScene scene(chat, ticks);
    ExpectReadable(chat, "chat window, Realtime");
    scene.ShowPreview();
    ExpectReadable(chat, "chat window, IM with preview");
}

} // namespace
} // namespace quillet
