#include "shell/QuilletApp.h"

int main(int argc, char** argv)
{
    return quillet::RunQuillet(argc, argv);
}
