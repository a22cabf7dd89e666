#include "shell/MainFormLayout.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(FormResizeLayoutTest, StoredClientSize)
{
    const TMainFormLayout layout = FormResizeLayout(QSize(147, 420));
    EXPECT_EQ(layout.UsersListingBox, QRect(5, 40, 137, 330));
    EXPECT_EQ(layout.LabelsTop, 372);
    EXPECT_EQ(layout.DialButton, QRect(87, 390, 55, 25));
}

TEST(FormResizeLayoutTest, MarginsFollowALargerWindow)
{
    const TMainFormLayout layout = FormResizeLayout(QSize(300, 700));
    EXPECT_EQ(layout.UsersListingBox, QRect(5, 40, 290, 610));
    // List bottom + 2: 40 + 610 + 2.
    EXPECT_EQ(layout.LabelsTop, 652);
    // 5 pixels in from the bottom right corner.
    EXPECT_EQ(layout.DialButton.right(), 300 - 5 - 1);
    EXPECT_EQ(layout.DialButton.bottom(), 700 - 5 - 1);
}

TEST(FormResizeLayoutTest, ClientSmallerThanTheMarginsGivesAnEmptyListNotANegativeOne)
{
    const TMainFormLayout layout = FormResizeLayout(QSize(8, 60));
    EXPECT_EQ(layout.UsersListingBox, QRect(5, 40, 0, 0));
    EXPECT_EQ(layout.LabelsTop, 42);
    EXPECT_EQ(layout.DialButton, QRect(0, 30, 55, 25));

    const TMainFormLayout empty = FormResizeLayout(QSize(0, 0));
    EXPECT_EQ(empty.UsersListingBox.size(), QSize(0, 0));
    EXPECT_EQ(empty.DialButton.topLeft(), QPoint(0, 0));
}

TEST(FormResizeLayoutTest, ExactlyTheMarginsGiveAnEmptyList)
{
    const TMainFormLayout layout = FormResizeLayout(QSize(10, 90));
    EXPECT_EQ(layout.UsersListingBox, QRect(5, 40, 0, 0));
}

} // namespace
} // namespace quillet
