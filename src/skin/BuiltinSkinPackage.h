#pragma once

#include <QByteArray>

namespace quillet::skin {

// The skin that comes with the program, in its stored form (the container of a skin package):
// the bitmaps quillet-skin-art draws and their description, packed by quillet-skin at build time
// and compiled into the program. The bytes live as long as the program.
QByteArray BuiltinSkinPackage();

} // namespace quillet::skin
