// The background boxes of the Qt prompt service: shown one at a time without activation, each
// answer handed back before the next box comes.
#include "platform/qt/QtPromptService.h"

#include <QAbstractButton>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

using TAnswer = IPromptService::TAnswer;

TEST(QtPromptServiceTest, BackgroundBoxesComeOneAtATimeWithoutActivation)
{
    TQtPromptService prompts;
    std::vector<std::string> log;
    prompts.AskInBackground("first?", [&](TAnswer answer) {
        log.push_back(answer == TAnswer::Yes ? "first: yes" : "first: other");
        // Asked while acting on an answer: it waits until this answer is done.
        prompts.ShowInBackground("from the answer", IPromptService::TNotice::Error);
        EXPECT_EQ(prompts.BackgroundBox(), nullptr);
    });
    prompts.AskInBackground("second?", [&](TAnswer answer) {
        log.push_back(answer == TAnswer::Cancel ? "second: cancel" : "second: other");
    });
    QMessageBox* box = prompts.BackgroundBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "first?");
    EXPECT_EQ(box->windowTitle(), "Yes or No?");
    EXPECT_TRUE(box->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(box->isModal());
    box->button(QMessageBox::Yes)->click();

    box = prompts.BackgroundBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "second?");
    box->close(); // the close box answers Cancel
    box = prompts.BackgroundBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "from the answer");
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    box->button(QMessageBox::Ok)->click();
    EXPECT_EQ(prompts.BackgroundBox(), nullptr);
    EXPECT_EQ(log, (std::vector<std::string> { "first: yes", "second: cancel" }));
}

} // namespace
} // namespace quillet
