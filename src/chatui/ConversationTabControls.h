#pragma once

#include <QPalette>

class QAction;
class QColor;
class QFont;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillet {

class TRichPane;
class TTabSheet;

// The eleven controls of a conversation's tab, and what its menus offer. They belong to the tab's
// sheet.
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

// Makes the controls on `sheet` as a new Realtime tab shows them: names, captions, fonts,
// colours, read-only states, scroll bars and menus. They are made in the order the keyboard
// reaches them. What they do is connected by the tab. `formFont` is the chat window's font.
TConversationTabControls BuildConversationTabControls(TTabSheet& sheet, const QFont& formFont);

// Gives `widget` the background `background` in `role`, with black text.
void SetControlColours(QWidget& widget, QPalette::ColorRole role, const QColor& background);

} // namespace quillet
