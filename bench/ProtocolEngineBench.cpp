// Interpretation throughput of the protocol engine: a 1 MB Realtime stream after the greeting,
// handed over in socket-sized chunks, drawn into a recording display that keeps the transcript.

#include "net/ProtocolEngine.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

namespace {

using namespace quillet;

// Keeps what a tab would keep (the transcript text) without any widget work, so the figure is
// the engine's own cost plus one append per run.
class TTranscriptDisplay final : public IConversationDisplay {
public:
    std::string Transcript;
    std::size_t Calls = 0;

    void PeerNameCompleted(const std::string&) override { ++Calls; }
    void AppendPeerText(std::string_view text, bool) override
    {
        ++Calls;
        Transcript.append(text);
    }
    void EraseTranscriptChar() override
    {
        ++Calls;
        if (!Transcript.empty())
            Transcript.pop_back();
    }
    void TranscriptNewLine() override
    {
        ++Calls;
        Transcript.push_back('\n');
    }
    void SetTypingNotice(const std::string&) override { ++Calls; }
    void AppendPreviewText(std::string_view) override { ++Calls; }
    void ErasePreviewChar() override { ++Calls; }
    void CommitPreviewLine() override { ++Calls; }
    void SwitchStyle(TChatStyle, TChatStyle) override { ++Calls; }
    void ShowMarkedChoice(TChatStyle) override { ++Calls; }
    void ChunkDone() override { ++Calls; }
    void DrawAttention() override { ++Calls; }
};

class TNullSender final : public IByteSender {
public:
    void Send(std::string_view) override { }
    bool WaitWritable(int) override { return true; }
};

class TFixedTicks final : public ITickSource {
public:
    TTick Now() const override { return 0; }
};

// Typed-looking text: words, some accented letters, a line end every 60 or so characters and
// now and then an erasure.
std::string RealtimeStream(std::size_t size)
{
    std::mt19937 rng(42);
    const std::string letters = "etaoinshrdlucmfwypvbgkqjxz    ,.\xE9\xE8\xE0\xF6\xE4";
    std::string s;
    s.reserve(size);
    while (s.size() < size) {
        const unsigned r = rng() % 100;
        if (r == 0)
            s += '\r';
        else if (r == 1)
            s += '\b';
        else
            s += letters[rng() % letters.size()];
    }
    return s;
}

void BM_RealtimeInterpretation(benchmark::State& state)
{
    const auto chunkSize = static_cast<std::size_t>(state.range(0));
    const std::string stream = RealtimeStream(1 << 20);
    TTranscriptDisplay display;
    TNullSender sender;
    TFixedTicks ticks;
    TProtocolEngine engine(display, sender, ticks, "Bench");
    engine.ProcessIncoming("Peer\r\n");

    for (auto _ : state) {
        display.Transcript.clear();
        for (std::size_t at = 0; at < stream.size(); at += chunkSize)
            engine.ProcessIncoming(std::string_view(stream).substr(at, chunkSize));
        benchmark::DoNotOptimize(display.Transcript.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["display_calls_per_iter"]
        = static_cast<double>(display.Calls) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_RealtimeInterpretation)
    ->Arg(1 << 20)
    ->Arg(4096)
    ->Arg(64)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
