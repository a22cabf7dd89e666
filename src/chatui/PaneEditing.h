#pragma once

class QString;

namespace quillet {

class TRichPane;

// Where a pane the user types into hands the user's edits. The editing applies each one to the
// pane's text itself, at the pane's cursor (and its selection), which it reads only once the
// edit begins: what was received before the key is shown first, and may have changed the pane.
class IPaneEditing {
public:
    virtual ~IPaneEditing() = default;

    // Typed, committed by an input method, or pasted: the text replaces the selection.
    virtual void Insert(TRichPane& pane, const QString& text) = 0;
    // Dropped at `position`; with `moved`, dragged there from the pane's own selection, which
    // goes. The pane's cursor ends after the text.
    virtual void Drop(TRichPane& pane, int position, bool moved, const QString& text) = 0;
    // Backspace, or Delete when `forward`: the selection, else the character before (or after)
    // the cursor.
    virtual void Erase(TRichPane& pane, bool forward) = 0;
    // Enter.
    virtual void LineEnd(TRichPane& pane) = 0;
    virtual void Undo(TRichPane& pane) = 0;
    virtual void Redo(TRichPane& pane) = 0;
    // The pane's own handling of an event changed the text: a selection dragged into another
    // program leaves it.
    virtual void ChangedByPane(TRichPane& pane) = 0;
};

} // namespace quillet
