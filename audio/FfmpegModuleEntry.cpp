// The entry point of the module plovi-ffmpeg.so, which FfmpegModuleLoader.cpp
// looks up by this name.
#include "LinkedFfmpegFormats.h"

extern "C" __attribute__((visibility("default"))) const audio::FfmpegFormats *plovi_ffmpeg_formats()
{
    static const audio::LinkedFfmpegFormats formats;
    return &formats;
}
