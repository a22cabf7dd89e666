#include "shell/TMainForm.h"

#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "platform/ProfileFile.h"
#include "platform/PromptService.h"
#include "platform/qt/ShowWithoutActivating.h"
#include "settings/Settings.h"
#include "shell/ErrorBox.h"
#include "shell/MainFormLayout.h"
#include "shell/ScreenPlacement.h"
#include "shell/ShellIcon.h"
#include "shell/TLinkLabel.h"
#include "shell/TSettingsWatcher.h"
#include "skin/BuiltinSkinPackage.h"
#include "skin/SkinChoice.h"
#include "skin/SkinLoader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace quillet {

namespace {

const QColor LabelColour(0x00, 0x40, 0x80);
// A lighter blue under the pointer, still 5:1 against the window (the sky blue of old, #A6CAF0,
// could hardly be read there).
const QColor LabelHoverColour(0x00, 0x60, 0xC0);

QFont PixelFont(const QString& family, int pixels, bool bold = false)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

Qt::WindowFlags MainWindowFlags(bool trayAvailable)
{
    // With a tray the window is a tool window (thin caption, close box only, no task bar entry):
    // the tray icon is the program's handle. Without one it needs a task bar entry and a
    // minimise box, or a hidden window could never be found again.
    if (trayAvailable)
        return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    return Qt::Window;
}

// The skin the settings name (settings::SkinFile): the built-in one when the key is missing, none
// for "none", otherwise a package file (a relative path is taken from the settings file's folder).
skin::TSkinLoad LoadSkinAtStart(const std::filesystem::path& settingsFile)
{
    const std::string setting = settings::SkinFile(settingsFile);
    return skin::LoadSkin(skin::SkinChoiceFromSetting(setting, settingsFile.parent_path()),
        skin::BuiltinSkinPackage());
}

} // namespace

TMainForm::TMainForm(std::filesystem::path settingsPath, bool trayAvailable,
    IPromptService& prompts, TMainFormDependencies dependencies, QWidget* parent)
    : QMainWindow(parent, MainWindowFlags(trayAvailable))
    , SkinData1(nullptr)
    , TrayIcon(nullptr)
    , SettingsFile(std::move(settingsPath))
    , HasTray(trayAvailable)
    , Prompts(prompts)
    , Client(new QWidget(this))
    , Uses(std::move(dependencies))
    , Placer([this] { FormShow(); })
{
    // First, so that every control is made under the skin's style.
    SkinData1 = new TSkinData(LoadSkinAtStart(SettingsFile), this);
    if (!SkinData1->LoadProblem().empty())
        ShowAtStart(SkinData1->LoadProblem(), IPromptService::TNotice::Message);

    if (!Uses.RunModal)
        Uses.RunModal = [](QDialog& dialog) { dialog.exec(); };
    if (!Uses.OnCloseAccepted) {
        Uses.OnCloseAccepted = [this] {
            // A close can go through while the own-name dialog waits in its own loop (Exit chosen
            // in a window a second copy showed, or an end signal): that dialog ends too, and with
            // it every event loop.
            if (Uses.SetupForm != nullptr && Uses.SetupForm->isVisible())
                Uses.SetupForm->reject();
            QCoreApplication::exit(0);
        };
    }

    setWindowTitle(QStringLiteral("Chat"));
    setFont(PixelFont(QStringLiteral("MS Sans Serif"), 10));
    QPalette background = palette();
    background.setColor(QPalette::Window, QColor(0xE7, 0xE8, 0xF8));
    setPalette(background);
    setAutoFillBackground(true);

    setCentralWidget(Client);
    Client->installEventFilter(this);
    CreateControls();
    CreateMenus();

    if (HasTray)
        CreateTrayIcon();
    CreatePhonebook();
}

TMainForm::~TMainForm()
{
    // Hiding takes the icon out of the tray at once, also when the event loop no longer runs.
    if (TrayIcon != nullptr)
        TrayIcon->hide();
}

void TMainForm::CreateControls()
{
    Label8 = new QLabel(QStringLiteral("Select a user:"), Client);
    Label8->setFont(PixelFont(QStringLiteral("Arial"), 13));
    QPalette black = Label8->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    Label8->setPalette(black);
    Label8->move(5, 22);

    UsersListingBox = new TUsersListingBox(Client);
    UsersListingBox->setGeometry(5, 40, 137, 306);
    UsersListingBox->setFont(PixelFont(QStringLiteral("Arial Narrow"), 13, true));
    QPalette grey = UsersListingBox->palette();
    grey.setColor(QPalette::Base, QColor(0xE1, 0xE1, 0xE1));
    UsersListingBox->setPalette(grey);
    UsersListingBox->installEventFilter(this);
    UsersListingBox->setAccessibleName(QStringLiteral("Phonebook"));

    const QFont labelFont = PixelFont(QStringLiteral("MS Sans Serif"), 10, true);
    const auto makeLabel = [this, &labelFont](const QString& text, int left) {
        auto* label = new TLinkLabel(text, Client);
        label->setFont(labelFont);
        label->SetTextColor(LabelColour);
        label->move(left, 352);
        label->OnMouseEnter = [this, label] { HighLightLabel(*label); };
        label->OnMouseLeave = [this, label] { UnHighLightLabel(*label); };
        return label;
    };
    AddLabel = makeLabel(QStringLiteral("Add"), 12);
    EditLabel = makeLabel(QStringLiteral("Edit"), 41);
    DeleteLabel = makeLabel(QStringLiteral("Delete"), 70);

    DialButton = new QPushButton(QStringLiteral("Dial"), Client);
    DialButton->setGeometry(66, 390, 55, 25);
    DialButton->setEnabled(false);
}

void TMainForm::FitToFonts()
{
    FittedToFonts = true;
    Label8->adjustSize();
    for (TLinkLabel* label : { AddLabel, EditLabel, DeleteLabel })
        label->adjustSize();

    // Nothing folds away or covers another control: the list keeps a few lines.
    constexpr int MinListLines = 3;
    const int listHeight = MinListLines * UsersListingBox->fontMetrics().height()
        + 2 * UsersListingBox->frameWidth();
    Client->setMinimumSize(FormMinimumClientSize(
        DeleteLabel->geometry().right() + 1, listHeight, MainMenu1->sizeHint().width()));

    // The stored client size; FormShow sets the width again each time the window appears.
    resize(147, 420 + MainMenu1->sizeHint().height());
}

void TMainForm::CreateMenus()
{
    // Every menu and item has a mnemonic (the underlined letter; the "&" is not shown), and F10
    // opens the menu as on other desktops' windows.
    MainMenu1 = menuBar();
    MenuGroup = MainMenu1->addMenu(QStringLiteral("&Menu"));
    SetupItem = MenuGroup->addAction(QStringLiteral("&My Name"));
    PeopleNearbyItem = MenuGroup->addAction(QStringLiteral("People &Nearby"));
    VisibleNearbyItem = MenuGroup->addAction(QStringLiteral("&Visible Nearby"));
    VisibleNearbyItem->setCheckable(true);
    VisibleNearbyItem->setChecked(settings::VisibleNearby(SettingsFile));
    About1 = MenuGroup->addAction(QStringLiteral("&About"));
    N1 = MenuGroup->addSeparator();
    Exit1 = MenuGroup->addAction(QStringLiteral("E&xit"));
    QObject::connect(new QShortcut(QKeySequence(Qt::Key_F10), this), &QShortcut::activated, this,
        [this] { MainMenu1->setActiveAction(MenuGroup->menuAction()); });
    QObject::connect(SetupItem, &QAction::triggered, this, [this] { SetupItemClick(); });
    QObject::connect(
        PeopleNearbyItem, &QAction::triggered, this, [this] { PeopleNearbyItemClick(); });
    QObject::connect(
        VisibleNearbyItem, &QAction::triggered, this, [this] { VisibleNearbyItemClick(); });
    QObject::connect(About1, &QAction::triggered, this, [this] { About1Click(); });
    QObject::connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });

    PopupMenu1 = new QMenu(this);
    ShowMenu = PopupMenu1->addAction(QStringLiteral("&Show"));
    HideMenu = PopupMenu1->addAction(QStringLiteral("&Hide"));
    ExitMenu = PopupMenu1->addAction(QStringLiteral("E&xit"));
    QObject::connect(ShowMenu, &QAction::triggered, this, [this] { ShowMenuClick(); });
    QObject::connect(HideMenu, &QAction::triggered, this, [this] { HideMenuClick(); });
    QObject::connect(ExitMenu, &QAction::triggered, this, [this] { Exit1Click(); });
}

void TMainForm::CreateTrayIcon()
{
    // The application's icon, which the windows show as well: one icon, built once, when it is
    // first drawn.
    const QIcon applicationIcon = QGuiApplication::windowIcon();
    TrayIcon
        = new QSystemTrayIcon(applicationIcon.isNull() ? QuilletIcon() : applicationIcon, this);
    TrayIcon->setToolTip(QStringLiteral("Quillet"));
    // No context menu is set on the icon: the right press is handled by TrayMessage, which also
    // ignores it while the own-name dialog is open.
    QObject::connect(TrayIcon, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) { TrayMessage(reason); });
    TrayIcon->show();
}

void TMainForm::CreatePhonebook()
{
    Phonebook = std::make_unique<TMainFormPhonebook>(SettingsFile,
        TPhonebookControls { *UsersListingBox, *EditLabel, *DeleteLabel, *DialButton }, Prompts,
        [this](QDialog& dialog) { Uses.RunModal(dialog); });
    Phonebook->SetEditRecord(Uses.EditRecord);
    Phonebook->SetDial(Uses.Dial);
    TMainFormPhonebook& handlers = *Phonebook;
    AddLabel->OnClick
        = [this, &handlers] { RunPhonebookHandler([&] { handlers.AddLabelClick(); }); };
    EditLabel->OnClick
        = [this, &handlers] { RunPhonebookHandler([&] { handlers.EditLabelClick(); }); };
    DeleteLabel->OnClick
        = [this, &handlers] { RunPhonebookHandler([&] { handlers.DeleteLabelClick(); }); };

    SettingsWatcher
        = std::make_unique<TSettingsWatcher>(SettingsFile, [this] { SettingsFileChanged(); });
    Phonebook->SetErrorReporter(
        [this](const std::exception_ptr& error) { ShowErrorBox(Prompts, error); });

    // The start goes on whatever the file holds. What it found is shown in the background once
    // the event loop runs: a program starting with the session must not take the keyboard.
    const TPhonebook::TReadReport report = Phonebook->LoadUsers();
    if (const std::optional<std::string> problem = profile::FileProblem(SettingsFile)) {
        ShowAtStart("Quillet cannot use its settings file " + SettingsFile.string() + ": "
                + *problem
                + ". It runs without your name and phonebook and writes nothing there until that "
                  "is mended.",
            IPromptService::TNotice::Message);
    }
    if (report.ConversionError)
        ShowAtStart(ErrorBoxText(*report.ConversionError), IPromptService::TNotice::Error);
    if (report.Repaired)
        ShowAtStart(*report.Repaired, IPromptService::TNotice::Message);
}

void TMainForm::SettingsFileChanged()
{
    // Another program wrote the file (or this one did: each part compares with what it read).
    Phonebook->SettingsFileChanged();
    VisibleNearbyItem->setChecked(settings::VisibleNearby(SettingsFile));
    if (Uses.NearbySettingsChanged)
        Uses.NearbySettingsChanged();
}

void TMainForm::ShowAtStart(const std::string& text, IPromptService::TNotice kind)
{
    QTimer::singleShot(0, this, [this, text, kind] { Prompts.ShowInBackground(text, kind); });
}

void TMainForm::RunPhonebookHandler(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
        ShowErrorBox(Prompts, std::current_exception());
    }
}

void TMainForm::ShowMainForm()
{
    if (isMinimized())
        showNormal();
    show();
    BringToFront();
}

void TMainForm::ShowWithoutFocus()
{
    ShowingWithoutFocus = true;
    ShowWithoutActivating(*this);
    ShowingWithoutFocus = false;
}

bool TMainForm::ActivateFromSecondCopy()
{
    ShowMainForm();
    return isVisible() && !isMinimized();
}

void TMainForm::FormShow()
{
    PlaceTopRight(*this, 140, 5);
}

void TMainForm::BringToFront()
{
    raise();
    activateWindow();
    setFocus();
}

void TMainForm::FormResize()
{
    const TMainFormLayout layout = FormResizeLayout(Client->size());
    UsersListingBox->setGeometry(layout.UsersListingBox);
    for (TLinkLabel* label : { AddLabel, EditLabel, DeleteLabel })
        label->move(label->x(), layout.LabelsTop);
    DialButton->setGeometry(layout.DialButton);
}

bool TMainForm::FormCloseQuery()
{
    const bool allowed = ExitRequested || !isActiveWindow();
    ExitRequested = allowed;
    return allowed;
}

void TMainForm::TrayMessage(QSystemTrayIcon::ActivationReason reason)
{
    // While the own-name dialog is open the main window must neither appear nor vanish behind it.
    if (Uses.SetupForm != nullptr && Uses.SetupForm->isVisible())
        return;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (isVisible())
            hide();
        else
            ShowMainForm();
        break;
    case QSystemTrayIcon::Context:
        PopupMenu1->popup(QCursor::pos());
        break;
    default:
        // Releases, double clicks and the middle button do nothing: a double click has
        // already toggled the window on its first press.
        break;
    }
}

void TMainForm::ShowMenuClick()
{
    ShowMainForm();
}

void TMainForm::HideMenuClick()
{
    hide();
}

void TMainForm::SetupItemClick()
{
    if (Uses.SetupForm == nullptr)
        return;
    Uses.RunModal(*Uses.SetupForm);
    if (Uses.NearbySettingsChanged)
        Uses.NearbySettingsChanged();
}

void TMainForm::PeopleNearbyItemClick()
{
    if (Uses.ShowPeopleNearby)
        Uses.ShowPeopleNearby();
}

void TMainForm::VisibleNearbyItemClick()
{
    // The action has checked itself already; what the file holds decides.
    const bool visible = VisibleNearbyItem->isChecked();
    if (!settings::WriteVisibleNearby(SettingsFile, visible)) {
        VisibleNearbyItem->setChecked(!visible);
        Prompts.ShowError(ErrorBoxText(settings::WriteFailureText(SettingsFile)));
        return;
    }
    if (Uses.NearbySettingsChanged)
        Uses.NearbySettingsChanged();
}

void TMainForm::AddNearbyContact(
    const std::string& name, const std::string& address, const std::string& port)
{
    RunPhonebookHandler(
        [&] { Phonebook->AddContactWithEditor(name, address, port, NewContactStyle); });
}

void TMainForm::About1Click()
{
    if (Uses.AboutForm != nullptr)
        Uses.RunModal(*Uses.AboutForm);
}

void TMainForm::Exit1Click()
{
    ExitRequested = true;
    close();
}

bool TMainForm::EndSessionQuery()
{
    ExitRequested = true;
    return FormCloseQuery();
}

void TMainForm::ShowChatForm()
{
    if (Uses.ChatForm == nullptr || !Uses.ChatTabCount || Uses.ChatTabCount() <= 0)
        return;
    Uses.ChatForm->show();
    Uses.ChatForm->raise();
    Uses.ChatForm->activateWindow();
}

void TMainForm::OfferAddUser(const std::string& name, const std::string& address, TChatStyle style)
{
    Phonebook->OfferAddUser(name, address, style);
}

void TMainForm::ShowListenState(bool listening, const std::string& reason)
{
    if (TrayIcon == nullptr)
        return;
    if (listening) {
        TrayIcon->setToolTip(QStringLiteral("Quillet"));
        return;
    }
    TrayIcon->setToolTip(QStringLiteral("Quillet - not answering calls on port %1: %2")
                             .arg(settings::DefaultPort)
                             .arg(QString::fromStdString(reason)));
}

void TMainForm::CloseAllChats()
{
    if (Uses.CloseAllChats)
        Uses.CloseAllChats();
}

void TMainForm::HighLightLabel(TLinkLabel& label)
{
    label.SetTextColor(LabelHoverColour);
}

void TMainForm::UnHighLightLabel(TLinkLabel& label)
{
    label.SetTextColor(LabelColour);
}

std::string TMainForm::GetUserNameFromIni() const
{
    return settings::OwnName(SettingsFile);
}

void TMainForm::CheckUserName()
{
    // A settings path that is no usable file can store no name: the start says so, and the
    // program runs under the default name rather than asking for ever.
    if (profile::FileProblem(SettingsFile))
        return;
    // The file is read again after every showing: only a name really stored ends the loop.
    while (!Closed && GetUserNameFromIni().empty()) {
        if (Uses.SetupForm == nullptr)
            return;
        Uses.RunModal(*Uses.SetupForm);
    }
}

void TMainForm::setVisible(bool visible)
{
    // Every way of showing the window ends here. Only a change from hidden to visible places it
    // (restoring a minimised window does not), and the placing comes before the window appears.
    const bool appearing = visible && isHidden();
    if (appearing && !FittedToFonts)
        FitToFonts();
    if (appearing)
        Placer.BeforeShow(*this);
    else if (!visible)
        Placer.Hidden();
    QMainWindow::setVisible(visible);
    if (appearing) {
        Placer.AfterShowOrMove(*this);
        if (ShowingWithoutFocus)
            raise();
        else
            BringToFront();
    }
}

void TMainForm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    Placer.AfterShowOrMove(*this);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (FormCloseQuery()) {
        event->accept();
        Closed = true;
        Uses.OnCloseAccepted();
        return;
    }
    event->ignore();
    if (HasTray)
        hide();
    else
        showMinimized();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Client && event->type() == QEvent::Resize)
        FormResize();
    else if (watched == UsersListingBox && event->type() == QEvent::Enter)
        ShowChatForm();
    return QMainWindow::eventFilter(watched, event);
}

} // namespace quillet
