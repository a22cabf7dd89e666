#include "chatui/TConversationTab.h"

#include "chatui/TChatForm.h"
#include "chatui/TPageControl.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"
#include "chatui/WindowAttention.h"
#include "net/ProtocolEngine.h"
#include "platform/CodePage1252.h"
#include "skin/TSkinData.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace quillet {
namespace {

// Positions of the controls in pixels, as the tab was designed.
constexpr int TranscriptLeft = 5;
constexpr int TranscriptTop = 55;
constexpr int ChoiceLeft = 70;
constexpr int ChoiceStep = 15;
constexpr int ChoiceWidth = 113;
constexpr int ChoiceHeight = 17;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int DisconnectTop = 25;
constexpr int LabelLeft = 3;
constexpr int LabelTop = 3;
constexpr int RightGap = 10;
constexpr int PaneDefaultWidth = 185;
constexpr int PaneDefaultHeight = 89;

const QColor Black(0, 0, 0);
const QColor White(0xFF, 0xFF, 0xFF);
const QColor Silver(0xC0, 0xC0, 0xC0);
const QColor Blue(0x00, 0x00, 0xFF);
const QColor Navy(0x00, 0x00, 0x80);
const QColor Maroon(0x80, 0x00, 0x00);

constexpr char32_t KeyBackspace = 8;
constexpr char32_t KeyLineFeed = 10;
constexpr char32_t KeyEnter = 13;
constexpr char32_t KeyDelete = 127;

QTextCharFormat MakeFormat(const QString& face, int points, bool bold, const QColor& colour)
{
    QTextCharFormat format;
    format.setFontFamilies({face});
    format.setFontPointSize(points);
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    format.setFontItalic(false);
    format.setFontUnderline(false);
    format.setFontStrikeOut(false);
    format.setForeground(colour);
    return format;
}

void SetColours(QWidget& widget, QPalette::ColorRole role, const QColor& background)
{
    QPalette pal = widget.palette();
    pal.setColor(role, background);
    pal.setColor(QPalette::Text, Black);
    pal.setColor(QPalette::WindowText, Black);
    widget.setPalette(pal);
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
{
    if (!Hooks.FlashTaskbar) {
        Hooks.FlashTaskbar = [](QWidget* window, int count) {
            constexpr int FlashIntervalMs = 400;
            RequestWindowAttention(window, count * FlashIntervalMs);
        };
    }
    if (!Hooks.StopFlashing)
        Hooks.StopFlashing = [](QWidget* window) { StopWindowAttention(window); };
    EntryFonts.OwnText = MakeFormat(QStringLiteral("Arial"), 11, false, Black);
    EntryFonts.OwnLabel = MakeFormat(QStringLiteral("Arial Narrow"), 11, true, Black);
    EntryFonts.PeerText = MakeFormat(QStringLiteral("Arial"), 11, false, Blue);
    EntryFonts.PeerLabel = MakeFormat(QStringLiteral("Arial Narrow"), 11, true, Navy);
    EntryFonts.Preview = MakeFormat(QStringLiteral("Arial"), 10, false, Black);
    EntryFonts.Notice = MakeFormat(QStringLiteral("Arial"), 11, true, Maroon);
    BuildTab(skin);
}

TConversationTab::~TConversationTab()
{
    TTabSheet* sheet = SheetWidget.data();
    if (sheet == nullptr)
        return;
    for (TRichPane* pane : {Ui.Transcript, Ui.PreviewPane, Ui.LocalPane})
        pane->SetKeyPressHandler(nullptr);
    // The page leaves the window now; the widgets go once control returns to the event loop,
    // so that a tab closed from one of its own buttons' handlers does not pull the button out
    // from under it.
    sheet->SetPageControl(nullptr);
    sheet->deleteLater();
}

void TConversationTab::BuildTab(TSkinData* skin)
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
    const QColor background = sheet->BackgroundColor();
    // In the button face the sheet shows the page control's own panel beneath it, whose exact
    // colour is the style's: controls in that colour then let it show through instead of
    // painting a patch of their own.
    const bool ownBackground = background != TTabSheet::ButtonFace();

    Ui.Transcript = new TRichPane(sheet);
    Ui.Transcript->setObjectName(QStringLiteral("Transcript"));
    Ui.Transcript->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Ui.Transcript->setGeometry(TranscriptLeft, TranscriptTop, PaneDefaultWidth, PaneDefaultHeight);
    SetColours(*Ui.Transcript, QPalette::Base, Silver);
    Ui.Transcript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Ui.Transcript->setReadOnly(true);
    Ui.Transcript->SetKeyPressHandler([this](char32_t& key) { PaneKeyPress(key); });

    Ui.StyleCaption = new QLabel(QStringLiteral("Chat Style:"), sheet);
    Ui.StyleCaption->setObjectName(QStringLiteral("StyleCaption"));
    Ui.StyleCaption->move(LabelLeft, LabelTop);
    Ui.StyleCaption->adjustSize();

    const auto makeChoice = [&](const char* name, const QString& caption, int top, TChatStyle style) {
        auto* choice = new QRadioButton(caption, sheet);
        choice->setObjectName(QString::fromLatin1(name));
        choice->setGeometry(ChoiceLeft, top, ChoiceWidth, ChoiceHeight);
        choice->setAutoFillBackground(ownBackground);
        SetColours(*choice, QPalette::Window, background);
        if (style == TChatStyle::Realtime)
            choice->setChecked(true);
        // Only a click by the user chooses a style; marking from the program (the echo of a
        // received style signal) goes through ShowMarkedChoice and runs nothing.
        QObject::connect(choice, &QRadioButton::clicked, &Connections, [this, style] { ChoiceClicked(style); });
        return choice;
    };
    Ui.RealtimeChoice = makeChoice("RealtimeChoice", QStringLiteral("Realtime"), 0, TChatStyle::Realtime);
    Ui.IMChoice = makeChoice("IMChoice", QStringLiteral("IM Style"), ChoiceStep, TChatStyle::IM);
    Ui.IMPreviewChoice = makeChoice("IMPreviewChoice", QStringLiteral("IM with Preview"), 2 * ChoiceStep, TChatStyle::IMPreview);

    Ui.InfoLabel = new QLabel(sheet);
    Ui.InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
    Ui.InfoLabel->setTextFormat(Qt::PlainText);
    Ui.InfoLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Ui.InfoLabel->move(Ui.InfoLabel->x(), LabelTop);

    Ui.DisconnectButton = new QPushButton(QStringLiteral("Disconnect"), sheet);
    Ui.DisconnectButton->setObjectName(QStringLiteral("DisconnectButton"));
    Ui.DisconnectButton->setGeometry(0, DisconnectTop, ButtonWidth, ButtonHeight);
    QObject::connect(Ui.DisconnectButton, &QPushButton::clicked, &Connections, [this] { DisconnectButtonClick(); });

    Ui.PreviewPane = new TRichPane(sheet);
    Ui.PreviewPane->setObjectName(QStringLiteral("PreviewPane"));
    Ui.PreviewPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    Ui.PreviewPane->setGeometry(LabelLeft, 0, PaneDefaultWidth, PaneDefaultHeight);
    QFont courier(QStringLiteral("Courier"));
    courier.setPointSizeF(Form.font().pointSizeF());
    Ui.PreviewPane->setFont(courier);
    Ui.PreviewPane->setFrameShape(QFrame::NoFrame);
    Ui.PreviewPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Ui.PreviewPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetColours(*Ui.PreviewPane, QPalette::Base, background);
    Ui.PreviewPane->viewport()->setAutoFillBackground(ownBackground);
    Ui.PreviewPane->setReadOnly(true);
    Ui.PreviewPane->hide();
    Ui.PreviewPane->SetKeyPressHandler([this](char32_t& key) { PaneKeyPress(key); });

    Ui.TypingLabel = new QLabel(sheet);
    Ui.TypingLabel->setObjectName(QStringLiteral("TypingLabel"));
    Ui.TypingLabel->setTextFormat(Qt::PlainText);
    Ui.TypingLabel->setFont(Form.font());
    SetColours(*Ui.TypingLabel, QPalette::Window, background);
    Ui.TypingLabel->move(LabelLeft, 0);

    Ui.LocalPane = new TRichPane(sheet);
    Ui.LocalPane->setObjectName(QStringLiteral("LocalPane"));
    Ui.LocalPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    Ui.LocalPane->setReadOnly(true);
    SetColours(*Ui.LocalPane, QPalette::Base, Silver);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(10);
    Ui.LocalPane->setFont(arial);
    Ui.LocalPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // One line high in the IM styles: a horizontal bar would leave no room for the text. A long
    // line scrolls with the caret instead.
    Ui.LocalPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Ui.LocalPane->SetKeyPressHandler([this](char32_t& key) { LocalPaneKeyPress(key); });

    Ui.SendButton = new QPushButton(QStringLiteral("Send"), sheet);
    Ui.SendButton->setObjectName(QStringLiteral("SendButton"));
    Ui.SendButton->resize(ButtonWidth, ButtonHeight);
    QObject::connect(Ui.SendButton, &QPushButton::clicked, &Connections, [this] { SendButtonClick(true); });

    // Children made after their parent became visible need showing; the preview pane starts
    // hidden.
    for (QWidget* child : {static_cast<QWidget*>(Ui.Transcript), static_cast<QWidget*>(Ui.StyleCaption),
             static_cast<QWidget*>(Ui.RealtimeChoice), static_cast<QWidget*>(Ui.IMChoice),
             static_cast<QWidget*>(Ui.IMPreviewChoice), static_cast<QWidget*>(Ui.InfoLabel),
             static_cast<QWidget*>(Ui.DisconnectButton), static_cast<QWidget*>(Ui.TypingLabel),
             static_cast<QWidget*>(Ui.LocalPane), static_cast<QWidget*>(Ui.SendButton)})
        child->setVisible(true);

    StatusFormat.setForeground(Black);

    if (skin != nullptr && skin->Active())
        skin->SkinWindowByHandle(sheet);

    QObject::connect(sheet, &TTabSheet::Resized, &Connections, [this] { LayoutTab(); });
    LayoutTab();
    if (Form.ActiveSheet() == sheet)
        RefreshControls();
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
    const int w = sheet->width();
    const int h = sheet->height();
    const int transcriptWidth = w - 2 * TranscriptLeft;

    Ui.DisconnectButton->move(w - Ui.DisconnectButton->width() - RightGap, DisconnectTop);
    Ui.InfoLabel->move(w - Ui.InfoLabel->width() - RightGap, LabelTop);

    if (CurrentStyle == TChatStyle::Realtime) {
        const int paneHeight = (h - TranscriptTop) / 2 - 5;
        Ui.Transcript->setGeometry(TranscriptLeft, TranscriptTop, transcriptWidth, paneHeight);
        Ui.TypingLabel->hide();
        Ui.PreviewPane->hide();
        Ui.SendButton->hide();
        Ui.LocalPane->setGeometry(TranscriptLeft, TranscriptTop + paneHeight + 5, transcriptWidth, paneHeight);
        return;
    }

    const int localHeight = Ui.LocalPane->LineHeight() + 10;
    const int localClientHeight = localHeight - 2 * Ui.LocalPane->frameWidth();
    const int previewHeight = Ui.PreviewPane->LineHeight() + 10;
    const int transcriptHeight = h - TranscriptTop - localClientHeight - previewHeight - 15;
    Ui.Transcript->setGeometry(TranscriptLeft, TranscriptTop, transcriptWidth, transcriptHeight);

    // In IM the hidden preview pane still keeps its row: the typing notice sits in it.
    Ui.TypingLabel->show();
    Ui.PreviewPane->setVisible(CurrentStyle == TChatStyle::IMPreview);
    const int typingTop = TranscriptTop + transcriptHeight + 7;
    Ui.TypingLabel->move(TranscriptLeft, typingTop);
    const int labelWidth = Ui.TypingLabel->width();
    Ui.PreviewPane->setGeometry(TranscriptLeft + labelWidth + 5, typingTop - 2,
        w - TranscriptLeft - labelWidth - RightGap, previewHeight);

    const int localTop = Ui.PreviewPane->y() + previewHeight;
    const int localWidth = transcriptWidth - Ui.SendButton->width() - RightGap;
    Ui.LocalPane->setGeometry(TranscriptLeft, localTop, localWidth, localHeight);
    Ui.SendButton->show();
    Ui.SendButton->move(TranscriptLeft + localWidth + RightGap, localTop);
}

void TConversationTab::RefreshControls()
{
    if (SheetWidget == nullptr)
        return;
    const bool connected = Owner.IsConnected();
    Ui.LocalPane->setReadOnly(!connected);
    if (connected) {
        FocusLocalPane();
        ScrollToCaret(*Ui.LocalPane);
    }
    Ui.PreviewPane->setVisible(CurrentStyle == TChatStyle::IMPreview);
    Ui.LocalPane->setLineWrapMode(CurrentStyle == TChatStyle::Realtime ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    LayoutTab();
    const QColor colour = connected ? White : Silver;
    SetColours(*Ui.Transcript, QPalette::Base, colour);
    SetColours(*Ui.LocalPane, QPalette::Base, colour);
}

void TConversationTab::FocusLocalPane()
{
    // Keys typed for the conversation the user sees must never land in another's pane.
    if (IsShown())
        Ui.LocalPane->setFocus(Qt::OtherFocusReason);
}

void TConversationTab::AppendEntry(TRichPane& pane, const QString& label, const QString& text,
    const QTextCharFormat* labelFormat, const QTextCharFormat* textFormat, bool newLine)
{
    if (labelFormat != nullptr && !label.isEmpty())
        pane.AppendRun(label + QStringLiteral(": "), *labelFormat);
    if (textFormat != nullptr && !text.isEmpty())
        pane.AppendRun(text, *textFormat);
    if (newLine)
        pane.AddLine();
}

void TConversationTab::EnsureLineBreak(TRichPane& pane)
{
    if (!pane.EndsWithLineBreak())
        pane.AddLine();
}

void TConversationTab::EraseLastChar(TRichPane& pane)
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
    EnsureLineBreak(*Ui.Transcript);
    Ui.Transcript->AppendRun(QString::fromStdString(text), StatusFormat);
    Ui.Transcript->AddLine();
}

void TConversationTab::ClearTranscript()
{
    if (SheetWidget != nullptr)
        Ui.Transcript->ClearText();
}

void TConversationTab::ShowConnectionInfo(const std::string& text)
{
    if (SheetWidget == nullptr)
        return;
    Ui.InfoLabel->setText(QString::fromStdString(text));
    Ui.InfoLabel->adjustSize();
    Ui.InfoLabel->move(SheetWidget->width(), LabelTop);
    LayoutTab();
}

void TConversationTab::ShowEnded()
{
    if (SheetWidget == nullptr)
        return;
    Ui.DisconnectButton->setText(QStringLiteral("Close"));
    CloseShownTick = Ticks.Now();
}

void TConversationTab::PeerNameCompleted(const std::string& name)
{
    if (SheetWidget == nullptr)
        return;
    PeerNameText = QString::fromStdString(name);
    SheetWidget->SetCaption(PeerNameText);
    if (CurrentStyle == TChatStyle::IMPreview) {
        SetTypingCaption(PeerNameText + QStringLiteral(" types: "));
        LayoutTab();
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
    if (labelAtLineStart && Ui.Transcript->EndsWithLineBreak())
        AppendEntry(*Ui.Transcript, PeerNameText, QString(), &EntryFonts.PeerLabel, nullptr, false);
    Ui.Transcript->AppendRun(FromUtf8(text), EntryFonts.PeerText);
}

void TConversationTab::EraseTranscriptChar()
{
    if (SheetWidget != nullptr)
        EraseLastChar(*Ui.Transcript);
}

void TConversationTab::TranscriptNewLine()
{
    if (SheetWidget != nullptr)
        Ui.Transcript->AddLine();
}

void TConversationTab::SetTypingNotice(const std::string& text)
{
    if (SheetWidget != nullptr)
        SetTypingCaption(QString::fromStdString(text));
}

void TConversationTab::SetTypingCaption(const QString& caption)
{
    Ui.TypingLabel->setText(caption);
    Ui.TypingLabel->adjustSize();
}

void TConversationTab::AppendPreviewText(std::string_view text)
{
    if (SheetWidget != nullptr)
        Ui.PreviewPane->AppendRun(FromUtf8(text), EntryFonts.Preview);
}

void TConversationTab::ErasePreviewChar()
{
    if (SheetWidget != nullptr)
        EraseLastChar(*Ui.PreviewPane);
}

void TConversationTab::CommitPreviewLine()
{
    if (SheetWidget == nullptr)
        return;
    AppendEntry(*Ui.Transcript, PeerNameText, Ui.PreviewPane->Text(), &EntryFonts.PeerLabel,
        &EntryFonts.PeerText, true);
    Ui.PreviewPane->ClearText();
}

void TConversationTab::SwitchStyle(TChatStyle from, TChatStyle to)
{
    if (SheetWidget == nullptr)
        return;
    TRichPane& transcript = *Ui.Transcript;
    const QString local = Ui.LocalPane->Text();
    if (from == TChatStyle::Realtime && !local.isEmpty())
        AppendEntry(transcript, QString(), QStringLiteral(" ") + local, nullptr, &EntryFonts.OwnText, true);
    if (from == TChatStyle::IMPreview && !local.isEmpty())
        AppendEntry(transcript, OwnNameText, local, &EntryFonts.OwnLabel, &EntryFonts.OwnText, true);
    if (from == TChatStyle::IMPreview && !Ui.PreviewPane->IsEmpty()) {
        AppendEntry(transcript, PeerNameText, Ui.PreviewPane->Text(), &EntryFonts.PeerLabel,
            &EntryFonts.PeerText, true);
    }
    // An unsent IM line goes with the switch.
    Ui.LocalPane->ClearText();
    Ui.PreviewPane->ClearText();

    if (to != from) {
        if (to == TChatStyle::IM)
            SetTypingCaption(QString());
        else if (to == TChatStyle::IMPreview)
            SetTypingCaption(PeerNameText + QStringLiteral(" types: "));
        EnsureLineBreak(transcript);
        if (!transcript.IsEmpty() && !Owner.IsDisconnected()) {
            transcript.AddLine();
            AppendEntry(transcript, QString(),
                QStringLiteral("*** Changed to ") + NoticeName(to) + QStringLiteral(" Chat style ***"),
                nullptr, &EntryFonts.Notice, true);
            transcript.AddLine();
        }
    }
    ScrollToCaret(transcript);
    CurrentStyle = to;
    RefreshControls();
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
    if (QRadioButton* choice = Choice(style))
        choice->setChecked(true);
}

void TConversationTab::ChoiceClicked(TChatStyle style)
{
    // Clicking the choice that is already marked changes nothing and sends nothing.
    TProtocolEngine& protocol = Owner.Protocol();
    if (protocol.MarkedChoice() == style)
        return;
    protocol.UserChoseStyle(style);
}

void TConversationTab::ChunkDone()
{
    if (SheetWidget == nullptr)
        return;
    ScrollToCaret(*Ui.Transcript);
    if (CurrentStyle == TChatStyle::IMPreview)
        ScrollToCaret(*Ui.PreviewPane);
}

void TConversationTab::LocalPaneKeyPress(char32_t& key)
{
    TRichPane& pane = *Ui.LocalPane;
    if (pane.isReadOnly()) {
        key = 0;
        return;
    }
    const bool empty = pane.IsEmpty();
    if ((key == KeyBackspace || key == KeyDelete) && empty) {
        key = 0;
        return;
    }
    if (Attention)
        StopAttention();
    Owner.Protocol().KeyTyped(key, empty);
    if (key == KeyEnter) {
        if (Ui.SendButton->isVisibleTo(SheetWidget.data()))
            SendButtonClick(false);
        if (CurrentStyle != TChatStyle::Realtime)
            key = 0;
    }
    if (key != 0 && key != KeyBackspace && key != KeyLineFeed && key != KeyEnter && key != KeyDelete) {
        // Typed text always goes to the end: the other side can only ever append. It shows as
        // it went out: a character the wire cannot carry as it is arrives as its stand-in.
        const char32_t ch[1] = { cp1252::Decode(cp1252::EncodeTyped(key)) };
        AppendEntry(pane, QString(), QString::fromUcs4(ch, 1), nullptr, &EntryFonts.OwnText, false);
        pane.ScrollToEnd();
        key = 0;
    }
}

void TConversationTab::PaneKeyPress(char32_t& key)
{
    if (!Ui.LocalPane->isReadOnly()) {
        FocusLocalPane();
        Ui.LocalPane->TypeChar(key);
    }
    key = 0;
}

void TConversationTab::SendButtonClick(bool byMouse)
{
    TRichPane& local = *Ui.LocalPane;
    if (local.IsEmpty())
        return;
    const QString text = local.Text();
    AppendEntry(*Ui.Transcript, OwnNameText, text, &EntryFonts.OwnLabel, &EntryFonts.OwnText, true);
    ScrollToCaret(*Ui.Transcript);
    TProtocolEngine& protocol = Owner.Protocol();
    if (CurrentStyle == TChatStyle::IM)
        protocol.SendLine(text.toStdString());
    else if (CurrentStyle == TChatStyle::IMPreview && byMouse)
        // Enter has already sent the line's end; a click sends it so both sides commit.
        protocol.SendLineEnd();
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
        SheetWidget->SetHighlighted(true);
        LastToggleTick = Ticks.Now();
        Attention = true;
        Toggles = 0;
    }
    FlashTaskbar(FlashCount);
}

bool TConversationTab::AttentionTick()
{
    if (SheetWidget == nullptr)
        return false;
    if (Form.ActiveSheet() == SheetWidget.data() && Form.IsForeground())
        ClearAttention();
    const TTick now = Ticks.Now();
    if (Attention && TickElapsed(now, LastToggleTick) > ToggleIntervalMs && Toggles < MaxToggles) {
        SheetWidget->SetHighlighted(!SheetWidget->Highlighted());
        LastToggleTick = now;
        ++Toggles;
    }
    return Attention || SheetWidget->Highlighted();
}

void TConversationTab::ClearAttention()
{
    Attention = false;
    if (SheetWidget != nullptr)
        SheetWidget->SetHighlighted(false);
    Toggles = 0;
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
