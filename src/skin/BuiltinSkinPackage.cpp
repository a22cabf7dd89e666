#include "skin/BuiltinSkinPackage.h"

#include <cstddef>

namespace quillet::skin {

// Generated at build time from the package quillet-skin packs (EmbedBytes.cmake).
extern const unsigned char BuiltinSkinBytes[];
extern const std::size_t BuiltinSkinSize;

QByteArray BuiltinSkinPackage()
{
    return QByteArray::fromRawData(
        reinterpret_cast<const char*>(BuiltinSkinBytes), static_cast<qsizetype>(BuiltinSkinSize));
}

} // namespace quillet::skin
