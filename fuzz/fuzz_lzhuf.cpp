// Feeds the LZHUF decoder arbitrary code streams with arbitrary declared sizes, and the encoder
// arbitrary inputs to round-trip. Checks that a decode either fails with nothing kept or yields
// exactly the declared size (ASan catches any write beyond it), and that decoding an encoded
// input gives it back, also cut short at any declared size.
//
// The adaptive Huffman tree is rebuilt when its root's frequency reaches 0x8000, which takes
// tens of thousands of symbols: far more than an input of libFuzzer's usual length codes. Two
// modes stretch a short input into a long stream the fuzzer still shapes, so that even a short
// run decodes (and encodes) through rebuilds, and the trees that follow them.
// A rebuild only moves nodes when the symbols' frequencies are uneven: random code bits give
// uneven ones (a frequent symbol gets a short code, which random bits then pick more often), and
// so does an input whose bytes are.
//
// Input layout: byte 0 = mode (its lowest six bits) and a flag (bit 6); byte 1 = a parameter;
// the rest = data. A long stream takes tens of times as long as a short one: the long modes have
// one value each and need MinPattern bytes of data.
//   0-30, decode: the data is a code stream; the declared size is the parameter's share (of
//      255) of one more than the most the stream can expand to, so that most declared sizes are
//      decoded and the largest is refused at once.
//   31-61, round trip: the data is the input; the parameter says where to cut.
//   62, long decode: the data is a pattern repeated into LongCode bytes of code stream, XORed
//      with fixed pseudo-random bytes unless the flag is set; the declared size is LongDeclared
//      less the parameter's share of it.
//   63, long round trip: the data is a pattern repeated into LongInput bytes, each repetition
//      shuffled its own way (the bytes keep the pattern's frequencies, and repetitions do not
//      match each other as a whole), XORed with fixed pseudo-random bytes unless the flag is
//      set: without them a pattern of few distinct bytes codes into matches, too few symbols for
//      a rebuild. The parameter says where to cut.

#include "skin/Lzhuf.h"
#include "skin/LzhufFormat.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

using quillet::skin::LzhufDecode;
using quillet::skin::LzhufEncode;
using quillet::skin::lzhuf::MaxExpansionPerCodeByte;

// The first rebuild comes after about 32,500 symbols. In the streams tried (random bits, all
// zeros, all ones, alternating bits) symbols average well under 16 bits, so this many bytes pass
// it, and stay quick enough for many runs.
constexpr std::size_t LongCode = std::size_t { 64 } * 1024;
// The long modes wait for inputs this long: libFuzzer starts with inputs of a few bytes and
// lets them grow while new ones keep finding something, so the quick short modes have the
// first seconds of a run to themselves.
constexpr std::size_t MinPattern = 8;
// Declared for a long code stream at most: more than any of the streams tried expands to (a
// decode that fails at the stream's end is as much worth checking as one that succeeds), and
// little enough to allocate for each run.
constexpr std::size_t LongDeclared = std::size_t { 1024 } * 1024;
// Bytes in an order that no earlier stretch repeats code about one symbol each.
constexpr std::size_t LongInput = std::size_t { 48 } * 1024;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_lzhuf: %s\n", what);
    std::abort();
}

// `share` (of 255) of `whole`.
std::size_t Share(std::uint8_t share, std::size_t whole)
{
    return whole / 255 * share + whole % 255 * share / 255;
}

void CheckDecode(std::span<const std::uint8_t> code, std::size_t declared)
{
    std::vector<std::uint8_t> out;
    if (LzhufDecode(code, declared, out)) {
        if (out.size() != declared)
            Fail("decoded size differs from the declared size");
    } else if (!out.empty()) {
        Fail("a failed decode kept bytes");
    }
}

void CheckRoundTrip(std::span<const std::uint8_t> input, std::uint8_t cutByte)
{
    std::vector<std::uint8_t> out;
    const std::vector<std::uint8_t> code = LzhufEncode(input);
    if (!LzhufDecode(code, input.size(), out) || !std::ranges::equal(out, input))
        Fail("round trip changed the input");
    const std::size_t cut = input.empty() ? 0 : cutByte % (input.size() + 1);
    if (!LzhufDecode(code, cut, out) || !std::equal(out.begin(), out.end(), input.begin()))
        Fail("a shorter declared size did not give the input's start");
}

// A fixed pseudo-random sequence (splitmix64): the same value for the same `index`.
std::uint64_t Noise(std::uint64_t index)
{
    std::uint64_t z = (index + 1) * 0x9E3779B97F4A7C15u;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// `pattern` repeated into `size` bytes, each byte XORed with Noise when `noisy`.
std::vector<std::uint8_t> Repeated(
    std::span<const std::uint8_t> pattern, std::size_t size, bool noisy)
{
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        const auto noise = static_cast<std::uint8_t>(noisy ? Noise(i) : 0);
        bytes[i] = pattern[i % pattern.size()] ^ noise;
    }
    return bytes;
}

// `pattern` repeated into `size` bytes, each repetition shuffled by its own permutation, and
// each byte XORed with Noise when `noisy`.
std::vector<std::uint8_t> Shuffled(
    std::span<const std::uint8_t> pattern, std::size_t size, bool noisy)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(size + pattern.size());
    std::vector<std::uint8_t> round(pattern.begin(), pattern.end());
    for (std::uint64_t r = 0; bytes.size() < size; ++r) {
        for (std::size_t i = round.size(); i > 1; --i)
            std::swap(round[i - 1], round[Noise((r << 32) + i) % i]);
        bytes.insert(bytes.end(), round.begin(), round.end());
    }
    bytes.resize(size);
    if (noisy) {
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] ^= static_cast<std::uint8_t>(Noise(i));
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int mode = data[0] & 63;
    const bool noisy = (data[0] & 64) == 0;
    const std::uint8_t parameter = data[1];
    const std::span<const std::uint8_t> rest(data + 2, size - 2);

    if (mode <= 30)
        CheckDecode(rest, Share(parameter, rest.size() * MaxExpansionPerCodeByte + 1));
    else if (mode <= 61)
        CheckRoundTrip(rest, parameter);
    else if (rest.size() < MinPattern)
        return 0;
    else if (mode == 62)
        CheckDecode(Repeated(rest, LongCode, noisy), LongDeclared - Share(parameter, LongDeclared));
    else
        CheckRoundTrip(Shuffled(rest, LongInput, noisy), parameter);
    return 0;
}
