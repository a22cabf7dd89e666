#pragma once

// The chat window the documentation shows, for its pictures and for the repaint benchmark: two
// conversations with text in them, Bob's in Realtime and Carol's in IM with preview.

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "support/ConversationRig.h"

#include <QString>

namespace quillet::testing {

// Types `text` into the tab's typing pane, a line break as Enter.
inline void TypeInto(TConversationRig& rig, const char* text)
{
    for (const QChar ch : QString::fromUtf8(text))
        rig.Tab->Controls().LocalPane->TypeChar(ch == u'\n' ? U'\r' : ch.unicode());
}

struct TChatWindowScene {
    TChatWindowScene(TChatForm& form, const ITickSource& ticks)
        : Form(form)
        , Bob(form, ticks)
        , Carol(form, ticks)
    {
        Bob.Greet("Bob Miller");
        Bob.Tab->ShowConnectionInfo("IP: 192.168.1.20 -- PORT: 2323");
        Bob.Tab->RefreshControls();
        Bob.Owner.Engine.ProcessIncoming(
            "Hi Alice! Did you get the photos from Saturday?\r"
            "The one at the lake came out really well, I think we shoud\x08ld print it.");
        TypeInto(Bob,
            "Yes, they arrived this morning. The lake one is my favourite too!\n"
            "Let's print it for Mum");

        Carol.Greet("Carol");
        Carol.Tab->ShowConnectionInfo("IP: 10.0.0.7 -- PORT: 2323");
        Carol.Tab->RefreshControls();
        Carol.Owner.Engine.ProcessIncoming("Hi Alice, switching to preview\r\xFC");
        Carol.Owner.Engine.ProcessIncoming("Morning! Are we still on for lunch today?\r");
        form.Tabs().SetActivePage(Carol.Tab->Sheet());
        Carol.Tab->RefreshControls();
        TypeInto(Carol, "Sure, half past twelve at the usual place?\n");
        Carol.Owner.Engine.ProcessIncoming("Perfect. I'll bring the tickets for Friday\r");
        Carol.Owner.Engine.ProcessIncoming("Could you ask Bob if he wants to come alo");
        TypeInto(Carol,
            "I'll ask him right away, and I'll tell him to bring the umbrella this time, the "
            "forecast says ra");
        ShowRealtime();
    }

    // Bob's conversation in front; Carol's tab asks for attention.
    void ShowRealtime()
    {
        Form.Tabs().SetActivePage(Bob.Tab->Sheet());
        Form.SetActiveSheet(Bob.Tab->Sheet());
        Bob.Tab->RefreshControls();
        Carol.Tab->DrawAttention();
    }

    // Carol's conversation in front.
    void ShowPreview()
    {
        Form.Tabs().SetActivePage(Carol.Tab->Sheet());
        Form.SetActiveSheet(Carol.Tab->Sheet());
        Carol.Tab->ClearAttention();
        Carol.Tab->RefreshControls();
    }

    TChatForm& Form;
    TConversationRig Bob;
    TConversationRig Carol;
};

} // namespace quillet::testing
