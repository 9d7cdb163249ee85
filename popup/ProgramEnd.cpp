#include "ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace popup {

void endProgramNow(int status)
{
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace popup
