#include "chatui/TChatForm.h"

#include "chatui/ChatAccessibility.h"
#include "chatui/TPageControl.h"
#include "chatui/TTabSheet.h"
#include "platform/qt/QtPromptService.h"
#include "platform/qt/ShowWithoutActivating.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>

namespace quillet {
namespace {

constexpr int ClientWidth = 586;
constexpr int ClientHeight = 477;
constexpr int TabsMargin = 8;
const QColor Teal(0x00, 0x80, 0x80);

} // namespace

TChatForm::TChatForm(QWidget* parent)
    : QWidget(parent)
    , TabsControl(nullptr)
{
    InstallChatAccessibility();
    setWindowTitle(QStringLiteral("Chat"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Teal);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(ClientWidth, ClientHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(TabsMargin, TabsMargin, TabsMargin, TabsMargin);
    TabsControl = new TPageControl(this);
    TabsControl->setObjectName(QStringLiteral("Tabs"));
    // The pages are in the button face colour, not the window's teal.
    QPalette pagePalette = TabsControl->palette();
    pagePalette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    TabsControl->setPalette(pagePalette);
    layout->addWidget(TabsControl);
    connect(TabsControl, &TPageControl::Change, this, [this] { TabsChange(); });
    CreateTabKeys();
}

void TChatForm::CreateTabKeys()
{
    // Window shortcuts: the typing pane leaves keys with Ctrl or Alt to its window, so these work
    // wherever the keyboard is in the window, while Tab and typed keys stay the conversation's.
    const auto bind = [this](QKeyCombination keys, auto action) {
        connect(new QShortcut(QKeySequence(keys), this), &QShortcut::activated, this, action);
    };
    const auto next = [this] { TabsControl->ChooseNeighbour(1); };
    const auto previous = [this] { TabsControl->ChooseNeighbour(-1); };
    bind(Qt::CTRL | Qt::Key_Tab, next);
    bind(Qt::CTRL | Qt::Key_PageDown, next);
    // Shift+Tab reaches the window as Backtab on most keyboards.
    bind(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab, previous);
    bind(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, previous);
    bind(Qt::CTRL | Qt::Key_PageUp, previous);
    for (int number = 1; number <= 9; ++number) {
        bind(Qt::ALT | static_cast<Qt::Key>(Qt::Key_0 + number),
            [this, number] { TabsControl->ChoosePage(number - 1); });
    }
}

TChatForm::~TChatForm() = default;

void TChatForm::SetMainFormHooks(
    std::function<bool()> exitRequested, std::function<void()> closeAllChats)
{
    ExitRequested = std::move(exitRequested);
    CloseAllChats = std::move(closeAllChats);
}

void TChatForm::SetPromptService(IPromptService* prompts)
{
    Prompts = prompts;
}

IPromptService& TChatForm::PromptService()
{
    if (Prompts != nullptr)
        return *Prompts;
    if (!DefaultPrompts)
        DefaultPrompts = std::make_unique<TQtPromptService>();
    return *DefaultPrompts;
}

int TChatForm::TabCount() const
{
    return TabsControl->PageCount();
}

bool TChatForm::FormCloseQuery()
{
    if (!ExitRequested || !CloseAllChats)
        return false;
    bool canClose = true;
    if (!ExitRequested() && TabCount() > 0)
        canClose
            = PromptService().AskYesNoCancel("Close all chats?") == IPromptService::TAnswer::Yes;
    if (canClose)
        CloseAllChats();
    return canClose;
}

void TChatForm::closeEvent(QCloseEvent* event)
{
    // Accepting hides the window; it is not the program's main window, so nothing else ends.
    if (FormCloseQuery())
        event->accept();
    else
        event->ignore();
}

void TChatForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        CenterOnScreen();
        FormShow();
    }
}

void TChatForm::CenterOnScreen()
{
    const QScreen* screen
        = this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    // The window never reaches past the screen, whatever grew it: with the typing pane and the
    // buttons below the screen's edge a conversation cannot be answered.
    const QSize frameExtra = frameGeometry().size() - size();
    const QSize room = (available.size() - frameExtra).expandedTo(minimumSize());
    if (width() > room.width() || height() > room.height())
        resize(size().boundedTo(room));
    QRect frame = frameGeometry();
    frame.moveCenter(available.center());
    move(frame.topLeft());
}

void TChatForm::FormShow()
{
    raise();
    if (!ShowingWithoutFocus)
        activateWindow();
}

void TChatForm::TabsChange()
{
    Active = qobject_cast<TTabSheet*>(TabsControl->ActivePage());
}

void TChatForm::BringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void TChatForm::ShowForCall(bool takeFocus)
{
    if (takeFocus) {
        BringToFront();
        return;
    }
    // The attention request does the asking.
    ShowingWithoutFocus = true;
    ShowWithoutActivating(*this);
    ShowingWithoutFocus = false;
}

bool TChatForm::IsForeground() const
{
    return isActiveWindow();
}

} // namespace quillet
