#pragma once

#include <QPalette>

class QColor;
class QFont;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

namespace quillet {

class TRichPane;
class TTabSheet;

// The eleven controls of a conversation's tab. They belong to the tab's sheet.
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
};

// Makes the controls on `sheet` as a new Realtime tab shows them: names, captions, fonts,
// colours, read-only states and scroll bars. They are made in the order the keyboard reaches
// them. What they do is connected by the tab. `formFont` is the chat window's font.
TConversationTabControls BuildConversationTabControls(TTabSheet& sheet, const QFont& formFont);

// Gives `widget` the background `background` in `role`, with black text.
void SetControlColours(QWidget& widget, QPalette::ColorRole role, const QColor& background);

} // namespace quillet
