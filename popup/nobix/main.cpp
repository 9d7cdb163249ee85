#include "PopupProgram.h"
#include "NobixVariant.h"

int main(int argc, char *argv[])
{
    const NobixVariant variant;
    return popupMain(argc, argv, NobixVariant::title(), variant);
}
