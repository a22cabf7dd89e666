#include "skin/Lzhuf.h"

#include "LhaArchive.h"
#include "SkinTestData.h"
#include "skin/TAdaptiveHuffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

namespace quillet::skin {
namespace {

using namespace quillet::testing;

struct TCodecCase {
    const char* Name;
    TBytes Input;
};

TBytes Concat(std::initializer_list<TBytes> parts)
{
    TBytes all;
    for (const TBytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::vector<TCodecCase> CodecCases()
{
    const TBytes block = RandomBytes(4096, 7);
    TBytes allValues;
    for (int round = 0; round < 40; ++round)
        for (int v = 0; v < 256; ++v)
            allValues.push_back(static_cast<std::uint8_t>(round % 2 ? 255 - v : v));
    return {
        { "empty", {} },
        { "one byte", { 'A' } },
        { "one blank", { ' ' } },
        { "the ring's blanks", TBytes(4036, ' ') },
        { "many blanks", TBytes(20000, ' ') },
        { "blanks then text", Concat({ TBytes(100, ' '), SampleText(3000, 1) }) },
        { "text", SampleText(60000, 2) },
        { "every byte value", allValues },
        { "random bytes (several tree rebuilds)", RandomBytes(120000, 3) },
        // A block repeated at exactly the ring's size: matches reach back 4096 bytes.
        { "matches 4096 back", Concat({ block, block, block }) },
        { "long mixed input",
            Concat({ SampleText(200000, 4), RandomBytes(150000, 5), TBytes(30000, 0),
                SampleText(100000, 6) }) },
    };
}

TEST(LzhufTest, RoundTripsAndLhasaDecodesOurStreams)
{
    for (const TCodecCase& c : CodecCases()) {
        SCOPED_TRACE(c.Name);
        const TBytes code = LzhufEncode(c.Input);
        TBytes decoded;
        ASSERT_TRUE(LzhufDecode(code, c.Input.size(), decoded));
        EXPECT_TRUE(decoded == c.Input);

        const auto lhasa = LhasaExtract(LhaArchiveOf(code, c.Input));
        ASSERT_TRUE(lhasa.has_value());
        EXPECT_EQ(lhasa->Method, "-lh1-");
        EXPECT_TRUE(lhasa->Data == c.Input) << "lhasa gave " << lhasa->Data.size() << " bytes";
        EXPECT_TRUE(lhasa->CrcMatches);
    }
}

TEST(LzhufTest, RepetitiveInputShrinks)
{
    // The match search must find the long matches, not only literals.
    // 334 matches of 60 blanks, each a short symbol code and 9 position bits.
    EXPECT_LT(LzhufEncode(TBytes(20000, ' ')).size(), 600u);
    EXPECT_LT(LzhufEncode(SampleText(60000, 2)).size(), 60000u / 3);
}

TEST(LzhufTest, AStreamThatEndsEarlyIsRefusedAtEveryCut)
{
    const TBytes input = SampleText(3000, 9);
    const TBytes code = LzhufEncode(input);
    for (std::size_t cut = 0; cut < code.size(); ++cut) {
        TBytes out { 1, 2, 3 };
        EXPECT_FALSE(LzhufDecode(std::span(code).first(cut), input.size(), out)) << cut;
        EXPECT_TRUE(out.empty());
    }
}

TEST(LzhufTest, DeclaredSizeDecidesWhereDecodingStops)
{
    const TBytes input = Concat({ TBytes(500, 'x'), SampleText(2000, 10) });
    const TBytes code = LzhufEncode(input);
    struct TRow {
        std::size_t Declared;
        bool Expected;
    };
    // 1 and 17 stop inside the first match (a run of 'x' after one literal).
    for (const TRow row : { TRow { 0, true }, TRow { 1, true }, TRow { 17, true },
             TRow { 1999, true }, TRow { input.size(), true }, TRow { input.size() + 100, false },
             TRow { std::size_t { 64 } << 20, false },
             // More than any stream of this length can give: refused before decoding.
             TRow { code.size() * lzhuf::MaxExpansionPerCodeByte + 1, false } }) {
        TBytes out;
        EXPECT_EQ(LzhufDecode(code, row.Declared, out), row.Expected) << row.Declared;
        if (row.Expected) {
            ASSERT_EQ(out.size(), row.Declared);
            EXPECT_TRUE(std::equal(out.begin(), out.end(), input.begin()));
        }
    }
    TBytes out;
    EXPECT_TRUE(LzhufDecode({}, 0, out));
    EXPECT_FALSE(LzhufDecode({}, 1, out));
}

TEST(LzhufTest, TheDensestStreamsStayWithinTheExpansionBound)
{
    // Long runs give the longest matches with the shortest codes: as dense as a stream gets.
    for (const TBytes& input : { TBytes(std::size_t { 1 } << 20, ' '), TBytes(300000, 0) }) {
        const TBytes code = LzhufEncode(input);
        EXPECT_LE(input.size(), code.size() * lzhuf::MaxExpansionPerCodeByte);
        TBytes out;
        ASSERT_TRUE(LzhufDecode(code, input.size(), out));
        EXPECT_TRUE(out == input);
    }
}

// Every symbol's code leads the decoder's walk from the root back to that symbol.
void ExpectEveryCodeWalksToItsSymbol(const TAdaptiveHuffman& tree)
{
    for (int symbol = 0; symbol < lzhuf::SymbolCount; ++symbol) {
        const auto code = tree.CodeOf(symbol);
        int walk = tree.Son(lzhuf::RootNode);
        for (int i = code.Length - 1; i >= 0; --i)
            walk = tree.Son(walk + static_cast<int>((code.Bits >> i) & 1));
        ASSERT_EQ(walk, lzhuf::NodeCount + symbol);
    }
}

TEST(AdaptiveHuffmanTest, StaysOrderedAndDecodableAcrossRebuilds)
{
    TAdaptiveHuffman tree;
    std::mt19937 random(11);
    std::geometric_distribution<int> skewed(0.05);
    for (int n = 1; n <= 200000; ++n) {
        tree.Update(std::min(skewed(random), lzhuf::SymbolCount - 1));
        if (n % 9973 != 0)
            continue;
        for (int node = 0; node < lzhuf::RootNode; ++node) {
            ASSERT_LE(tree.Frequency(node), tree.Frequency(node + 1)) << node;
            const int son = tree.Son(node);
            if (son < lzhuf::NodeCount) {
                ASSERT_EQ(tree.Frequency(node), tree.Frequency(son) + tree.Frequency(son + 1));
            }
        }
        ExpectEveryCodeWalksToItsSymbol(tree);
    }
    // 200,000 updates without a rebuild would have left the root at 200,314.
    EXPECT_LE(tree.Frequency(lzhuf::RootNode), lzhuf::RebuildFrequency);
}

TEST(AdaptiveHuffmanTest, CodesLongerThanSixteenBitsStayWhole)
{
    // Symbol counts growing like Fibonacci numbers (200, 400, 600, 1000, ...) make a chain-shaped
    // tree whose rarest leaves sit 18 levels deep, below the root frequency that forces a rebuild.
    TAdaptiveHuffman tree;
    long count = 200;
    long next = 400;
    for (int symbol = lzhuf::SymbolCount - 1; symbol > 250; --symbol) {
        if (tree.Frequency(lzhuf::RootNode) + count >= lzhuf::RebuildFrequency)
            break;
        for (long k = 1; k < count; ++k)
            tree.Update(symbol);
        count = std::exchange(next, count + next);
    }
    int longest = 0;
    for (int symbol = 0; symbol < lzhuf::SymbolCount; ++symbol)
        longest = std::max(longest, tree.CodeOf(symbol).Length);
    EXPECT_GT(longest, 16);
    ExpectEveryCodeWalksToItsSymbol(tree);
}

} // namespace
} // namespace quillet::skin
