#pragma once

// Inputs for the skin package tests, made here from fixed seeds.

#include "skin/Lzhuf.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::testing {

using TBytes = std::vector<std::uint8_t>;

inline TBytes BytesOf(std::string_view text)
{
    return TBytes(text.begin(), text.end());
}

inline TBytes RandomBytes(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    TBytes bytes(count);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(random());
    return bytes;
}

// Words, blanks and line breaks: text that compresses the way descriptions do.
inline TBytes SampleText(std::size_t count, std::uint32_t seed)
{
    static const char* const words[] = { "Image", "LeftWidth", "=", "TopHeight", "button.bmp",
        "[Personality]", "Frame", "Trans", "Tile", "0x1F", "NormalColour", "255 0 255", "\r\n",
        "skin", "the", "quick", "brown", "fox", ";", "Colours", "12", "346" };
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < count) {
        text += words[random() % std::size(words)];
        text += ' ';
    }
    text.resize(count);
    return BytesOf(text);
}

inline void Put32(TBytes& out, std::int64_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) >> (8 * i)));
}

// A package laid out by hand: header, name table, size table, data area, each exactly as given.
inline TBytes RawPackage(std::int64_t version, std::string_view names,
    std::initializer_list<std::int64_t> sizes, std::string_view data,
    std::optional<std::int64_t> tableLength = std::nullopt)
{
    TBytes p;
    Put32(p, version);
    Put32(p, tableLength.value_or(static_cast<std::int64_t>(names.size())));
    Put32(p, 0x12345678); // reserved: arbitrary
    Put32(p, -1);
    p.insert(p.end(), names.begin(), names.end());
    for (const std::int64_t size : sizes)
        Put32(p, size);
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

// The stored container of `package`: count, expanded size (as declared), code stream.
inline TBytes ContainerOf(
    const TBytes& package, std::optional<std::int64_t> declaredSize = std::nullopt)
{
    const TBytes code = skin::LzhufEncode(package);
    TBytes c;
    Put32(c, static_cast<std::int64_t>(4 + code.size()));
    Put32(c, declaredSize.value_or(static_cast<std::int64_t>(package.size())));
    c.insert(c.end(), code.begin(), code.end());
    return c;
}

} // namespace quillet::testing
