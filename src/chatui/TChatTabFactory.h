#pragma once

#include "chatui/TConversationTab.h"
#include "net/ConversationView.h"

namespace quillet {

class TChatForm;
class TSkinData;

// Makes each new conversation's tab in the chat window (main thread).
class TChatTabFactory final : public IConversationViewFactory {
public:
    // `skin` may be null. The form, the skin and the tick source outlive every tab made here.
    TChatTabFactory(TChatForm& form, TSkinData* skin, const ITickSource& ticks,
        TConversationTabHooks hooks = {});

    std::unique_ptr<IConversationView> CreateView(IConversationOwner& owner) override;

private:
    TChatForm& Form;
    TSkinData* Skin;
    const ITickSource& Ticks;
    TConversationTabHooks Hooks;
};

} // namespace quillet
