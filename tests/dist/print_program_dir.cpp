// Prints programDir() as the running program sees it, with no Qt application
// object, or with one when the first argument is "app".
#include "AppPaths.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && std::strcmp(argv[1], "app") == 0) {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    std::fputs(programDir().toLocal8Bit().constData(), stdout);
    return 0;
}
