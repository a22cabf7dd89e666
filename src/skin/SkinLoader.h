#pragma once

#include "skin/SkinChoice.h"
#include "skin/SkinLimits.h"
#include "skin/TSkin.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace quillet::skin {

// A skin read from a stored package (the container the program carries, or a package file).
struct TSkinLoad {
    // Null when no skin is to be painted.
    std::shared_ptr<const TSkin> Skin;
    // The stored package the skin came from.
    QByteArray Package;
    // What the user is told at start about the skin that was asked for and could not be used;
    // empty when nothing went wrong. Only ever one message.
    std::string Problem;
};

// The outcome of reading one stored package.
struct TPackageRead {
    std::shared_ptr<TSkin> Skin;
    // Why there is no skin: the package reader's fault, a missing description, or a limit.
    std::string Fault;
    // The package is well formed but of another version.
    bool WrongVersion = false;
    // The package is well formed but costs more than the limits allow.
    bool OverLimits = false;
};

// Expands and checks the package, finds its description (the first entry whose name contains
// ".ini"), and reads it with every bitmap it names. The package is not kept.
TPackageRead ReadSkinPackage(
    std::span<const std::uint8_t> container, const TSkinLimits& limits = {});

// Loads the skin `choice` names. A skin file that is missing, unreadable, too large, over the
// limits or not a valid package gives one message naming the file and the reason (for a package
// of another version, the version message alone), and the built-in package is used instead. A
// built-in package that cannot be read leaves the program unskinned, with its own message.
TSkinLoad LoadSkin(
    const TSkinChoice& choice, const QByteArray& builtinPackage, const TSkinLimits& limits = {});

// Skin files larger than this are refused unread.
constexpr std::uintmax_t MaxSkinFileBytes = std::uintmax_t { 64 } * 1024 * 1024;

} // namespace quillet::skin
