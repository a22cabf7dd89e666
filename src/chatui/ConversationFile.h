#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace quillet {

class TChatForm;
class TConversationTab;

// What a saved conversation holds. Texts have "\n" between lines.
struct TConversationRecord {
    QString PeerName; // empty until the peer's name has arrived
    QString PeerAddress; // empty when not known
    QString PeerPort;
    QString OwnName;
    QDateTime Saved;
    QString Transcript;
    // What the own side typed that the transcript does not hold: the typing pane in Realtime,
    // where the two sides' texts stand in two panes. Empty otherwise.
    QString OwnText;
};

// The record of the conversation `tab` shows, as it stands now.
TConversationRecord ConversationRecord(const TConversationTab& tab, const QDateTime& saved);

// The saved file's text: one header line naming the peer, where it is and when the conversation
// was saved, then the transcript after a blank line, then the own side's text under a line
// saying whose it is. Every line ends with "\n". A peer's name is a stranger's text: line breaks
// and other control characters in it become blanks, so the header stays one line.
QString ConversationFileText(const TConversationRecord& record);

// A name for the saved file: the peer's name (its address while it has none) and the date, as
// "Bob Miller 2024-05-03.txt". Only what is safe in the name of one file is kept of the peer's
// name: no path separators or characters other systems refuse in names, no control or
// invisible formatting characters (which could make a name read as something it is not), no
// leading dots or dashes, at most MaxFileNameStem characters.
QString ConversationFileName(const QString& peerName, const QString& peerAddress, QDate date);
constexpr int MaxFileNameStem = 48;

// Writes `text` as UTF-8 to `path`, replacing a file that is there only once the new one is
// complete. Empty on success, else the reason it failed.
QString WriteConversationFile(const QString& path, const QString& text);

// Where the user picks the file to save to, starting from `suggested`; empty when cancelled.
using TChooseSaveFile = std::function<QString(QWidget* parent, const QString& suggested)>;

// "Save Conversation…": asks where to save, offering `fileName` in the folder last saved to (else
// the user's documents), writes what `record` gives once the file is chosen, and says in the chat
// window's error box why when that fails. `record` gives nothing when the conversation is gone
// by then.
void SaveConversation(TChatForm& form, const QString& fileName, const TChooseSaveFile& choose,
    const std::function<std::optional<TConversationRecord>()>& record);

} // namespace quillet
