#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet {

// What the other side shows of the typing pane, as the bytes that put it there: one byte for
// each character of the pane, in Windows-1252, with the letters whose bytes are signals sent as
// their look-alikes and a CR for each line break.
//
// The other side can only add at the end and take its last character away, so any change of the
// pane (a selection erased, text pasted in the middle, an undo) goes out as one erase for every
// byte after the part the copy and the pane's new text have in common, then the rest of the new
// text. Both ends then show the same text, whatever the edit was.
//
// Main thread.
class TTypedCopy final {
public:
    // The bytes that turn the copy into `utf8Text`, the pane's whole text with "\n" between its
    // lines, after the pane's limit took `droppedFront` characters from its front (the other side
    // keeps those; they are no longer the pane's to erase). Empty when the text is what the copy
    // holds. The copy holds the text afterwards.
    std::string Update(std::string_view utf8Text, std::size_t droppedFront);
    // The same for an edit whose place is known, before it reaches the pane: `removed`
    // characters at `position` replaced by `utf8Inserted`, then `droppedFront` characters taken
    // from the front. Costs what follows `position`, not the whole text.
    std::string Replace(std::size_t position, std::size_t removed, std::string_view utf8Inserted,
        std::size_t droppedFront);
    // The other side has taken the copy into its transcript (the line was sent, or the style
    // switched): what the pane holds next is new to it.
    void Clear();
    bool Empty() const { return Copy.empty(); }
    const std::string& Bytes() const { return Copy; }

    // Typed text as it goes on the wire: `lineBreak` for each line break (CR LF, LF or CR), the
    // control characters the other side would act on (erasures and the like) or not draw left
    // out.
    static std::string Encode(std::string_view utf8Text, std::string_view lineBreak);

private:
    std::string Copy;
};

} // namespace quillet
