#include "ShellTestSupport.h"

#include "shell/ErrorBox.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

#include <stdexcept>

namespace quillet {
namespace {

struct TTextCase {
    std::string Message;
    std::string Shown;
};

class ErrorBoxTextTest : public ::testing::TestWithParam<TTextCase> { };

TEST_P(ErrorBoxTextTest, AddsFullStopAfterCharactersSortingAfterIt)
{
    EXPECT_EQ(ErrorBoxText(GetParam().Message), GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(Messages, ErrorBoxTextTest,
    ::testing::Values(TTextCase { "Unable to write to /tmp/settings.ini",
                          "Unable to write to /tmp/settings.ini." },
        TTextCase { "", "" }, TTextCase { "Done.", "Done." },
        // '!', ')' and ',' sort before '.', '/' and '?' after it.
        TTextCase { "Stop!", "Stop!" }, TTextCase { "(quoted)", "(quoted)" },
        TTextCase { "a,", "a," }, TTextCase { "path/", "path/." }, TTextCase { "Why?", "Why?." },
        TTextCase { "port 2323", "port 2323." },
        // A non-ASCII last character sorts after '.' as well.
        TTextCase { "Zo\xC3\xAB", "Zo\xC3\xAB." }));

// An object whose handler fails the way a failed settings write does.
class TFailingObject final : public QObject {
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Unable to write to /nowhere/settings.ini");
        if (event->type() == QEvent::User + 1)
            throw 42;
        return QObject::event(event);
    }
};

TEST(ErrorBoxTest, ExceptionEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    TFailingObject object;
    QEvent failing(QEvent::User);
    QCoreApplication::sendEvent(&object, &failing);
    ASSERT_EQ(test::Prompts().Errors.size(), 1u);
    EXPECT_EQ(test::Prompts().Errors[0], "Unable to write to /nowhere/settings.ini.");

    // Events still flow afterwards, also for the same object.
    QEvent later(QEvent::User);
    QCoreApplication::sendEvent(&object, &later);
    EXPECT_EQ(test::Prompts().Errors.size(), 2u);
}

TEST(ErrorBoxTest, ExceptionWithoutMessageIsShownWithAGenericText)
{
    TFailingObject object;
    QEvent failing(static_cast<QEvent::Type>(QEvent::User + 1));
    QCoreApplication::sendEvent(&object, &failing);
    ASSERT_EQ(test::Prompts().Errors.size(), 1u);
    EXPECT_EQ(test::Prompts().Errors[0], "Unexpected error.");
}

TEST(ErrorBoxTest, ExceptionFromAPostedEventIsShown)
{
    TFailingObject object;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&object);
    ASSERT_EQ(test::Prompts().Errors.size(), 1u);
}

} // namespace
} // namespace quillet
