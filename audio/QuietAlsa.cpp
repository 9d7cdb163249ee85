#include "QuietAlsa.h"

#include <dlfcn.h>

namespace audio {

namespace {

// snd_lib_error_handler_t from alsa/error.h, whose header is not needed for
// one function.
using AlsaErrorHandler = void (*)(const char *file, int line, const char *function, int error,
                                  const char *format, ...);
using SetAlsaErrorHandler = int (*)(AlsaErrorHandler handler);

void ignoreAlsaError(const char *, int, const char *, int, const char *, ...) {}

} // namespace

void silenceAlsaErrors()
{
    // Never closed: the handler must stay in place as long as the library.
    void *alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (alsa == nullptr)
        return;
    const auto set =
        reinterpret_cast<SetAlsaErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set != nullptr)
        static_cast<void>(set(&ignoreAlsaError));
}

} // namespace audio
