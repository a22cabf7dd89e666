#pragma once

class QAccessibleEvent;
class QPlainTextEdit;

namespace quillet {

// Teaches the accessibility layer (what screen readers see) the chat window's own widgets: the
// window is a frame, the tab strip a page tab list of the conversations, and each conversation's
// page a panel named after the peer. Safe to call more than once.
void InstallChatAccessibility();

// Screen readers hear of text added to `pane` only through what its owner announces (once for
// what arrived in one go, through Announce), not through the editor's own report of every
// change, which would tell each arrival a second time and in pieces.
void LeaveTextChangesToAnnouncements(QPlainTextEdit& pane);
// Tells screen readers of `event`: for a pane left to announcements, the announcement itself.
void Announce(QAccessibleEvent& event);

} // namespace quillet
