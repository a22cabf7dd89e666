#pragma once

// Random texts made of pieces that trouble the settings file's format: blanks and control
// characters, the format's own signs, multi-byte UTF-8 and bytes that are no UTF-8, and a few
// plain words, so that a good share of the texts is fine.

#include <random>
#include <string>
#include <vector>

namespace quillet::testing {

class TTroublesomeText {
public:
    explicit TTroublesomeText(unsigned seed)
        : Random(seed)
    {
    }

    // Up to `maxPieces - 1` pieces.
    std::string Next(unsigned maxPieces = 6)
    {
        std::string text;
        for (auto n = Random() % maxPieces; n > 0; --n)
            text += Pieces[Random() % Pieces.size()];
        return text;
    }

    // A whole number from 0 to `below - 1`, from the same sequence.
    unsigned Below(unsigned below) { return static_cast<unsigned>(Random() % below); }

private:
    std::mt19937 Random;
    const std::vector<std::string> Pieces
        = { "a", "Z", "7", "Bob", "10.0.0.", " ", "\t", "\r", "\n", std::string(1, '\0'), "=", ",",
              ";", "[", "]", "\"", "#", "\\", "\x7f", "\xC3\xA9", "\xE2\x82\xAC", "\xC5\x81",
              "\xF0\x9F\x99\x82", "\xC2\xA0", "\xE2\x80\xA8", "\xE9", "\xFF" };
};

} // namespace quillet::testing
