#include "ShellTestSupport.h"

#include "platform/ProfileFile.h"
#include "shell/TOwnNameReader.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

namespace fs = std::filesystem;

// The own name is read from the file again only when the file changed: each conversation asks
// for it, and a large file must not be read for every greeting.
TEST(TOwnNameReaderTest, TheFileIsReadAgainOnlyWhenItChanged)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const fs::path settings = test::PathOf(root) / "settings.ini";
    TOwnNameReader reader(settings, "John Doe");
    EXPECT_EQ(reader.Read(), "John Doe"); // no file yet
    test::WriteWholeFile(settings, "[Settings]\nUser name=Ann\n");
    EXPECT_EQ(reader.Read(), "Ann");
    const int reads = reader.FileReads();
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(reader.Read(), "Ann");
    EXPECT_EQ(reader.FileReads(), reads);

    // Every kind of change is seen by the next call: a save (a new file put in place), a
    // rewrite in place of the same length, the key taken out, the file gone.
    ASSERT_TRUE(profile::WriteString(settings, "Settings", "User name", "Bob"));
    EXPECT_EQ(reader.Read(), "Bob");
    test::WriteWholeFile(settings, "[Settings]\nUser name=Cyd\n");
    EXPECT_EQ(reader.Read(), "Cyd");
    test::WriteWholeFile(settings, "[Settings]\n");
    EXPECT_EQ(reader.Read(), "John Doe");
    fs::remove(settings);
    EXPECT_EQ(reader.Read(), "John Doe");
}

} // namespace
} // namespace quillet
