#include "shell/QuilletApp.h"

#include <QApplication>

namespace quillet {

int RunQuillet(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Quillet");
    return 0;
}

} // namespace quillet
