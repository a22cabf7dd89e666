#include "chatui/TConversationTab.h"

#include "chatui/ChatAccessibility.h"
#include "chatui/ConversationTabLayout.h"
#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TPaneText.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"
#include "chatui/TTypingPaneEditor.h"
#include "chatui/WindowAttention.h"
#include "skin/TSkinData.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace quillet {
namespace {

const QColor Black(0, 0, 0);
const QColor Blue(0x00, 0x00, 0xFF);
const QColor Navy(0x00, 0x00, 0x80);
const QColor Maroon(0x80, 0x00, 0x00);

QTextCharFormat MakeFormat(const QString& face, int points, bool bold, const QColor& colour)
{
    QTextCharFormat format;
    format.setFontFamilies({ face });
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setFontStrikeOut(false);
    format.setForeground(colour);
    return format;
}

QString NoticeName(TChatStyle style)
{
    switch (style) {
    case TChatStyle::Realtime:
        return QStringLiteral("REAL TIME");
    case TChatStyle::IM:
        return QStringLiteral("IM");
    case TChatStyle::IMPreview:
        return QStringLiteral("IM WITH PREVIEW");
    }
    return {};
}

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

TConversationTab::TConversationTab(TChatForm& form, IConversationOwner& owner,
    const std::string& ownName, TSkinData* skin, const ITickSource& ticks,
    TConversationTabHooks hooks)
    : Form(form)
    , Owner(owner)
    , Ticks(ticks)
    , Hooks(std::move(hooks))
    , OwnNameText(QString::fromStdString(ownName))
    , Skin(skin)
    , AttentionWatch(form.Tabs(), [this] { AttentionTick(); })
{
    if (!Hooks.FlashTaskbar) {
        Hooks.FlashTaskbar = [](QWidget* window, int count) {
            constexpr int FlashIntervalMs = 400;
            RequestWindowAttention(window, count * FlashIntervalMs);
        };
    }
    if (!Hooks.Announce)
        Hooks.Announce = [](QAccessibleEvent& event) { Announce(event); };
    if (!Hooks.StopFlashing)
        Hooks.StopFlashing = [](QWidget* window) { StopWindowAttention(window); };
    if (!Hooks.ChooseSaveFile) {
        Hooks.ChooseSaveFile = [](QWidget* parent, const QString& suggested) {
            return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Conversation"),
                suggested, QStringLiteral("Text files (*.txt);;All files (*)"));
        };
    }
    EntryFonts.OwnText = MakeFormat(QStringLiteral("Arial"), 11, false, Black);
    EntryFonts.OwnLabel = MakeFormat(QStringLiteral("Arial Narrow"), 11, true, Black);
    EntryFonts.PeerText = MakeFormat(QStringLiteral("Arial"), 11, false, Blue);
    EntryFonts.PeerLabel = MakeFormat(QStringLiteral("Arial Narrow"), 11, true, Navy);
    EntryFonts.Preview = MakeFormat(QStringLiteral("Arial"), 10, false, Black);
    EntryFonts.Notice = MakeFormat(QStringLiteral("Arial"), 11, true, Maroon);
    TTypingPaneEditor::THooks typing;
    typing.Prepare = [this]() -> std::optional<TChatStyle> {
        // The user edits the window as it is meant to be now.
        if (UpdatePosted)
            ApplyPendingUpdate();
        if (LocalReadOnly)
            return std::nullopt;
        if (Blink.Active())
            StopAttention();
        return CurrentStyle;
    };
    typing.SendLine = [this](const QString& line) { SendOwnLine(line, false); };
    Typing = std::make_unique<TTypingPaneEditor>(
        *PaneTexts.Local, Owner.Input(), EntryFonts.OwnText, std::move(typing));
    BuildTab();
}

TConversationTab::~TConversationTab()
{
    TTabSheet* sheet = SheetWidget.data();
    if (sheet == nullptr)
        return;
    if (PanesMade()) {
        Ui.Transcript->SetTypingTarget(nullptr);
        Ui.PreviewPane->SetTypingTarget(nullptr);
        Ui.LocalPane->SetEditing(nullptr);
    }
    // The page leaves the window now; the widgets go once control returns to the event loop,
    // so that a tab closed from one of its own buttons' handlers does not pull the button out
    // from under it.
    sheet->SetPageControl(nullptr);
    sheet->deleteLater();
}

void TConversationTab::BuildTab()
{
    TPageControl& tabs = Form.Tabs();
    auto* sheet = new TTabSheet(tabs);
    SheetWidget = sheet;
    if (tabs.PageCount() == 0)
        Form.SetActiveSheet(sheet);
    sheet->SetCaption(QStringLiteral("Chat"));
    sheet->SetPageControl(&tabs);
    QObject::connect(sheet, &TTabSheet::Entered, &Connections, [this] { StopAttention(); });
    QObject::connect(sheet, &TTabSheet::MouseEntered, &Connections, [this] { StopAttention(); });
    Ui = BuildConversationTabControls(*sheet, Form.font());
    ConnectControls();
    ShowPeer();
    StatusFormat.setForeground(Black);
    PaneTexts.Transcript->SetLimit(
        MaxTranscriptChars, QStringLiteral("*** Earlier text was removed ***"), StatusFormat);
    PaneTexts.Preview->SetLimit(MaxPreviewChars);
    PaneTexts.Local->SetLimit(MaxTypingChars);

    if (Skin != nullptr && Skin->Active())
        Skin->SkinWindowByHandle(sheet);

    QObject::connect(sheet, &TTabSheet::Resized, &Connections, [this] { LayoutTab(); });
    // The panes are what a tab costs most; a tab nobody has looked at has its text without them.
    // Not while a screen reader listens: it reads out what arrives in every tab, from its pane.
    QObject::connect(sheet, &TTabSheet::Showing, &Connections, [this] { MakePanes(); });
    if (sheet->isVisible() || QAccessible::isActive())
        MakePanes();
    LayoutTab();
    if (Form.ActiveSheet() == sheet)
        RefreshControls();
}

void TConversationTab::MakePanes()
{
    TTabSheet* sheet = SheetWidget.data();
    if (sheet == nullptr || PanesMade())
        return;
    BuildConversationTabPanes(*sheet, Form.font(), PaneTexts, Ui);
    // Typing anywhere in the tab types into the typing pane.
    const auto typingPane = [this]() -> TRichPane* {
        if (LocalReadOnly)
            return nullptr;
        FocusLocalPane();
        return Ui.LocalPane;
    };
    Ui.Transcript->SetTypingTarget(typingPane);
    Ui.PreviewPane->SetTypingTarget(typingPane);
    Ui.LocalPane->SetEditing(Typing.get());
    if (Skin != nullptr && Skin->Active())
        Skin->SkinWindowByHandle(sheet);
    // What the panes would have become had they been there from the start.
    DescribePanes();
    ApplyPaneStates();
    LayoutTab();
    for (TRichPane* pane : { Ui.Transcript, Ui.PreviewPane, Ui.LocalPane })
        pane->ScrollToEnd();
}

void TConversationTab::ApplyPaneStates()
{
    if (!PanesMade())
        return;
    Ui.LocalPane->setReadOnly(LocalReadOnly);
    Ui.PreviewPane->setVisible(CurrentStyle == TChatStyle::IMPreview);
    Ui.LocalPane->SetWordWrap(CurrentStyle == TChatStyle::Realtime);
    SetControlColours(*Ui.Transcript, QPalette::Base, PaneBackground(!LocalReadOnly));
    SetControlColours(*Ui.LocalPane, QPalette::Base, PaneBackground(!LocalReadOnly));
}

const TConversationTab::TControls& TConversationTab::Controls()
{
    MakePanes();
    return Ui;
}

void TConversationTab::ConnectControls()
{
    // Only a click by the user chooses a style; marking from the program (the echo of a received
    // style signal) goes through ShowMarkedChoice and runs nothing.
    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview }) {
        QObject::connect(Choice(style), &QRadioButton::clicked, &Connections,
            [this, style] { ChoiceClicked(style); });
    }
    QObject::connect(Ui.DisconnectButton, &QPushButton::clicked, &Connections,
        [this] { DisconnectButtonClick(); });
    QObject::connect(
        Ui.SendButton, &QPushButton::clicked, &Connections, [this] { SendButtonClick(true); });
    QObject::connect(Ui.SaveConversation, &QAction::triggered, &Connections, [this] {
        // Choosing the file runs the event loop, in which the tab may go: what the save needs
        // of it afterwards is kept or checked.
        const TChooseSaveFile choose = Hooks.ChooseSaveFile;
        const QString fileName
            = ConversationFileName(PeerNameText, PeerAddressText, QDate::currentDate());
        const QPointer<QObject> alive(&Connections);
        SaveConversation(
            Form, fileName, choose, [this, alive]() -> std::optional<TConversationRecord> {
                if (alive == nullptr)
                    return std::nullopt;
                return ConversationRecord(*this, QDateTime::currentDateTime());
            });
    });
}

bool TConversationTab::IsShown() const
{
    return SheetWidget != nullptr && Form.Tabs().ActivePage() == SheetWidget.data();
}

void TConversationTab::LayoutTab()
{
    TTabSheet* sheet = SheetWidget.data();
    if (sheet == nullptr)
        return;
    TConversationTabMetrics metrics;
    metrics.Sheet = sheet->size();
    metrics.Style = CurrentStyle;
    if (PanesMade()) {
        metrics.LocalLineHeight = Ui.LocalPane->LineHeight();
        metrics.LocalFrameWidth = Ui.LocalPane->frameWidth();
        metrics.PreviewLineHeight = Ui.PreviewPane->LineHeight();
    } else {
        const TConversationPaneMetrics panes = MeasureConversationPanes(Form, Form.font());
        metrics.LocalLineHeight = panes.LocalLineHeight;
        metrics.LocalFrameWidth = panes.LocalFrameWidth;
        metrics.PreviewLineHeight = panes.PreviewLineHeight;
    }
    metrics.TypingLabelWidth = Ui.TypingLabel->width();
    metrics.InfoLabelWidth = Ui.InfoLabel->width();
    metrics.DisconnectWidth = Ui.DisconnectButton->width();
    metrics.SendWidth = Ui.SendButton->width();
    metrics.ChoicesRight = Ui.IMPreviewChoice->geometry().right() + 1;
    const TConversationTabLayout layout = ConversationTabLayout(metrics);
    if (const QSize minimum = ConversationTabMinimumSize(metrics);
        minimum != sheet->minimumSize()) {
        sheet->setMinimumSize(minimum);
        if (TPageControl* control = sheet->PageControl())
            control->updateGeometry();
    }

    Ui.DisconnectButton->move(layout.DisconnectButton);
    Ui.InfoLabel->move(layout.InfoLabel);
    if (PanesMade()) {
        Ui.Transcript->setGeometry(layout.Transcript);
        Ui.LocalPane->setGeometry(layout.LocalPane);
        Ui.PreviewPane->setVisible(CurrentStyle == TChatStyle::IMPreview);
    }
    Ui.TypingLabel->setVisible(layout.OneLine);
    Ui.SendButton->setVisible(layout.OneLine);
    if (!layout.OneLine)
        return;
    Ui.TypingLabel->move(layout.TypingLabel);
    if (PanesMade())
        Ui.PreviewPane->setGeometry(layout.PreviewPane);
    Ui.SendButton->move(layout.SendButton);
}

void TConversationTab::RefreshControls()
{
    if (SheetWidget == nullptr)
        return;
    const bool connected = Owner.IsConnected();
    LocalReadOnly = !connected;
    ApplyPaneStates();
    if (connected) {
        FocusLocalPane();
        if (PanesMade())
            Ui.LocalPane->ScrollToCaret();
    }
    LayoutTab();
}

void TConversationTab::FocusLocalPane()
{
    // Keys typed for the conversation the user sees must never land in another's pane.
    if (!IsShown())
        return;
    MakePanes();
    Ui.LocalPane->setFocus(Qt::OtherFocusReason);
}

void TConversationTab::AppendEntry(TPaneText& pane, const QString& label, const QString& text,
    const QTextCharFormat* labelFormat, const QTextCharFormat* textFormat, bool newLine)
{
    if (labelFormat != nullptr && !label.isEmpty())
        pane.AppendRun(label + QStringLiteral(": "), *labelFormat);
    if (textFormat != nullptr && !text.isEmpty())
        pane.AppendRun(text, *textFormat);
    if (newLine)
        pane.AddLine();
}

void TConversationTab::EnsureLineBreak(TPaneText& pane)
{
    if (!pane.EndsWithLineBreak())
        pane.AddLine();
}

void TConversationTab::EraseLastChar(TPaneText& pane)
{
    pane.EraseLastChar();
}

void TConversationTab::ScrollToCaret(TRichPane& pane)
{
    // Text is only ever added at the end, so the end is where the pane's caret belongs.
    pane.ScrollToEnd();
}

void TConversationTab::WriteStatusLine(const std::string& text)
{
    if (SheetWidget == nullptr)
        return;
    EnsureLineBreak(*PaneTexts.Transcript);
    const QString line = QString::fromStdString(text) + u'\n';
    PaneTexts.Transcript->AppendRun(line, StatusFormat);
    // Screen readers hear how the connection stands ("Connected", "Disconnected" and why).
    AnnounceAppended(line);
}

void TConversationTab::AnnounceAppended(const QString& text)
{
    // Text from the other side still to be announced takes in what follows it; a transcript not
    // made yet is not there for screen readers to read out.
    if (ArrivalStart >= 0 || !PanesMade())
        return;
    TPaneText& transcript = *PaneTexts.Transcript;
    // Screen readers read the text from the pane as soon as they hear of it. Without one, the
    // pass's text stays gathered into one change.
    if (QAccessible::isActive())
        transcript.CloseBatch();
    QAccessibleTextInsertEvent event(
        Ui.Transcript, transcript.EndPosition() - static_cast<int>(text.size()), text);
    Hooks.Announce(event);
}

void TConversationTab::ClearTranscript()
{
    if (SheetWidget != nullptr)
        PaneTexts.Transcript->ClearText();
}

void TConversationTab::ShowConnectionInfo(const std::string& text)
{
    if (SheetWidget == nullptr)
        return;
    Ui.InfoLabel->setText(QString::fromStdString(text));
    Ui.InfoLabel->adjustSize();
    Ui.InfoLabel->move(SheetWidget->width(), tabpos::LabelTop);
    LayoutTab();
}

void TConversationTab::ShowAsDialed()
{
    if (SheetWidget == nullptr)
        return;
    // The user picks this conversation by placing the call, as by a click on its tab: it is
    // shown and seen, and what is typed next goes into it (keys are dropped until it connects)
    // rather than into a tab behind it.
    Form.Tabs().SetActivePage(SheetWidget.data());
    Form.SetActiveSheet(SheetWidget.data());
    MakePanes();
    Ui.LocalPane->setFocus(Qt::OtherFocusReason);
}

void TConversationTab::ShowPeerAddress(const std::string& address, const std::string& port)
{
    if (SheetWidget == nullptr)
        return;
    PeerAddressText = QString::fromStdString(address);
    PeerPortText = QString::fromStdString(port);
    ShowPeer();
}

void TConversationTab::ShowPeer()
{
    // Until a name arrives the address tells tabs apart; a peer that sends no name keeps it.
    QString caption = PeerNameText;
    if (caption.isEmpty())
        caption = PeerAddressText;
    if (!caption.isEmpty())
        SheetWidget->SetCaption(caption);
    // The whole name, also when the tab is too narrow for it, and where the peer is.
    QStringList tip;
    if (!PeerNameText.isEmpty())
        tip.append(PeerNameText);
    if (!PeerAddressText.isEmpty())
        tip.append(PeerAddressText + QStringLiteral(", port ") + PeerPortText);
    SheetWidget->SetTabToolTip(tip.join(QLatin1Char('\n')));

    DescribePanes();
}

void TConversationTab::DescribePanes()
{
    if (!PanesMade())
        return;
    QString who = !PeerNameText.isEmpty() ? PeerNameText : PeerAddressText;
    if (who.isEmpty())
        who = QStringLiteral("the other side");
    // Each change is news to a screen reader: only real ones are told.
    const auto describe = [](QWidget& widget, const QString& description) {
        if (widget.accessibleDescription() != description)
            widget.setAccessibleDescription(description);
    };
    describe(*Ui.Transcript, QStringLiteral("Text from ") + who);
    describe(*Ui.LocalPane, QStringLiteral("Your text to ") + who);
    describe(*Ui.PreviewPane, who + QStringLiteral(" is typing"));
}

void TConversationTab::NoteArrival()
{
    if (ArrivalStart < 0) {
        ArrivalStart = PaneTexts.Transcript->EndPosition();
        ArrivalRemoved = PaneTexts.Transcript->RemovedChars();
    }
}

void TConversationTab::ShowEnded()
{
    if (SheetWidget == nullptr)
        return;
    SheetWidget->SetEnded(true);
    Ui.DisconnectButton->setText(QStringLiteral("Close"));
    CloseShownTick = Ticks.Now();
}

void TConversationTab::PeerNameCompleted(const std::string& name)
{
    if (SheetWidget == nullptr)
        return;
    PeerNameText = QString::fromStdString(name);
    ShowPeer();
    if (CurrentStyle == TChatStyle::IMPreview) {
        CaptionDue = PeerNameText + QStringLiteral(" types: ");
        LayoutDue = true;
        ScheduleUpdate();
    }
    // A caller must never take the keyboard: the user may be typing elsewhere (a password, or
    // another conversation). The windows come forward and the taskbar asks for attention; only a
    // call the user dialed takes the focus.
    if (Owner.IsIncoming()) {
        FlashTaskbar(FlashCount);
        Form.ShowForCall(false);
        if (Hooks.ShowMainWindow)
            Hooks.ShowMainWindow();
    }
    if (Form.isVisible()) {
        Form.raise();
        if (!Owner.IsIncoming())
            Form.activateWindow();
    }
}

void TConversationTab::AppendPeerText(std::string_view text, bool labelAtLineStart)
{
    if (SheetWidget == nullptr)
        return;
    NoteArrival();
    if (labelAtLineStart && PaneTexts.Transcript->EndsWithLineBreak())
        AppendEntry(
            *PaneTexts.Transcript, PeerNameText, QString(), &EntryFonts.PeerLabel, nullptr, false);
    PaneTexts.Transcript->AppendRun(FromUtf8(text), EntryFonts.PeerText);
}

void TConversationTab::EraseTranscriptChar()
{
    if (SheetWidget != nullptr)
        EraseLastChar(*PaneTexts.Transcript);
}

void TConversationTab::TranscriptNewLine()
{
    if (SheetWidget != nullptr)
        PaneTexts.Transcript->AddLine();
}

void TConversationTab::SetTypingNotice(const std::string& text)
{
    if (SheetWidget == nullptr)
        return;
    CaptionDue = QString::fromStdString(text);
    ScheduleUpdate();
}

void TConversationTab::SetTypingCaption(const QString& caption)
{
    Ui.TypingLabel->setText(caption);
    Ui.TypingLabel->adjustSize();
}

void TConversationTab::AppendPreviewText(std::string_view text)
{
    if (SheetWidget != nullptr)
        PaneTexts.Preview->AppendRun(FromUtf8(text), EntryFonts.Preview);
}

void TConversationTab::ErasePreviewChar()
{
    if (SheetWidget != nullptr)
        EraseLastChar(*PaneTexts.Preview);
}

void TConversationTab::CommitPreviewLine()
{
    if (SheetWidget == nullptr)
        return;
    NoteArrival();
    AppendEntry(*PaneTexts.Transcript, PeerNameText, PaneTexts.Preview->Text(),
        &EntryFonts.PeerLabel, &EntryFonts.PeerText, true);
    PaneTexts.Preview->ClearText();
}

void TConversationTab::SwitchStyle(TChatStyle from, TChatStyle to)
{
    if (SheetWidget == nullptr)
        return;
    TPaneText& transcript = *PaneTexts.Transcript;
    const QString local = PaneTexts.Local->Text();
    if (from == TChatStyle::Realtime && !local.isEmpty())
        AppendEntry(
            transcript, QString(), QStringLiteral(" ") + local, nullptr, &EntryFonts.OwnText, true);
    if (from == TChatStyle::IMPreview && !local.isEmpty())
        AppendEntry(
            transcript, OwnNameText, local, &EntryFonts.OwnLabel, &EntryFonts.OwnText, true);
    if (from == TChatStyle::IMPreview && !PaneTexts.Preview->IsEmpty()) {
        // Screen readers hear the other side's unfinished line only now.
        NoteArrival();
        AppendEntry(transcript, PeerNameText, PaneTexts.Preview->Text(), &EntryFonts.PeerLabel,
            &EntryFonts.PeerText, true);
    }
    // An unsent IM line goes with the switch.
    for (TPaneText* pane : { PaneTexts.Local.get(), PaneTexts.Preview.get() }) {
        if (!pane->IsEmpty())
            pane->ClearText();
    }

    if (to != from) {
        if (to == TChatStyle::IM)
            CaptionDue = QString();
        else if (to == TChatStyle::IMPreview)
            CaptionDue = PeerNameText + QStringLiteral(" types: ");
        EnsureLineBreak(transcript);
        if (!transcript.IsEmpty() && !Owner.IsDisconnected()) {
            // An empty line, the notice, an empty line: one run, so one insert.
            const QString notice = QStringLiteral("*** Changed to ") + NoticeName(to)
                + QStringLiteral(" Chat style ***");
            AppendEntry(transcript, QString(), u'\n' + notice + QStringLiteral("\n\n"), nullptr,
                &EntryFonts.Notice, false);
            AnnounceAppended(notice + QStringLiteral("\n\n"));
        }
    }
    CurrentStyle = to;
    ScrollDue = true;
    RefreshDue = true;
    ScheduleUpdate();
}

QRadioButton* TConversationTab::Choice(TChatStyle style) const
{
    switch (style) {
    case TChatStyle::Realtime:
        return Ui.RealtimeChoice;
    case TChatStyle::IM:
        return Ui.IMChoice;
    case TChatStyle::IMPreview:
        return Ui.IMPreviewChoice;
    }
    return nullptr;
}

void TConversationTab::ShowMarkedChoice(TChatStyle style)
{
    if (SheetWidget == nullptr)
        return;
    MarkDue = style;
    ScheduleUpdate();
}

void TConversationTab::ChoiceClicked(TChatStyle style)
{
    IConversationInput& protocol = Owner.Input();
    const TUserAction action(protocol);
    // The user's click wins over a mark the received bytes left for later.
    MarkDue.reset();
    if (UpdatePosted)
        ApplyPendingUpdate();
    // Clicking the choice that is already marked changes nothing and sends nothing.
    if (protocol.MarkedChoice() == style)
        return;
    protocol.UserChoseStyle(style);
}

void TConversationTab::ChunkDone()
{
    if (SheetWidget == nullptr)
        return;
    ScrollDue = true;
    // Received text after a quiet spell is shown at once, so that a key the peer typed is on
    // screen without a round through the event loop behind whatever is queued there; while a
    // burst lasts, its chunks are gathered into one update per pass.
    if (!UpdatePosted
        && (!LastUpdateTick
            || TickElapsed(Ticks.Now(), *LastUpdateTick) >= TRichPane::FrameIntervalMs)) {
        ApplyPendingUpdate();
        return;
    }
    ScheduleUpdate();
}

void TConversationTab::ScheduleUpdate()
{
    if (UpdatePosted)
        return;
    UpdatePosted = true;
    // Posted, so it runs after whatever the event loop has already queued for this pass (the
    // rest of a burst of received chunks), and with the tab's connections it goes with the tab.
    QMetaObject::invokeMethod(
        &Connections, [this] { ApplyPendingUpdate(); }, Qt::QueuedConnection);
}

void TConversationTab::ApplyPendingUpdate()
{
    UpdatePosted = false;
    LastUpdateTick = Ticks.Now();
    if (SheetWidget == nullptr)
        return;
    if (CaptionDue)
        SetTypingCaption(*std::exchange(CaptionDue, std::nullopt));
    if (MarkDue) {
        if (QRadioButton* choice = Choice(*std::exchange(MarkDue, std::nullopt)))
            choice->setChecked(true);
    }
    // A refresh lays the tab out as well.
    if (std::exchange(RefreshDue, false))
        RefreshControls();
    else if (LayoutDue)
        LayoutTab();
    LayoutDue = false;
    // Panes made later start at their end.
    if (std::exchange(ScrollDue, false) && PanesMade()) {
        ScrollToCaret(*Ui.Transcript);
        if (CurrentStyle == TChatStyle::IMPreview)
            ScrollToCaret(*Ui.PreviewPane);
    }
    // What the other side sent since the last pass is announced as one insertion, for screen
    // readers to read out once.
    int from = std::exchange(ArrivalStart, -1);
    if (from >= 0) {
        // Older text may have gone meanwhile, the start of what arrived with it.
        const auto removed = PaneTexts.Transcript->RemovedChars() - ArrivalRemoved;
        from
            = static_cast<int>(std::max<qint64>(PaneTexts.Transcript->KeptStart(), from - removed));
    }
    // A transcript not made yet is not there for screen readers to read out.
    if (const QString arrived
        = from >= 0 && PanesMade() ? PaneTexts.Transcript->TextFrom(from) : QString();
        !arrived.isEmpty()) {
        QAccessibleTextInsertEvent event(Ui.Transcript, from, arrived);
        Hooks.Announce(event);
    }
}

void TConversationTab::SendButtonClick(bool byMouse)
{
    const TUserAction action(Owner.Input());
    SendOwnLine(PaneTexts.Local->Text(), byMouse);
}

void TConversationTab::SendOwnLine(const QString& text, bool byMouse)
{
    IConversationInput& protocol = Owner.Input();
    TPaneText& local = *PaneTexts.Local;
    if (text.isEmpty())
        return;
    AppendEntry(
        *PaneTexts.Transcript, OwnNameText, text, &EntryFonts.OwnLabel, &EntryFonts.OwnText, true);
    // Once the pass is over: the lines of a paste are laid out and scrolled to once.
    ScrollDue = true;
    ScheduleUpdate();
    if (CurrentStyle == TChatStyle::IM)
        protocol.SendLine(text.toStdString());
    else if (CurrentStyle == TChatStyle::IMPreview && byMouse)
        // Enter has already sent the line's end; a click sends it so both sides commit.
        protocol.SendLineEnd();
    if (!local.IsEmpty())
        local.ClearText();
    if (byMouse && Owner.IsConnected())
        FocusLocalPane();
}

void TConversationTab::DisconnectButtonClick()
{
    const auto doubleClickMs = static_cast<TTick>(QApplication::doubleClickInterval());
    if (CloseShownTick && TickElapsed(Ticks.Now(), *CloseShownTick) < doubleClickMs)
        return;
    Owner.DisconnectButtonClick();
}

void TConversationTab::DrawAttention()
{
    if (SheetWidget == nullptr)
        return;
    if (Form.ActiveSheet() != SheetWidget.data()) {
        Blink.Start();
        SheetWidget->SetHighlighted(Blink.Lit());
        AttentionWatch.Watch(Blink.NextToggleInMs());
    }
    FlashTaskbar(FlashCount);
}

bool TConversationTab::AttentionTick()
{
    if (SheetWidget == nullptr)
        return false;
    if (Form.ActiveSheet() == SheetWidget.data() && Form.IsForeground())
        ClearAttention();
    if (Blink.Tick())
        SheetWidget->SetHighlighted(Blink.Lit());
    if (Blink.NeedsTicks())
        AttentionWatch.Watch(Blink.NextToggleInMs());
    else
        AttentionWatch.Stop();
    return Blink.NeedsTicks();
}

void TConversationTab::ClearAttention()
{
    AttentionWatch.Stop();
    Blink.Clear();
    if (SheetWidget != nullptr)
        SheetWidget->SetHighlighted(false);
    Hooks.StopFlashing(&Form);
}

void TConversationTab::StopAttention()
{
    ClearAttention();
    RefreshControls();
}

void TConversationTab::FlashTaskbar(int count)
{
    if (!Form.IsForeground())
        Hooks.FlashTaskbar(&Form, count);
}

} // namespace quillet
