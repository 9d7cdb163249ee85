#include "NobixVariant.h"
#include "PopupProgram.h"

int main(int argc, char *argv[])
{
    const popup::NobixVariant variant;
    return popup::popupMain(argc, argv, popup::NobixVariant::title(), variant);
}
