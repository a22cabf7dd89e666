#include "chatui/TChatForm.h"

#include "chatui/TPageControl.h"
#include "chatui/TTabSheet.h"
#include "platform/qt/QtPromptService.h"
#include "platform/qt/ShowWithoutActivating.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
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

int TChatForm::TabCount() const
{
    return TabsControl->PageCount();
}

bool TChatForm::FormCloseQuery()
{
    if (!ExitRequested || !CloseAllChats)
        return false;
    bool canClose = true;
    if (!ExitRequested() && TabCount() > 0) {
        IPromptService* prompts = Prompts;
        if (prompts == nullptr) {
            if (!DefaultPrompts)
                DefaultPrompts = std::make_unique<TQtPromptService>();
            prompts = DefaultPrompts.get();
        }
        canClose = prompts->AskYesNoCancel("Close all chats?") == IPromptService::TAnswer::Yes;
    }
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
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
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
