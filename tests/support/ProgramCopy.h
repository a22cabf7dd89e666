#pragma once

// One copy of the program's conversation side in a test or benchmark process: chat window, the
// real tab factory (remembering every tab it makes) and a listener on an ephemeral loopback port.
// Several copies in one process call each other as two programs would.

#include "chatui/TChatForm.h"
#include "chatui/TChatTabFactory.h"
#include "chatui/TConversationTab.h"
#include "chatui/TPageControl.h"
#include "chatui/TTabSheet.h"
#include "net/TChatServer.h"
#include "support/AnsweringPrompts.h"

#include <QCoreApplication>
#include <QPointer>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

// The real tab factory, remembering every tab it made so that callers can type into it and read
// its panes.
class TTabTracker final : public IConversationViewFactory {
public:
    TTabTracker(TChatForm& form, const ITickSource& ticks)
        : Real(form, nullptr, ticks)
    {
    }

    std::unique_ptr<IConversationView> CreateView(IConversationOwner& owner) override
    {
        auto view = Real.CreateView(owner);
        auto* tab = dynamic_cast<TConversationTab*>(view.get());
        Tabs.push_back(tab);
        Sheets.emplace_back(tab != nullptr ? tab->Sheet() : nullptr);
        if (tab != nullptr && OnCreated)
            OnCreated(*tab);
        return view;
    }

    // The tab while it is in the chat window (a removed tab leaves the window at once, its sheet
    // only later); null otherwise.
    TConversationTab* Tab(std::size_t index) const
    {
        if (index >= Tabs.size() || Sheets[index].isNull()
            || Sheets[index]->PageControl() == nullptr)
            return nullptr;
        return Tabs[index];
    }
    std::size_t Made() const { return Tabs.size(); }
    // Tabs from `from` on whose peer has completed its greeting.
    std::size_t Greeted(std::size_t from = 0) const
    {
        std::size_t n = 0;
        for (std::size_t i = from; i < Tabs.size(); ++i) {
            if (const TConversationTab* tab = Tab(i); tab != nullptr && !tab->PeerName().isEmpty())
                ++n;
        }
        return n;
    }
    bool AllSheetsGone() const
    {
        return std::all_of(
            Sheets.begin(), Sheets.end(), [](const auto& sheet) { return sheet.isNull(); });
    }

    std::function<void(TConversationTab&)> OnCreated;
    std::vector<TConversationTab*> Tabs; // valid while the matching sheet lives
    std::vector<QPointer<TTabSheet>> Sheets;

private:
    TChatTabFactory Real;
};

class TProgramCopy {
public:
    // Returns once the listener listens (or after five seconds).
    TProgramCopy(IMainThreadDispatcher& dispatcher, std::string ownName,
        const ITickSource& ticks = TSteadyTickSource::Instance(), TCallLimits limits = {})
        : Views(Form, ticks)
        , Context { dispatcher, Views, ticks, [name = std::move(ownName)] { return name; },
            [this](const std::string& peer, const std::string& address, TChatStyle style) {
                Offers.push_back(peer);
                if (OfferHook)
                    OfferHook(peer, address, style);
            } }
    {
        Context.Limits = limits;
        Form.SetPromptService(&Prompts);
        TChatServerHooks hooks;
        hooks.ShowChatWindow = [this](bool dialed) { Form.ShowForCall(dialed); };
        hooks.HideChatWindow = [this] { Form.hide(); };
        hooks.ListenStateChanged
            = [this](bool, const std::string& reason) { ListenReasons.push_back(reason); };
        Server = std::make_unique<TChatServer>(Context, hooks, "127.0.0.1", "0");
        Form.SetMainFormHooks([] { return false; }, [this] { Server->CloseAll(); });
        Server->Start();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Server->ListeningPort() == 0 && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ~TProgramCopy()
    {
        Server->StopAndWait([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); },
            std::chrono::seconds(10));
        Server.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TProgramCopy(const TProgramCopy&) = delete;
    TProgramCopy& operator=(const TProgramCopy&) = delete;

    int Port() const { return Server->ListeningPort(); }
    // The tab made `index`-th; it must exist.
    TConversationTab& Tab(std::size_t index) { return *Views.Tabs.at(index); }
    bool TabAlive(std::size_t index) const { return Views.Tab(index) != nullptr; }
    // No conversation is left, not even one still ending.
    bool Idle() const
    {
        return Server->ConversationCount() == 0 && Context.LiveConversations.load() == 0;
    }

    TAnsweringPrompts Prompts;
    TChatForm Form;
    TTabTracker Views;
    TConversationContext Context;
    std::unique_ptr<TChatServer> Server;
    std::vector<std::string> Offers; // peers offered for the phonebook, in order
    // Where the offers go besides (a phonebook's OfferAddUser), main thread.
    std::function<void(const std::string& peer, const std::string& address, TChatStyle style)>
        OfferHook;
    // Why calls were not answered, each time that changed ("" once they are answered again).
    std::vector<std::string> ListenReasons;
};

} // namespace quillet::testing
