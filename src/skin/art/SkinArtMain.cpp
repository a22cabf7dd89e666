// quillet-skin-art <folder>: draws the built-in skin's bitmaps and writes them, with the skin
// description, into <folder>. The build runs it and packs the result into the program.
#include "skin/art/BuiltinSkin.h"

#include <QString>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillet-skin-art <folder>\n");
        return 2;
    }
    std::string error;
    if (!quillet::skin::art::WriteSkin(
            quillet::skin::art::BuiltinSkin(), QString::fromLocal8Bit(argv[1]), error)) {
        std::fprintf(stderr, "quillet-skin-art: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
