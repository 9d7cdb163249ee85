#include "SdlLibrary.h"

#include <dlfcn.h>

namespace audio {

namespace {

// SDL 2's run-time name on every Linux distribution (also sdl2-compat's).
constexpr const char *kLibraryName = "libSDL2-2.0.so.0";

struct Loading
{
    SdlLibrary library;
    bool ok = false;
    QString error;
};

template <typename F> bool resolve(void *handle, const char *name, F &function)
{
    function = reinterpret_cast<F>(dlsym(handle, name));
    return function != nullptr;
}

Loading loadLibrary()
{
    Loading result;
    // Never closed: SDL's threads and atexit work may outlive any owner.
    void *handle = dlopen(kLibraryName, RTLD_LAZY | RTLD_LOCAL);
    if (handle == nullptr) {
        result.error = QString::fromLocal8Bit(dlerror());
        return result;
    }
    SdlLibrary &l = result.library;
    result.ok = resolve(handle, "SDL_InitSubSystem", l.InitSubSystem) &&
                resolve(handle, "SDL_QuitSubSystem", l.QuitSubSystem) &&
                resolve(handle, "SDL_GetError", l.GetError) &&
                resolve(handle, "SDL_SetHint", l.SetHint) &&
                resolve(handle, "SDL_SetHintWithPriority", l.SetHintWithPriority) &&
                resolve(handle, "SDL_GetHint", l.GetHint) &&
                resolve(handle, "SDL_GetCurrentAudioDriver", l.GetCurrentAudioDriver) &&
                resolve(handle, "SDL_OpenAudioDevice", l.OpenAudioDevice) &&
                resolve(handle, "SDL_CloseAudioDevice", l.CloseAudioDevice) &&
                resolve(handle, "SDL_PauseAudioDevice", l.PauseAudioDevice) &&
                resolve(handle, "SDL_GetAudioDeviceStatus", l.GetAudioDeviceStatus) &&
                resolve(handle, "SDL_LockAudioDevice", l.LockAudioDevice) &&
                resolve(handle, "SDL_UnlockAudioDevice", l.UnlockAudioDevice) &&
                resolve(handle, "SDL_QueueAudio", l.QueueAudio) &&
                resolve(handle, "SDL_ClearQueuedAudio", l.ClearQueuedAudio) &&
                resolve(handle, "SDL_GetQueuedAudioSize", l.GetQueuedAudioSize) &&
                resolve(handle, "SDL_RWFromConstMem", l.RWFromConstMem) &&
                resolve(handle, "SDL_LoadWAV_RW", l.LoadWAV_RW) &&
                resolve(handle, "SDL_FreeWAV", l.FreeWAV) &&
                resolve(handle, "SDL_BuildAudioCVT", l.BuildAudioCVT) &&
                resolve(handle, "SDL_ConvertAudio", l.ConvertAudio);
    if (!result.ok)
        result.error = QStringLiteral("%1 lacks a function: %2")
                           .arg(QLatin1String(kLibraryName), QString::fromLocal8Bit(dlerror()));
    return result;
}

const Loading &loading()
{
    static const Loading once = loadLibrary();
    return once;
}

} // namespace

const SdlLibrary *SdlLibrary::load(QString *error)
{
    const Loading &l = loading();
    if (!l.ok && error != nullptr)
        *error = l.error;
    return l.ok ? &l.library : nullptr;
}

const SdlLibrary &SdlLibrary::loaded()
{
    return loading().library;
}

} // namespace audio
