// Feeds the protocol engine arbitrary received bytes, cut into chunks in arbitrary ways, in each
// of the three styles and as caller and callee. Checks that the display contract holds (text runs
// without line breaks or control bytes, valid UTF-8, no redundant marking, SwitchStyle from the
// style the tab is in), that the kept peer name stays within its cap, and that cutting the stream
// into chunks changes neither what is shown nor what is sent.
//
// Input layout: byte 0 = role and chunking mode, byte 1 = chunk size seed, the rest = the stream.

#include "net/ProtocolEngine.h"

#include "platform/CodePage1252.h"
#include "support/ProtocolFakes.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillet;
using namespace quillet::testing;

struct TResult {
    TRenderedState Rendered;
    std::string Sent;
    std::string PeerName;
    TChatStyle Style;
};

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "fuzz_protocol: %s %s\n", what, detail.c_str());
    std::abort();
}

// Chunk lengths from a small generator seeded by the input, so the same input cuts the same way.
std::vector<std::size_t> ChunkLengths(std::size_t total, std::uint8_t mode, std::uint8_t seed)
{
    std::vector<std::size_t> lengths;
    std::uint32_t state = 0x9E3779B9u ^ (static_cast<std::uint32_t>(seed) << 8) ^ mode;
    const std::size_t maxChunk = (mode & 0x10) ? 1 : 1 + seed % 97;
    std::size_t done = 0;
    while (done < total) {
        state = state * 1664525u + 1013904223u;
        const std::size_t n = std::min<std::size_t>(total - done, 1 + (state >> 8) % maxChunk);
        lengths.push_back(n);
        done += n;
    }
    return lengths;
}

TResult Run(TChatStyle style, bool caller, std::string_view stream,
    const std::vector<std::size_t>& lengths, bool localActions)
{
    TFakeTickSource ticks(0xFFFFF000u);
    TRecordingDisplay display;
    display.KeepCallLog = false;
    TFakeByteSender sender;
    TProtocolEngine engine(display, sender, ticks, "Fuzz");
    if (caller) {
        engine.SendGreeting();
        engine.AnnounceStartStyle(style);
    } else if (style != TChatStyle::Realtime) {
        display.UserMarked(style);
        engine.UserChoseStyle(style);
    }

    std::size_t at = 0;
    for (const std::size_t n : lengths) {
        const std::string_view chunk = stream.substr(at, n);
        engine.ProcessIncoming(chunk);
        at += n;
        if (engine.PeerName().size() > TProtocolEngine::MaxNameBytes)
            Fail("peer name longer than the cap");
        if (localActions) {
            // The local side keeps typing and ticking while bytes arrive.
            const auto key = static_cast<unsigned char>(chunk.front());
            engine.KeyTyped(key % 3 == 0 ? U'\b' : cp1252::Decode(key), key % 5 == 0);
            ticks.Advance(static_cast<TTick>(n) * 700);
            engine.TypingTick();
            if (key % 7 == 0)
                engine.SendLine(std::string(chunk.substr(0, 4)));
            if (key % 11 == 0) {
                const auto choice = static_cast<TChatStyle>(1 + key % 3);
                display.UserMarked(choice);
                engine.UserChoseStyle(choice);
            }
        }
    }
    if (!display.Faults.empty())
        Fail("display contract broken:", display.Faults.front());
    if (display.State.Style != engine.Style())
        Fail("display and engine disagree on the style");
    return { display.State, sender.Bytes(), engine.PeerName(), engine.Style() };
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::uint8_t mode = data[0];
    const std::uint8_t seed = data[1];
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool caller = (mode & 1) != 0;
    const std::vector<std::size_t> whole = { stream.size() };
    const std::vector<std::size_t> cut = ChunkLengths(stream.size(), mode, seed);

    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview }) {
        const TResult one = Run(style, caller, stream, whole, false);
        const TResult many = Run(style, caller, stream, cut, false);
        if (!(one.Rendered == many.Rendered))
            Fail("chunking changed what is shown:",
                one.Rendered.Transcript + " | " + many.Rendered.Transcript);
        if (one.Sent != many.Sent)
            Fail("chunking changed what is sent");
        if (one.PeerName != many.PeerName || one.Style != many.Style)
            Fail("chunking changed the name or the style");
        Run(style, caller, stream, cut, (mode & 2) != 0);
    }
    return 0;
}
