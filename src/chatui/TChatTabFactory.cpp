#include "chatui/TChatTabFactory.h"

namespace quillet {

TChatTabFactory::TChatTabFactory(
    TChatForm& form, TSkinData* skin, const ITickSource& ticks, TConversationTabHooks hooks)
    : Form(form)
    , Skin(skin)
    , Ticks(ticks)
    , Hooks(std::move(hooks))
{
}

std::unique_ptr<IConversationView> TChatTabFactory::CreateView(IConversationOwner& owner)
{
    // The name the conversation greets with, read when it was created; the tab labels the
    // user's own lines with it.
    return std::make_unique<TConversationTab>(Form, owner, owner.OwnName(), Skin, Ticks, Hooks);
}

} // namespace quillet
