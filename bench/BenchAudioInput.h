#pragma once

// The benchmarks' generated MP3 input and the CPU figures measured over it,
// shared by bench_audio and bench_player so both report the same baseline.

#include "AudioFileLoader.h"
#include "PcmSource.h"

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <ctime>
#include <memory>
#include <vector>

namespace benchinput {

// Runs a tool to its end; true when it exited normally with status 0.
inline bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// One minute of music-like noise, 44.1 kHz stereo 16-bit ("minute.wav"), and
// three minutes of it ("three.wav"), in the given folder; needs sox.
inline bool writeMinuteAndThreeMinuteWav(const QDir &dir)
{
    const QString wav = dir.filePath(QStringLiteral("minute.wav"));
    return run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "60", "pinknoise",
                       "sine", "220-880", "vol", "0.4"}) &&
           run("sox", {wav, dir.filePath(QStringLiteral("three.wav")), "repeat", "2"});
}

// The three-minute track as a 192 kbit/s CBR MP3 with a LAME header
// ("lame3_cbr.mp3"), from "three.wav"; needs lame.
inline bool writeThreeMinuteMp3(const QDir &dir)
{
    return run("lame", {"--quiet", "--cbr", "-b", "192", dir.filePath(QStringLiteral("three.wav")),
                        dir.filePath(QStringLiteral("lame3_cbr.mp3"))});
}

// Decodes the whole file; the number of frames, or -1 when it does not load.
inline int64_t decodeAll(const QString &path)
{
    Result<std::unique_ptr<audio::PcmSource>> loaded = audio::AudioFileLoader::load(path);
    if (!loaded)
        return -1;
    const std::unique_ptr<audio::PcmSource> source = std::move(loaded).value();
    std::vector<int16_t> buffer(8192);
    int64_t total = 0;
    for (int64_t got; (got = source->read(buffer.data(), 4096)) > 0;)
        total += got;
    return total;
}

// CPU time of the whole process (every thread), in seconds.
inline double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU time of the calling thread, in seconds.
inline double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Decoding the whole file alone, as a percentage of one core over the track's
// duration at 44.1 kHz; negative when the file does not load.
inline double decodeOnlyCpuSharePercent(const QString &path)
{
    const double cpu = processCpuSeconds();
    const int64_t frames = decodeAll(path);
    if (frames <= 0)
        return -1.0;
    return 100.0 * (processCpuSeconds() - cpu) / (double(frames) / 44100);
}

} // namespace benchinput
