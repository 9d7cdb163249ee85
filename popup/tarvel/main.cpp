#include "PopupProgram.h"
#include "TarvelVariant.h"

int main(int argc, char *argv[])
{
    const popup::TarvelVariant variant;
    return popup::popupMain(argc, argv, popup::TarvelVariant::title(), variant);
}
