#pragma once

namespace quillet {

// Wire bytes with a meaning of their own.
namespace wire {
inline constexpr char Backspace = '\x08';
inline constexpr char LineFeed = '\x0A';
inline constexpr char CarriageReturn = '\x0D';
inline constexpr char Delete = '\x7F';
inline constexpr unsigned char SigStoppedTyping = 247;
inline constexpr unsigned char SigTypingCleared = 248;
inline constexpr unsigned char SigTyping = 249;
inline constexpr unsigned char SigStyleBase = 249; // + style: 250, 251, 252
} // namespace wire

} // namespace quillet
