// Feeds the LZHUF decoder arbitrary code streams with arbitrary declared sizes, and the encoder
// arbitrary inputs to round-trip. Checks that a decode either fails with nothing kept or yields
// exactly the declared size (ASan catches any write beyond it), and that decoding an encoded
// input gives it back, also cut short at any declared size.
//
// Input layout: byte 0 = mode (even: decode, odd: round trip); decode: bytes 1-3 = declared size
// (little-endian, up to 16 MiB), the rest = code stream; round trip: byte 1 = where to cut, the
// rest = the input.

#include "skin/Lzhuf.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "fuzz_lzhuf: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using quillet::skin::LzhufDecode;
    using quillet::skin::LzhufEncode;
    if (size < 2)
        return 0;
    std::vector<std::uint8_t> out;
    if (data[0] % 2 == 0) {
        if (size < 4)
            return 0;
        const std::size_t declared = data[1] | (data[2] << 8) | (std::size_t { data[3] } << 16);
        const std::span<const std::uint8_t> code(data + 4, size - 4);
        if (LzhufDecode(code, declared, out)) {
            if (out.size() != declared)
                Fail("decoded size differs from the declared size");
        } else if (!out.empty()) {
            Fail("a failed decode kept bytes");
        }
        return 0;
    }
    const std::span<const std::uint8_t> input(data + 2, size - 2);
    const std::vector<std::uint8_t> code = LzhufEncode(input);
    if (!LzhufDecode(code, input.size(), out) || !std::ranges::equal(out, input))
        Fail("round trip changed the input");
    const std::size_t cut = input.empty() ? 0 : data[1] % (input.size() + 1);
    if (!LzhufDecode(code, cut, out) || !std::equal(out.begin(), out.end(), input.begin()))
        Fail("a shorter declared size did not give the input's start");
    return 0;
}
