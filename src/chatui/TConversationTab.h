#pragma once

#include "chatui/ConversationFile.h"
#include "chatui/ConversationTabControls.h"
#include "chatui/TAttentionBlink.h"
#include "chatui/TAttentionWatch.h"
#include "chatui/TPaneText.h"
#include "chatui/TTabSheet.h"
#include "net/ConversationView.h"
#include "platform/TickSource.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAccessibleEvent;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillet {

class TChatForm;
class TRichPane;
class TSkinData;
class TTypingPaneEditor;

// What a conversation tab needs from outside the chat window.
struct TConversationTabHooks {
    // Flashes the program's taskbar entry `count` times. Default: the window system's attention
    // request on the chat window for count × 400 ms; it ends by itself when the window is
    // activated.
    std::function<void(QWidget* window, int count)> FlashTaskbar;
    // Ends that request early. Default: the window system's.
    std::function<void(QWidget* window)> StopFlashing;
    // Shows the main window without taking the keyboard: an incoming call brings it forward
    // together with the chat window.
    std::function<void()> ShowMainWindow;
    // Tells the accessibility layer (screen readers) of what arrived in the transcript. Default:
    // the chat window's announcement, passed on only while an assistive technology listens.
    std::function<void(QAccessibleEvent& event)> Announce;
    // Where "Save Conversation…" saves to. Default: the desktop's file dialog.
    TChooseSaveFile ChooseSaveFile = {};
};

// One conversation's tab in the chat window: its sheet, its eleven controls, the text panes and
// what the user's keys and clicks do there. The conversation drives it through
// IConversationView; bytes go out through the conversation's protocol engine.
//
// What the peer sends reaches the text panes at once, in order. The rest of the window (the
// typing notice, the marked choice, the controls' layout and colours for a new style, scrolling
// and the screen reader's announcement of arrived text) follows once per pass of the event loop,
// with the state the pass left: a peer that sends a thousand style signals in a row costs one
// relayout, not a thousand.
//
// Main thread only. Destroying the tab removes its page from the chat window at once.
class TConversationTab final : public IConversationView {
public:
    using TControls = TConversationTabControls;

    // The text attributes of transcript entries.
    struct TFonts {
        QTextCharFormat OwnText;
        QTextCharFormat OwnLabel;
        QTextCharFormat PeerText;
        QTextCharFormat PeerLabel;
        QTextCharFormat Preview;
        QTextCharFormat Notice;
    };

    // Builds the sheet and its controls in `form`'s tab control. `ownName` is UTF-8. `skin`
    // may be null.
    TConversationTab(TChatForm& form, IConversationOwner& owner, const std::string& ownName,
        TSkinData* skin, const ITickSource& ticks, TConversationTabHooks hooks = {});
    ~TConversationTab() override;

    TConversationTab(const TConversationTab&) = delete;
    TConversationTab& operator=(const TConversationTab&) = delete;

    // IConversationDisplay
    void PeerNameCompleted(const std::string& name) override;
    void AppendPeerText(std::string_view text, bool labelAtLineStart) override;
    void EraseTranscriptChar() override;
    void TranscriptNewLine() override;
    void SetTypingNotice(const std::string& text) override;
    void AppendPreviewText(std::string_view text) override;
    void ErasePreviewChar() override;
    void CommitPreviewLine() override;
    void SwitchStyle(TChatStyle from, TChatStyle to) override;
    void ShowMarkedChoice(TChatStyle style) override;
    void ChunkDone() override;
    void DrawAttention() override;

    // IConversationView
    void WriteStatusLine(const std::string& text) override;
    void ClearTranscript() override;
    void ShowConnectionInfo(const std::string& text) override;
    void ShowAsDialed() override;
    void ShowPeerAddress(const std::string& address, const std::string& port) override;
    void RefreshControls() override;
    void ShowEnded() override;

    // A look at the attention: it blinks, and it ends once the user sees the tab in the window
    // in front. Runs by itself while the tab is lit (TAttentionWatch). False once it is not lit.
    bool AttentionTick();

    // Positions and sizes for the present style and sheet size; also runs on every resize.
    void LayoutTab();
    // Brings the window up to date with what the received bytes changed now, rather than at the
    // end of the event loop's pass.
    void ApplyPendingUpdate();
    bool UpdatePending() const { return UpdatePosted; }
    // Gives the typing pane the keyboard, but only while this tab is the one shown.
    void FocusLocalPane();

    // Appends a label part (label + ": ") and a text part, each only when its format is given
    // and its text is not empty, then optionally ends the line.
    void AppendEntry(TPaneText& pane, const QString& label, const QString& text,
        const QTextCharFormat* labelFormat, const QTextCharFormat* textFormat, bool newLine);
    void EnsureLineBreak(TPaneText& pane);
    void EraseLastChar(TPaneText& pane);
    void ScrollToCaret(TRichPane& pane);

    // `byMouse`: a click, rather than Enter pressing the button.
    void SendButtonClick(bool byMouse);
    void DisconnectButtonClick();

    void ClearAttention();
    void StopAttention();
    void FlashTaskbar(int count);

    TTabSheet* Sheet() const { return SheetWidget.data(); }
    // The tab's controls; the panes are made now if the tab has not been shown yet.
    const TControls& Controls();
    // The panes are made (the tab has been shown, or something needed them).
    bool PanesMade() const { return Ui.Transcript != nullptr; }
    // What the panes show, whether they are made or not.
    const TConversationTabTexts& Texts() const { return PaneTexts; }
    const TFonts& Fonts() const { return EntryFonts; }
    TChatStyle Style() const { return CurrentStyle; }
    QString PeerName() const { return PeerNameText; }
    QString PeerAddress() const { return PeerAddressText; }
    QString PeerPort() const { return PeerPortText; }
    QString OwnName() const { return OwnNameText; }
    bool AttentionActive() const { return Blink.Active(); }
    int ToggleCount() const { return Blink.Toggles(); }

    // What the panes keep, in characters: a peer sending without end costs bounded memory. The
    // transcript drops its oldest lines, the preview line and the typing pane their oldest text.
    static constexpr int MaxTranscriptChars = 2 << 20;
    static constexpr int MaxPreviewChars = 32 << 10;
    static constexpr int MaxTypingChars = 64 << 10;

    static constexpr int MaxToggles = TAttentionBlink::MaxToggles;
    // How many times the taskbar entry flashes for a line that wants attention.
    static constexpr int FlashCount = 10;

private:
    void BuildTab();
    void ConnectControls();
    // Makes the panes, with the state they would have had from the start.
    void MakePanes();
    // The panes' read-only state, visibility, wrapping and colours from the tab's state.
    void ApplyPaneStates();
    // The panes' descriptions for screen readers, naming the other side.
    void DescribePanes();
    void ChoiceClicked(TChatStyle style);
    QRadioButton* Choice(TChatStyle style) const;
    bool IsShown() const;
    void SetTypingCaption(const QString& caption);
    // Tells screen readers of `text`, just appended to the transcript.
    void AnnounceAppended(const QString& text);
    // The tab's caption and tool tip from what is known of the peer: its name, else its address.
    void ShowPeer();
    void NoteArrival();
    // Asks for ApplyPendingUpdate at the end of this pass of the event loop.
    void ScheduleUpdate();
    // `text` as the user's line: into the transcript, out by the style's rule (the pane's line
    // end has gone out already, unless the line was sent by a click); the pane is emptied.
    void SendOwnLine(const QString& text, bool byMouse);

    TChatForm& Form;
    IConversationOwner& Owner;
    const ITickSource& Ticks;
    TConversationTabHooks Hooks;
    const QString OwnNameText;
    QString PeerNameText;
    QString PeerAddressText;
    QString PeerPortText;
    // Where the other side's text that arrived in the chunk being shown starts in the
    // transcript; -1 when none did.
    int ArrivalStart = -1;
    qint64 ArrivalRemoved = 0; // the transcript's RemovedChars when ArrivalStart was taken
    TFonts EntryFonts;
    QTextCharFormat StatusFormat;
    TSkinData* Skin;
    TConversationTabTexts PaneTexts { std::make_shared<TPaneText>(), std::make_shared<TPaneText>(),
        std::make_shared<TPaneText>() };
    // What the user's edits of the typing pane do.
    std::unique_ptr<TTypingPaneEditor> Typing;
    // The panes' state, kept also while they are not made.
    // The typing pane takes edits (and the panes are white) while the conversation stands.
    bool LocalReadOnly = true;

    // Context of every signal connection to this object: connections end with it, even while
    // the sheet outlives the tab until its deferred deletion.
    QObject Connections;
    QPointer<TTabSheet> SheetWidget;
    TControls Ui;

    TChatStyle CurrentStyle = TChatStyle::Realtime;
    // What the next ApplyPendingUpdate does.
    bool UpdatePosted = false;
    bool RefreshDue = false;
    bool LayoutDue = false;
    bool ScrollDue = false;
    // When the last update was applied: a chunk after a quiet spell is shown at once.
    std::optional<TTick> LastUpdateTick;
    std::optional<QString> CaptionDue;
    std::optional<TChatStyle> MarkDue;
    // When the button became "Close": a click within a double-click interval of that belongs to
    // a double click on "Disconnect" and is ignored.
    std::optional<TTick> CloseShownTick;
    TAttentionBlink Blink { Ticks };
    TAttentionWatch AttentionWatch;
};

} // namespace quillet
