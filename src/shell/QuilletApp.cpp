#include "shell/QuilletApp.h"

#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "nearby/TDeferredNearbyService.h"
#include "nearby/avahi/TAvahiNearby.h"
#include "net/TChatServer.h"
#include "phonebook/TEditRecord.h"
#include "phonebook/TUsersListingBox.h"
#include "platform/ExceptionText.h"
#include "platform/ProcessLimits.h"
#include "platform/ProfileFile.h"
#include "platform/qt/QtMainThreadDispatcher.h"
#include "settings/Settings.h"
#include "shell/CommandLine.h"
#include "shell/ErrorBox.h"
#include "shell/Forms.h"
#include "shell/InstalledTree.h"
#include "shell/SettingsPath.h"
#include "shell/ShellIcon.h"
#include "shell/ShippedDocument.h"
#include "shell/Shutdown.h"
#include "shell/TAboutForm.h"
#include "shell/TMainForm.h"
#include "shell/TOwnNameReader.h"
#include "shell/TPeopleNearby.h"
#include "shell/TQuilletApplication.h"
#include "shell/TSetupForm.h"
#include "shell/TSingleInstance.h"
#include "shell/TTerminationSignal.h"

#include <QLineEdit>
#include <QPixmapCache>
#include <QSessionManager>
#include <QSystemTrayIcon>

#include <chrono>
#include <memory>

namespace quillet {

TMainForm* MainForm = nullptr;
TSetupForm* SetupForm = nullptr;
TAboutForm* AboutForm = nullptr;
TChatForm* ChatForm = nullptr;
TEditRecord* EditRecord = nullptr;
TChatServer* ChatServer = nullptr;

namespace {

using namespace std::chrono_literals;

// How long a second copy waits for the running copy to connect and answer.
constexpr auto ActivationTimeout = 1500ms;
// How long the end of the program waits for worker threads.
constexpr auto ThreadExitLimit = 2000ms;

// The program's windows. The main window is made last, since it is given the others, and
// destroyed last, so that no window outlives the one the others may still refer to.
struct TWindows {
    std::unique_ptr<TMainForm> Main;
    std::unique_ptr<TSetupForm> Setup;
    std::unique_ptr<TAboutForm> About;
    std::unique_ptr<TChatForm> Chat;
    std::unique_ptr<TEditRecord> Edit;

    ~TWindows()
    {
        EditRecord = nullptr;
        Edit.reset();
        ChatForm = nullptr;
        Chat.reset();
        AboutForm = nullptr;
        About.reset();
        SetupForm = nullptr;
        Setup.reset();
        MainForm = nullptr;
        Main.reset();
    }
};

// The conversations: the listener, the context every conversation gets, and the factory of
// their tabs. Made after the windows (no event is handled before both exist) and ended before
// the windows are destroyed.
class TConversations {
public:
    // `listenPortChanged`: the port calls are answered on, 0 while they are not.
    TConversations(const std::filesystem::path& settingsPath, TShutdownSteps& shutdown,
        const TTerminationSignal& termination,
        std::function<void(std::uint16_t port)> listenPortChanged)
        : OwnName(settingsPath, std::string(settings::DefaultUserName))
        , Tabs(*ChatForm, MainForm->SkinData1, TSteadyTickSource::Instance(),
              TConversationTabHooks { {}, {}, [] { MainForm->ShowWithoutFocus(); }, {} })
        , Context { Dispatcher, Tabs, TSteadyTickSource::Instance(),
            [this] { return OwnName.Read(); },
            [&termination](const std::string& name, const std::string& address, TChatStyle style) {
                // Once the program is ending nothing more is asked: the question could not be
                // answered, and a crowd of ending conversations would only fill the queue of
                // questions the end has to get past.
                if (!MainForm->CloseAccepted() && !termination.Requested())
                    MainForm->OfferAddUser(name, address, style);
            },
            // The conversation failed on its own, not at the user's doing: the box must not
            // take the keyboard.
            [](const std::exception_ptr& error) {
                if (auto* app = dynamic_cast<TQuilletApplication*>(QCoreApplication::instance())) {
                    app->PromptService().ShowInBackground(
                        ErrorBoxText(ExceptionText(error)), IPromptService::TNotice::Error);
                }
            } }
    {
        TChatServerHooks hooks;
        hooks.ShowChatWindow = [](bool dialed) { ChatForm->ShowForCall(dialed); };
        hooks.HideChatWindow = [] {
            ChatForm->hide();
            // The pictures the skin composed for every size the window took (a crowd's tabs
            // make it grow) are not needed until it shows again.
            QPixmapCache::clear();
        };
        hooks.ListenStateChanged = [this, portChanged = std::move(listenPortChanged)](
                                       bool listening, const std::string& reason) {
            MainForm->ShowListenState(listening, reason);
            portChanged(listening ? static_cast<std::uint16_t>(Server->ListeningPort()) : 0);
        };
        Server = std::make_unique<TChatServer>(Context, std::move(hooks));
        ChatServer = Server.get();
        // At exit every conversation ends without questions, within the threads' time limit.
        shutdown.Add([this] {
            // Hidden, the window lays out and draws none of the tabs on their way out: removing
            // the tab in front would otherwise show the next one, just to remove it too.
            ChatForm->hide();
            Server->StopAndWait([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); },
                ThreadExitLimit);
        });
        Server->Start();
    }
    ~TConversations() { ChatServer = nullptr; }

private:
    TOwnNameReader OwnName;
    TQtMainThreadDispatcher Dispatcher;
    TChatTabFactory Tabs;
    TConversationContext Context;
    std::unique_ptr<TChatServer> Server;
};

// People Nearby: the discovery daemon's client, made when first needed, and the window.
class TNearby {
public:
    explicit TNearby(const std::filesystem::path& settingsPath)
        : Service([this] { return std::make_unique<TAvahiNearby>(Dispatcher); })
        , People(Service, settingsPath, Hooks())
    {
    }

    TPeopleNearby& Feature() { return People; }

private:
    static TPeopleNearby::THooks Hooks()
    {
        TPeopleNearby::THooks hooks;
        // Calls go the way Dial in the phonebook sends them.
        hooks.Dial = [](const std::string& address, const std::string& port, TChatStyle style) {
            if (ChatServer != nullptr)
                ChatServer->RequestCall(address, port, style);
        };
        hooks.ContactStyle = [](const std::string& name) -> std::optional<TChatStyle> {
            const TUserRecordType* contact
                = MainForm->PhonebookHandlers().Phonebook().FindUser(name);
            if (contact == nullptr)
                return std::nullopt;
            return contact->Style;
        };
        hooks.Contacts = [] {
            std::vector<TNearbyContact> contacts;
            for (const TUserRecordType& user : MainForm->PhonebookHandlers().Phonebook().UsersList)
                contacts.push_back({ user.Name, user.IPAddress, user.Port });
            return contacts;
        };
        hooks.AddToPhonebook
            = [](const std::string& name, const std::string& address, const std::string& port) {
                  MainForm->AddNearbyContact(name, address, port);
              };
        return hooks;
    }

    TQtMainThreadDispatcher Dispatcher;
    TDeferredNearbyService Service;
    TPeopleNearby People;
};

// Desktops without a tray (and headless runs) can still be tested as if they had one.
bool TrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable()
        || qEnvironmentVariableIntValue("QUILLET_ASSUME_TRAY") != 0;
}

void CreateWindows(TWindows& windows, const std::filesystem::path& settingsPath,
    IPromptService& prompts, TPeopleNearby& nearby)
{
    windows.Setup = std::make_unique<TSetupForm>(settingsPath);
    SetupForm = windows.Setup.get();
    windows.About = std::make_unique<TAboutForm>(settingsPath,
        ShippedDocumentPath(QStringLiteral("README.md")),
        ShippedDocumentPath(QStringLiteral("LICENSE")), prompts);
    AboutForm = windows.About.get();
    windows.Chat = std::make_unique<TChatForm>();
    ChatForm = windows.Chat.get();
    windows.Edit = std::make_unique<TEditRecord>();
    EditRecord = windows.Edit.get();

    TMainFormDependencies uses;
    uses.SetupForm = SetupForm;
    uses.AboutForm = AboutForm;
    uses.ChatForm = ChatForm;
    uses.ChatTabCount = [] { return ChatForm->TabCount(); };
    uses.EditRecord = EditRecord;
    // The listener is made after the windows and ended before them.
    uses.Dial = [](const std::string& address, const std::string& port, TChatStyle style) {
        if (ChatServer != nullptr)
            ChatServer->RequestCall(address, port, style);
    };
    uses.CloseAllChats = [] {
        if (ChatServer != nullptr)
            ChatServer->CloseAll();
    };
    uses.ShowPeopleNearby = [&nearby] { nearby.ShowForm(); };
    uses.NearbySettingsChanged = [&nearby] { nearby.SettingsChanged(); };
    windows.Main
        = std::make_unique<TMainForm>(settingsPath, TrayAvailable(), prompts, std::move(uses));
    MainForm = windows.Main.get();
    // People Nearby weighs its rows against the phonebook, and every change of the phonebook
    // refills the main window's list.
    QObject::connect(MainForm->UsersListingBox->model(), &QAbstractItemModel::modelReset, MainForm,
        [&nearby] { nearby.PhonebookChanged(); });
    ChatForm->SetMainFormHooks(
        [] { return MainForm->ExitRequested; }, [] { MainForm->CloseAllChats(); });
}

} // namespace

int RunQuillet(int argc, char** argv)
{
    const QString runtimeFolder = TSingleInstance::UserRuntimeFolder();
    TSingleInstance instance(runtimeFolder);
    if (!instance.TryBecomeFirstCopy()) {
        // Whatever the answer, this copy's work is done; a failed delivery is not an error.
        TSingleInstance::Request(runtimeFolder, "activate", ActivationTimeout);
        return 0;
    }

    TQuilletApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillet"));
    // Lets the desktop match the windows with the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(DesktopId());
    QApplication::setWindowIcon(QuilletIcon());
    // The main window decides when the program ends; hidden dialogs and a hidden main window
    // must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    // Every conversation holds a connection: let the program have as many as the system allows.
    RaiseOpenFileLimit();
    const std::filesystem::path settingsPath = ResolveSettingsPathForThisProgram();
    // Saves cut short by a crash or a kill leave their temporary files; this copy is the only
    // one of this user that saves, so any there now is stale.
    profile::RemoveStaleTemporaries(settingsPath);
    // Before the windows, which are given it, and ended after them.
    TNearby nearby(settingsPath);
    TWindows windows;
    CreateWindows(windows, settingsPath, app.PromptService(), nearby.Feature());
    // Before the conversations, which look at it to step aside for an end by signal.
    const TTerminationSignal termination([] {
        MainForm->ExitRequested = true;
        MainForm->close();
    });
    TShutdownSteps shutdown;
    // First at exit: nobody nearby should find a copy that no longer answers.
    shutdown.Add([&nearby] { nearby.Feature().Withdraw(); });
    TConversations conversations(settingsPath, shutdown, termination,
        [&nearby](std::uint16_t port) { nearby.Feature().ListenPortChanged(port); });
    bool showMainForm
        = HasShowArgument(QApplication::arguments().mid(1)) || !MainForm->TrayAvailable();

    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, MainForm, [](QSessionManager& manager) {
            if (!MainForm->EndSessionQuery())
                manager.cancel();
        });
    // No event is handled before the event loop or the own-name dialog runs, so an activation
    // always finds every window made.
    instance.Listen([] { MainForm->ActivateFromSecondCopy(); },
        [] { return MainForm->isVisible() && !MainForm->isMinimized(); });

    // The own-name dialog read the stored name into its field a moment ago, and nothing can have
    // stored another since (no event has been handled yet): the start does not parse the settings
    // file once more for it, which a full phonebook makes cost milliseconds.
    if (SetupForm->NameEdit->text().isEmpty()) {
        MainForm->CheckUserName();
        showMainForm = true;
    }
    if (!MainForm->CloseAccepted()) {
        if (showMainForm)
            MainForm->ShowMainForm();
        QApplication::exec();
    }

    instance.StopListening();
    shutdown.Run();
    WaitForWorkerThreads(ThreadExitLimit);
    return 0;
}

} // namespace quillet
