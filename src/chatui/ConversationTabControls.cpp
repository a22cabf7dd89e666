#include "chatui/ConversationTabControls.h"

#include "chatui/ChatAccessibility.h"
#include "chatui/ConversationTabLayout.h"
#include "chatui/TRichPane.h"
#include "chatui/TTabSheet.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <iterator>

namespace quillet {
namespace {

using namespace tabpos;

// Where the controls start; ConversationTabLayout moves those that follow the sheet's size.
constexpr int ChoiceLeft = 70;
constexpr int ChoiceStep = 15;
constexpr int ChoiceWidth = 113;
constexpr int ChoiceHeight = 17;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
constexpr int LabelLeft = 3;
constexpr int PaneDefaultWidth = 185;
constexpr int PaneDefaultHeight = 89;

const QColor Black(0, 0, 0);

QFont LocalPaneFont()
{
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(10);
    return arial;
}

QFont PreviewPaneFont(const QFont& formFont)
{
    QFont courier(QStringLiteral("Courier"));
    courier.setPointSizeF(formFont.pointSizeF());
    return courier;
}

} // namespace

QColor PaneBackground(bool connected)
{
    return connected ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xC0, 0xC0, 0xC0);
}

void SetControlColours(QWidget& widget, QPalette::ColorRole role, const QColor& background)
{
    QPalette pal = widget.palette();
    pal.setColor(role, background);
    pal.setColor(QPalette::Text, Black);
    pal.setColor(QPalette::WindowText, Black);
    widget.setPalette(pal);
}

TConversationTabControls BuildConversationTabControls(TTabSheet& sheet, const QFont& formFont)
{
    TConversationTabControls ui;
    const QColor background = sheet.BackgroundColor();
    // In the button face the sheet shows the page control's own panel beneath it, whose exact
    // colour is the style's: controls in that colour then let it show through instead of
    // painting a patch of their own.
    const bool ownBackground = background != TTabSheet::ButtonFace();

    ui.StyleCaption = new QLabel(QStringLiteral("Chat Style:"), &sheet);
    ui.StyleCaption->setObjectName(QStringLiteral("StyleCaption"));
    ui.StyleCaption->move(LabelLeft, LabelTop);
    ui.StyleCaption->adjustSize();

    const auto makeChoice = [&](const char* name, const QString& caption, int top) {
        auto* choice = new QRadioButton(caption, &sheet);
        choice->setObjectName(QString::fromLatin1(name));
        choice->setGeometry(ChoiceLeft, top, ChoiceWidth, ChoiceHeight);
        choice->setAutoFillBackground(ownBackground);
        SetControlColours(*choice, QPalette::Window, background);
        return choice;
    };
    ui.RealtimeChoice = makeChoice("RealtimeChoice", QStringLiteral("Realtime"), 0);
    ui.RealtimeChoice->setChecked(true);
    ui.IMChoice = makeChoice("IMChoice", QStringLiteral("IM Style"), ChoiceStep);
    ui.IMPreviewChoice
        = makeChoice("IMPreviewChoice", QStringLiteral("IM with Preview"), 2 * ChoiceStep);

    ui.InfoLabel = new QLabel(&sheet);
    ui.InfoLabel->setObjectName(QStringLiteral("InfoLabel"));
    ui.InfoLabel->setTextFormat(Qt::PlainText);
    ui.InfoLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    ui.InfoLabel->move(ui.InfoLabel->x(), LabelTop);

    ui.DisconnectButton = new QPushButton(QStringLiteral("Disconnect"), &sheet);
    ui.DisconnectButton->setObjectName(QStringLiteral("DisconnectButton"));
    ui.DisconnectButton->setGeometry(0, DisconnectTop, ButtonWidth, ButtonHeight);

    ui.TypingLabel = new QLabel(&sheet);
    ui.TypingLabel->setObjectName(QStringLiteral("TypingLabel"));
    ui.TypingLabel->setTextFormat(Qt::PlainText);
    ui.TypingLabel->setFont(formFont);
    SetControlColours(*ui.TypingLabel, QPalette::Window, background);
    ui.TypingLabel->move(LabelLeft, 0);

    ui.SendButton = new QPushButton(QStringLiteral("Send"), &sheet);
    ui.SendButton->setObjectName(QStringLiteral("SendButton"));
    ui.SendButton->resize(ButtonWidth, ButtonHeight);

    // For screen readers; the labels, choices and buttons are named by their captions.
    for (QRadioButton* choice : { ui.RealtimeChoice, ui.IMChoice, ui.IMPreviewChoice })
        choice->setAccessibleDescription(QStringLiteral("Chat style"));
    ui.InfoLabel->setAccessibleDescription(QStringLiteral("Address and port of the other side"));
    ui.TypingLabel->setAccessibleDescription(QStringLiteral("Typing notice"));

    ui.SaveConversation = new QAction(QStringLiteral("&Save Conversation\u2026"), &sheet);
    ui.SaveConversation->setObjectName(QStringLiteral("SaveConversation"));
    ui.SaveConversation->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    ui.SaveConversation->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    // The sheet's actions are its menu, and its tab's; the panes add them to their own menus.
    sheet.addAction(ui.SaveConversation);
    sheet.setContextMenuPolicy(Qt::ActionsContextMenu);

    // Children made after their parent became visible need showing.
    for (QWidget* child :
        { static_cast<QWidget*>(ui.StyleCaption), static_cast<QWidget*>(ui.RealtimeChoice),
            static_cast<QWidget*>(ui.IMChoice), static_cast<QWidget*>(ui.IMPreviewChoice),
            static_cast<QWidget*>(ui.InfoLabel), static_cast<QWidget*>(ui.DisconnectButton),
            static_cast<QWidget*>(ui.TypingLabel), static_cast<QWidget*>(ui.SendButton) })
        child->setVisible(true);
    return ui;
}

void BuildConversationTabPanes(TTabSheet& sheet, const QFont& formFont,
    const TConversationTabTexts& texts, TConversationTabControls& ui)
{
    const QColor background = sheet.BackgroundColor();
    const bool ownBackground = background != TTabSheet::ButtonFace();

    ui.Transcript = new TRichPane(texts.Transcript, &sheet);
    ui.Transcript->setObjectName(QStringLiteral("Transcript"));
    ui.Transcript->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ui.Transcript->setGeometry(PaneLeft, PaneTop, PaneDefaultWidth, PaneDefaultHeight);
    SetControlColours(*ui.Transcript, QPalette::Base, PaneBackground(false));
    ui.Transcript->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui.Transcript->setReadOnly(true);

    ui.PreviewPane = new TRichPane(texts.Preview, &sheet);
    ui.PreviewPane->setObjectName(QStringLiteral("PreviewPane"));
    ui.PreviewPane->setLineWrapMode(QPlainTextEdit::NoWrap);
    ui.PreviewPane->setGeometry(LabelLeft, 0, PaneDefaultWidth, PaneDefaultHeight);
    ui.PreviewPane->setFont(PreviewPaneFont(formFont));
    ui.PreviewPane->setFrameShape(QFrame::NoFrame);
    ui.PreviewPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui.PreviewPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    SetControlColours(*ui.PreviewPane, QPalette::Base, background);
    ui.PreviewPane->viewport()->setAutoFillBackground(ownBackground);
    ui.PreviewPane->setReadOnly(true);
    ui.PreviewPane->hide();

    ui.LocalPane = new TRichPane(texts.Local, &sheet);
    ui.LocalPane->setObjectName(QStringLiteral("LocalPane"));
    ui.LocalPane->SetWordWrap(false);
    ui.LocalPane->setReadOnly(true);
    SetControlColours(*ui.LocalPane, QPalette::Base, PaneBackground(false));
    ui.LocalPane->setFont(LocalPaneFont());
    ui.LocalPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // One line high in the IM styles: a horizontal bar would leave no room for the text. A long
    // line scrolls with the caret instead.
    ui.LocalPane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // The keyboard given to the tab (a click on it, a key choosing it) goes straight into the
    // typing pane. Handing it on from the sheet afterwards would leave screen readers told that
    // the sheet has it.
    sheet.setFocusProxy(ui.LocalPane);

    // For screen readers; the panes' descriptions name the other side once it is known.
    ui.Transcript->setAccessibleName(QStringLiteral("Transcript"));
    ui.PreviewPane->setAccessibleName(QStringLiteral("Preview"));
    ui.LocalPane->setAccessibleName(QStringLiteral("Your text"));
    // What the other side sends is announced by the tab, once for each arrival; the preview
    // line's text is announced when it is committed to the transcript.
    LeaveTextChangesToAnnouncements(*ui.Transcript);
    LeaveTextChangesToAnnouncements(*ui.PreviewPane);
    // The panes' menus offer what the tab's does.
    for (TRichPane* pane : { ui.Transcript, ui.PreviewPane, ui.LocalPane })
        pane->addAction(ui.SaveConversation);

    // The keyboard reaches the controls in the order a tab's are laid out: the transcript, the
    // choices, Disconnect, the preview line, the typing pane, Send. Made after the others, the
    // panes would come last.
    const QWidget* order[] = { ui.Transcript, ui.RealtimeChoice, ui.IMChoice, ui.IMPreviewChoice,
        ui.DisconnectButton, ui.PreviewPane, ui.LocalPane, ui.SendButton };
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));

    // Children made after their parent became visible need showing; the preview pane starts
    // hidden.
    ui.Transcript->setVisible(true);
    ui.LocalPane->setVisible(true);
}

TConversationPaneMetrics MeasureConversationPanes(QWidget& window, const QFont& formFont)
{
    // Every tab's panes have the same fonts and frames: one typing pane, made once for the
    // window and never shown, measures them for tabs whose panes are not made yet.
    const QString name = QStringLiteral("PaneMeasure");
    auto* measure = window.findChild<TRichPane*>(name, Qt::FindDirectChildrenOnly);
    if (measure == nullptr) {
        measure = new TRichPane(&window);
        measure->setObjectName(name);
        measure->hide();
        measure->setFont(LocalPaneFont());
    }
    TConversationPaneMetrics metrics;
    metrics.LocalLineHeight = measure->LineHeight();
    metrics.LocalFrameWidth = measure->frameWidth();
    metrics.PreviewLineHeight
        = qRound(PreviewPaneFont(formFont).pointSizeF() * measure->logicalDpiY() / 72.0);
    return metrics;
}

} // namespace quillet
