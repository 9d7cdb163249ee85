#pragma once

#include <QString>

// SDL's types and constants only: its functions come from the library loaded
// at run time, through SdlLibrary.
#include <SDL.h>

namespace audio {

// The SDL functions the audio library calls, from libSDL2 loaded on first use
// rather than when the program starts: SDL brings some twenty-five libraries
// (ALSA, PulseAudio, codecs, Wayland) that a program's first frame does not
// need, and loading them took about a tenth of a window's start-up.
struct SdlLibrary
{
    // The library, loaded by the first call (any thread; once per process), or
    // null when it cannot be loaded, with the reason in *error if given.
    [[nodiscard]] static const SdlLibrary *load(QString *error = nullptr);
    // Only once load() has returned the library (a device is open, a WAV was
    // decoded).
    [[nodiscard]] static const SdlLibrary &loaded();

    decltype(&::SDL_InitSubSystem) InitSubSystem = nullptr;
    decltype(&::SDL_QuitSubSystem) QuitSubSystem = nullptr;
    decltype(&::SDL_GetError) GetError = nullptr;
    decltype(&::SDL_SetHint) SetHint = nullptr;
    decltype(&::SDL_SetHintWithPriority) SetHintWithPriority = nullptr;
    decltype(&::SDL_GetHint) GetHint = nullptr;
    decltype(&::SDL_GetCurrentAudioDriver) GetCurrentAudioDriver = nullptr;
    decltype(&::SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&::SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
    decltype(&::SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
    decltype(&::SDL_GetAudioDeviceStatus) GetAudioDeviceStatus = nullptr;
    decltype(&::SDL_LockAudioDevice) LockAudioDevice = nullptr;
    decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;
    decltype(&::SDL_QueueAudio) QueueAudio = nullptr;
    decltype(&::SDL_ClearQueuedAudio) ClearQueuedAudio = nullptr;
    decltype(&::SDL_GetQueuedAudioSize) GetQueuedAudioSize = nullptr;
    decltype(&::SDL_RWFromConstMem) RWFromConstMem = nullptr;
    decltype(&::SDL_LoadWAV_RW) LoadWAV_RW = nullptr;
    decltype(&::SDL_FreeWAV) FreeWAV = nullptr;
    decltype(&::SDL_BuildAudioCVT) BuildAudioCVT = nullptr;
    decltype(&::SDL_ConvertAudio) ConvertAudio = nullptr;
};

} // namespace audio
