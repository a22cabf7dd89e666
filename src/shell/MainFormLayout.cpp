#include "shell/MainFormLayout.h"

#include <algorithm>

namespace quillet {

namespace {
constexpr int ListLeft = 5;
constexpr int ListTop = 40;
constexpr int ListBottomMargin = 50;
constexpr int LabelGap = 2;
constexpr int DialWidth = 55;
constexpr int DialHeight = 25;
constexpr int DialMargin = 5;
} // namespace

TMainFormLayout FormResizeLayout(QSize client)
{
    const int listWidth = std::max(0, client.width() - 2 * ListLeft);
    const int listHeight = std::max(0, client.height() - ListTop - ListBottomMargin);

    TMainFormLayout layout;
    layout.UsersListingBox = QRect(ListLeft, ListTop, listWidth, listHeight);
    layout.LabelsTop = ListTop + listHeight + LabelGap;
    layout.DialButton = QRect(std::max(0, client.width() - DialWidth - DialMargin),
        std::max(0, client.height() - DialHeight - DialMargin), DialWidth, DialHeight);
    return layout;
}

QSize FormMinimumClientSize(int labelsRight, int listHeight, int menuWidth)
{
    const int width
        = std::max({ labelsRight + ListLeft, DialWidth + 2 * DialMargin, menuWidth, 2 * ListLeft });
    return { width, ListTop + listHeight + ListBottomMargin };
}

} // namespace quillet
