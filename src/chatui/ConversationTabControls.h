#pragma once

#include <QPalette>

#include <memory>

class QAction;
class QColor;
class QFont;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillet {

class TPaneText;
class TRichPane;
class TTabSheet;

// The eleven controls of a conversation's tab, and what its menus offer. They belong to the tab's
// sheet. The three panes are made when the tab is first shown (null until then).
struct TConversationTabControls {
    TRichPane* Transcript = nullptr;
    QLabel* StyleCaption = nullptr;
    QRadioButton* RealtimeChoice = nullptr;
    QRadioButton* IMChoice = nullptr;
    QRadioButton* IMPreviewChoice = nullptr;
    QLabel* InfoLabel = nullptr;
    QPushButton* DisconnectButton = nullptr;
    TRichPane* PreviewPane = nullptr;
    QLabel* TypingLabel = nullptr;
    TRichPane* LocalPane = nullptr;
    QPushButton* SendButton = nullptr;
    // "Save Conversation…": Ctrl+S anywhere in the tab, and in the menus of its tab, its
    // background and its text panes.
    QAction* SaveConversation = nullptr;
};

// The texts the three panes show.
struct TConversationTabTexts {
    std::shared_ptr<TPaneText> Transcript;
    std::shared_ptr<TPaneText> Preview;
    std::shared_ptr<TPaneText> Local;
};

// What the tab's layout needs of the panes' fonts and frames.
struct TConversationPaneMetrics {
    int LocalLineHeight = 0;
    int LocalFrameWidth = 0;
    int PreviewLineHeight = 0;
};

// Makes the controls on `sheet` but the three panes as a new Realtime tab shows them: names,
// captions, fonts, colours, states and menus. They are made in the order the keyboard reaches
// them. What they do is connected by the tab. `formFont` is the chat window's font.
TConversationTabControls BuildConversationTabControls(TTabSheet& sheet, const QFont& formFont);
// Makes the three panes into `ui` as a new Realtime tab shows them (fonts, colours, read-only
// states, scroll bars, menus), showing `texts`, and puts them where the keyboard reaches them
// among the other controls: the keyboard given to the sheet goes to the typing pane.
void BuildConversationTabPanes(TTabSheet& sheet, const QFont& formFont,
    const TConversationTabTexts& texts, TConversationTabControls& ui);
// The panes' metrics in the chat window `window`, for a tab whose panes are not made yet.
TConversationPaneMetrics MeasureConversationPanes(QWidget& window, const QFont& formFont);

// The transcript's and the typing pane's background: white while the conversation stands,
// silver before and after.
QColor PaneBackground(bool connected);

// Gives `widget` the background `background` in `role`, with black text.
void SetControlColours(QWidget& widget, QPalette::ColorRole role, const QColor& background);

} // namespace quillet
