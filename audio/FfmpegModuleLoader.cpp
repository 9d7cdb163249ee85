// ffmpegFormats() for Plovi: FFmpeg's libraries come with the module
// plovi-ffmpeg.so from the program's own folder, loaded on first use and
// never unloaded (its tracks and formats live until the process ends).
#include "AppPaths.h"
#include "FfmpegFormats.h"

#include <QFile>

#include <dlfcn.h>

#include <mutex>

namespace audio {

namespace {

struct LoadedModule
{
    const FfmpegFormats *formats = nullptr;
    QString error;
};

LoadedModule loadModule()
{
    LoadedModule loaded;
    const QString path = programDir() + QStringLiteral("/plovi-ffmpeg.so");
    void *handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        loaded.error = QString::fromLocal8Bit(dlerror());
        return loaded;
    }
    using Entry = const FfmpegFormats *(*)();
    auto entry = reinterpret_cast<Entry>(dlsym(handle, "plovi_ffmpeg_formats"));
    if (entry == nullptr) {
        loaded.error = QStringLiteral("%1: no entry point").arg(path);
        return loaded;
    }
    loaded.formats = entry();
    return loaded;
}

} // namespace

const FfmpegFormats *ffmpegFormats(QString *error)
{
    static std::once_flag once;
    static LoadedModule loaded;
    std::call_once(once, [] { loaded = loadModule(); });
    if (loaded.formats == nullptr && error != nullptr)
        *error = loaded.error;
    return loaded.formats;
}

} // namespace audio
