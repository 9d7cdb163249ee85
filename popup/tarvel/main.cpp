#include "PopupProgram.h"
#include "TarvelVariant.h"

int main(int argc, char *argv[])
{
    const TarvelVariant variant;
    return popupMain(argc, argv, TarvelVariant::title(), variant);
}
