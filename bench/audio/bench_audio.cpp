// Audio figures, each with its baseline measured in the same run:
//  - load latency (assignment to a known length) against reading the file once,
//    for MP3 and, per format FFmpeg plays, for a 3- and a 60-minute file, also
//    against ffprobe run on the same file as a process;
//  - time from the assignment to the first samples handed to the device, also
//    for a track whose rate differs from the one before;
//  - CPU share of playback against decoding alone, per format;
//  - how long a process that played a one-shot sound takes to end, against one
//    that played none.
// Inputs are generated into a temporary folder with sox, lame and ffmpeg.
#include "BenchAudioInput.h"

#include "AudioFileLoader.h"
#include "AudioSystem.h"
#include "PcmSource.h"
#include "PlaybackLevel.h"
#include "TrackPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

QTemporaryDir *g_dir = nullptr;
audio::AudioSystem *g_audio = nullptr;
std::map<std::string, int64_t> g_expectedFrames;

// A format FFmpeg plays: how ffmpeg encodes the three-minute input into it,
// and whether its length is known by construction (lossless).
struct FormatInput
{
    std::string name;
    std::string suffix;
    QStringList encoding;
    bool lossless = false;
};

const std::vector<FormatInput> &formats()
{
    static const std::vector<FormatInput> list = {
        {"flac", ".flac", {"-c:a", "flac"}, true},
        {"vorbis", ".ogg", {"-c:a", "libvorbis", "-q:a", "5"}, false},
        {"opus", ".opus", {"-c:a", "libopus", "-b:a", "160k"}, false},
        {"aac_m4a", ".m4a", {"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart"}, false},
        {"aac_adts", ".aac", {"-c:a", "aac", "-b:a", "192k", "-f", "adts"}, false},
        {"wma", ".wma", {"-c:a", "wmav2", "-b:a", "192k"}, false},
        {"alac", "_alac.m4a", {"-c:a", "alac", "-movflags", "+faststart"}, true},
        {"wavpack", ".wv", {"-c:a", "wavpack"}, true},
        {"aiff", ".aiff", {"-c:a", "pcm_s16be"}, true},
        {"wav", ".wav", {"-c:a", "pcm_s16le"}, true},
        {"wav_adpcm", "_adpcm.wav", {"-c:a", "adpcm_ms"}, false},
        {"mkv_video", ".mkv", {"-c:a", "libvorbis", "-q:a", "5"}, false},
        {"flac_mka", ".mka", {"-c:a", "flac"}, true},
        {"tta", ".tta", {"-c:a", "tta"}, true},
        {"alac_caf", ".caf", {"-c:a", "alac"}, true},
        {"au", ".au", {"-c:a", "pcm_s16be"}, true},
        {"ac3", ".ac3", {"-c:a", "ac3", "-b:a", "448k"}, false},
        {"dts", ".dts", {"-c:a", "dca", "-strict", "-2"}, false},
        {"opus_webm", ".webm", {"-c:a", "libopus", "-b:a", "160k"}, false},
        {"mp3_mka", "_mp3.mka", {"-c:a", "libmp3lame", "-b:a", "192k"}, false},
    };
    return list;
}

// "<format>_3min<suffix>" or "<format>_60min<suffix>".
std::string formatFile(const FormatInput &format, int minutes)
{
    return format.name + "_" + std::to_string(minutes) + "min" + format.suffix;
}

auto minimum()
{
    return [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); };
}

using benchinput::decodeAll;
using benchinput::processCpuSeconds;
using benchinput::run;

QString input(const std::string &name)
{
    return g_dir->filePath(QString::fromStdString(name));
}

bool concatenate(const QString &piece, int times, const QString &target)
{
    QFile in(piece);
    QFile out(target);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = in.readAll();
    for (int i = 0; i < times; ++i)
        out.write(bytes);
    return true;
}

// One minute of music-like noise, encoded without any header (CBR and VBR),
// then repeated: whole MPEG frames concatenate into longer valid streams.
bool generateInputs()
{
    const QDir dir(g_dir->path());
    const QString wav = input("minute.wav");
    if (!benchinput::writeMinuteAndThreeMinuteWav(dir) ||
        !run("lame", {"--quiet", "-t", "--cbr", "-b", "192", wav, input("minute_cbr.mp3")}) ||
        !run("lame", {"--quiet", "-t", "-V", "2", wav, input("minute_vbr.mp3")}) ||
        !benchinput::writeThreeMinuteMp3(dir))
        return false;
    if (!concatenate(input("minute_cbr.mp3"), 3, input("noheader3_cbr.mp3")) ||
        !concatenate(input("minute_vbr.mp3"), 10, input("noheader10_vbr.mp3")) ||
        !concatenate(input("minute_cbr.mp3"), 60, input("noheader60_cbr.mp3")))
        return false;
    // Exact lengths from decoding every frame, and the source length for the
    // file whose LAME header removes delay and padding.
    g_expectedFrames["lame3_cbr.mp3"] = int64_t(180) * 44100;
    for (const char *name : {"noheader3_cbr.mp3", "noheader10_vbr.mp3", "noheader60_cbr.mp3"})
        g_expectedFrames[name] = decodeAll(input(name));
    return true;
}

// Each format from "three.wav" (the video container also gets a picture
// track), then twenty of it joined without re-encoding for the hour. Lossless
// formats state their length in one header, which joining would leave at
// three minutes: their hour is encoded from an hour of WAV.
bool generateFormatInputs()
{
    if (!run("sox", {input("three.wav"), input("sixty.wav"), "repeat", "19"}))
        return false;
    for (const FormatInput &format : formats()) {
        const QString three = input(formatFile(format, 3));
        QStringList arguments = {"-v", "error", "-y"};
        if (format.name == "mkv_video")
            arguments << "-f"
                      << "lavfi"
                      << "-i"
                      << "color=c=blue:s=16x16:r=1:d=180";
        arguments << "-i" << input("three.wav");
        if (format.name == "mkv_video")
            arguments << "-map"
                      << "0:v"
                      << "-map"
                      << "1:a"
                      << "-c:v"
                      << "mjpeg";
        arguments << format.encoding << three;
        QFile list(input(format.name + ".txt"));
        if (!run("ffmpeg", arguments) || !list.open(QIODevice::WriteOnly))
            return false;
        for (int i = 0; i < 20; ++i)
            list.write(QByteArray("file '") + QFile::encodeName(three) + "'\n");
        list.close();
        QStringList join = {"-v", "error",         "-y",   "-f", "concat", "-safe", "0",
                            "-i", list.fileName(), "-map", "0",  "-c",     "copy"};
        if (format.suffix.ends_with(".m4a"))
            join << "-movflags"
                 << "+faststart";
        if (format.name == "aac_adts")
            join << "-f"
                 << "adts";
        if (format.name == "ac3" || format.name == "dts")
            join << "-f" << QString::fromStdString(format.name);
        if (format.lossless)
            join = QStringList{"-v", "error", "-y", "-i", input("sixty.wav")} << format.encoding;
        if (!run("ffmpeg", join << input(formatFile(format, 60))))
            return false;
        if (format.lossless) {
            g_expectedFrames[formatFile(format, 3)] = int64_t(180) * 44100;
            g_expectedFrames[formatFile(format, 60)] = int64_t(3600) * 44100;
        }
    }
    return true;
}

// ffprobe asked for the duration, as a process, start to end.
void BM_FfprobeProcess(benchmark::State &state, const std::string &name)
{
    const QString path = input(name);
    for (auto _ : state) {
        if (!run("ffprobe",
                 {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path})) {
            state.SkipWithError("ffprobe failed");
            break;
        }
    }
}

void BM_ReadFileOnce(benchmark::State &state, const std::string &name)
{
    const QString path = input(name);
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        int64_t total = 0;
        for (ssize_t got; (got = ::read(fd, buffer.data(), buffer.size())) > 0;)
            total += got;
        ::close(fd);
        benchmark::DoNotOptimize(total);
    }
}

// The whole file into a fresh buffer of its size, as a program reading it into
// memory would.
void BM_ReadFileIntoMemory(benchmark::State &state, const std::string &name)
{
    const QString path = input(name);
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            state.SkipWithError("open");
            break;
        }
        const QByteArray bytes = file.readAll();
        benchmark::DoNotOptimize(bytes.constData());
    }
}

// From the assignment of a path to a known length, through the loader the
// player's worker uses. The length is checked, to a twentieth of a second
// (44.1 kHz), where it is known by construction; elsewhere it is reported.
void BM_LoadToKnownLength(benchmark::State &state, const std::string &name)
{
    const QString path = input(name);
    const auto known = g_expectedFrames.find(name);
    int64_t frames = 0;
    for (auto _ : state) {
        Result<std::unique_ptr<audio::PcmSource>> loaded = audio::AudioFileLoader::load(path);
        frames = loaded ? loaded.value()->frameCount() : 0;
        benchmark::DoNotOptimize(frames);
        if (frames <= 0 ||
            (known != g_expectedFrames.end() && std::abs(frames - known->second) > 44100 / 20)) {
            state.SkipWithError("length not known or not right");
            break;
        }
    }
    state.counters["frames"] = double(frames);
}

void BM_TimeToFirstSamples(benchmark::State &state)
{
    audio::TrackPlayer player(*g_audio);
    const QString path = input("lame3_cbr.mp3");
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        player.setFileName(path);
        while (player.playedFrames() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        player.stop();
    }
}

// The three-minute file of a format, assigned after a 44.1 kHz stereo MP3
// played: a format at another rate (Opus, 48 kHz) reopens the device.
void BM_TimeToFirstSamplesAfterMp3(benchmark::State &state, const std::string &name)
{
    audio::TrackPlayer player(*g_audio);
    const QString before = input("lame3_cbr.mp3");
    const QString path = input(name);
    for (auto _ : state) {
        player.setFileName(before);
        while (player.playedFrames() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto start = std::chrono::steady_clock::now();
        player.setFileName(path);
        while (player.playedFrames() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        player.stop();
    }
}

// Decoding alone, as a share of one core over the track's duration.
void BM_DecodeOnlyCpuShare(benchmark::State &state)
{
    const QString path = input("lame3_cbr.mp3");
    for (auto _ : state)
        state.counters["cpu_share_percent"] = benchinput::decodeOnlyCpuSharePercent(path);
}

// Playback of a 3-minute track on the device, the UI thread asleep. The window
// is PLOVI_BENCH_PLAY_SECONDS long (default 20; 180 plays the whole track).
// played_vs_wall near 1 shows the track really played.
// level: "plain" (the track's own level), "gain" (-6 dB on every sample) or
// "fade" (a fade-out over the whole window).
void BM_PlaybackCpuShare(benchmark::State &state, const std::string &name, const std::string &level)
{
    const char *setting = std::getenv("PLOVI_BENCH_PLAY_SECONDS");
    const int seconds = setting != nullptr ? std::atoi(setting) : 20;
    audio::TrackPlayer player(*g_audio);
    if (level == "gain")
        player.setLoudness([](const QString &) { return std::optional<double>(0.5); },
                           [](const QStringList &) {});
    for (auto _ : state) {
        player.setFileName(input(name));
        while (player.playedFrames() == 0)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (level == "fade")
            player.fadeOut(seconds + 1.0);
        const double cpu = processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double used = processCpuSeconds() - cpu;
        state.counters["cpu_share_percent"] = 100.0 * used / wall;
        state.counters["played_vs_wall"] = player.currentPosition() / (wall + 1e-9);
        player.stop();
    }
}

// The level stage alone on device-sized buffers (1024 stereo frames at
// 44.1 kHz), as a share of one core: with a gain, and during a fade.
void BM_LevelCpuShare(benchmark::State &state, const std::string &mode)
{
    constexpr int64_t Frames = 1024;
    std::vector<int16_t> buffer(Frames * 2);
    for (std::size_t k = 0; k < buffer.size(); ++k)
        buffer[k] = static_cast<int16_t>((k * 7919) % 40000 - 20000);
    audio::PlaybackLevel level(44100, 2);
    level.setGain(mode == "gain" ? 0.5 : 1.0);
    int64_t buffers = 0;
    for (auto _ : state) {
        // A fade that never ends while measured: restarted long before silence.
        if (mode == "fade" && buffers++ % 1000 == 0) {
            level.reset(44100, 2);
            level.startRamp(60.0);
        }
        benchmark::DoNotOptimize(level.apply(buffer.data(), Frames));
        benchmark::ClobberMemory();
    }
    // Seconds per buffer over the buffer's 1024 / 44100 s, in percent.
    state.counters["cpu_share_percent"] = benchmark::Counter(
        Frames / (44100.0 * 100.0),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Spawns the probe, waits for "ready", tells it to end and measures until it
// has exited.
void BM_SoundProcessExit(benchmark::State &state, const char *mode)
{
    const QByteArray wav = QFile::encodeName(QStringLiteral(PLOVI_FIXTURES_DIR "/audio/beep.wav"));
    const QByteArray longWav = QFile::encodeName(input("long.wav"));
    const char *sound = std::string(mode) == "playing" ? longWav.constData() : wav.constData();
    for (auto _ : state) {
        int toChild[2];
        int fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) {
            state.SkipWithError("pipe");
            break;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        posix_spawn_file_actions_addclose(&actions, toChild[1]);
        posix_spawn_file_actions_addclose(&actions, fromChild[0]);
        char *argv[] = {const_cast<char *>(PLOVI_SOUND_EXIT_PROBE), const_cast<char *>(mode),
                        const_cast<char *>(sound), nullptr};
        pid_t pid = 0;
        const int spawned =
            posix_spawn(&pid, PLOVI_SOUND_EXIT_PROBE, &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(toChild[0]);
        close(fromChild[1]);
        char ready[16] = {};
        if (spawned != 0 || read(fromChild[0], ready, sizeof ready) <= 0) {
            state.SkipWithError("probe did not start");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        if (write(toChild[1], "\n", 1) != 1) {
            state.SkipWithError("write");
            break;
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        close(toChild[1]);
        close(fromChild[0]);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("probe failed");
            break;
        }
    }
}

void registerBenchmarks()
{
    const std::vector<std::string> files = {"lame3_cbr.mp3", "noheader3_cbr.mp3",
                                            "noheader10_vbr.mp3", "noheader60_cbr.mp3"};
    for (const std::string &file : files) {
        benchmark::RegisterBenchmark(("ReadFileOnce/" + file).c_str(), BM_ReadFileOnce, file)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", minimum());
        benchmark::RegisterBenchmark(("ReadFileIntoMemory/" + file).c_str(), BM_ReadFileIntoMemory,
                                     file)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", minimum());
        benchmark::RegisterBenchmark(("FfprobeProcess/" + file).c_str(), BM_FfprobeProcess, file)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(3)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", minimum());
        benchmark::RegisterBenchmark(("LoadToKnownLength/" + file).c_str(), BM_LoadToKnownLength,
                                     file)
            ->Unit(benchmark::kMillisecond)
            ->Repetitions(5)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", minimum());
    }
    benchmark::RegisterBenchmark("TimeToFirstSamples", BM_TimeToFirstSamples)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(3)
        ->ComputeStatistics("min", minimum());
    benchmark::RegisterBenchmark("DecodeOnlyCpuShare/3min", BM_DecodeOnlyCpuShare)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    for (const char *level : {"plain", "gain", "fade"})
        benchmark::RegisterBenchmark((std::string("PlaybackCpuShare/3min/") + level).c_str(),
                                     BM_PlaybackCpuShare, std::string("lame3_cbr.mp3"),
                                     std::string(level))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    for (const char *mode : {"gain", "fade"})
        benchmark::RegisterBenchmark((std::string("LevelCpuShare/") + mode).c_str(),
                                     BM_LevelCpuShare, std::string(mode))
            ->Unit(benchmark::kMicrosecond);
    for (const char *mode : {"none", "finished", "playing"})
        benchmark::RegisterBenchmark((std::string("SoundProcessExit/") + mode).c_str(),
                                     BM_SoundProcessExit, mode)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10)
            ->Repetitions(3)
            ->ComputeStatistics("min", minimum());
}

void registerFormatBenchmarks()
{
    for (const FormatInput &format : formats()) {
        for (const int minutes : {3, 60}) {
            const std::string file = formatFile(format, minutes);
            benchmark::RegisterBenchmark(("LoadToKnownLength/" + file).c_str(),
                                         BM_LoadToKnownLength, file)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true)
                ->ComputeStatistics("min", minimum());
            benchmark::RegisterBenchmark(("FfprobeProcess/" + file).c_str(), BM_FfprobeProcess,
                                         file)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(3)
                ->Repetitions(5)
                ->ReportAggregatesOnly(true)
                ->ComputeStatistics("min", minimum());
            benchmark::RegisterBenchmark(("ReadFileOnce/" + file).c_str(), BM_ReadFileOnce, file)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Repetitions(5)
                ->ReportAggregatesOnly(true)
                ->ComputeStatistics("min", minimum());
        }
    }
    for (const FormatInput &format : formats()) {
        const std::string file = formatFile(format, 3);
        benchmark::RegisterBenchmark(("TimeToFirstSamples/" + file + "/after_mp3").c_str(),
                                     BM_TimeToFirstSamplesAfterMp3, file)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(10)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true)
            ->ComputeStatistics("min", minimum());
    }
    for (const FormatInput &format : formats()) {
        const std::string file = formatFile(format, 3);
        benchmark::RegisterBenchmark(("PlaybackCpuShare/" + file).c_str(), BM_PlaybackCpuShare,
                                     file, std::string("plain"))
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (std::getenv("SDL_AUDIODRIVER") == nullptr)
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    QCoreApplication app(argc, argv);
    audio::AudioSystem audioSystem;
    g_audio = &audioSystem;
    QTemporaryDir dir;
    g_dir = &dir;
    if (!dir.isValid() || !generateInputs() || !generateFormatInputs() ||
        !run("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", input("long.wav"), "synth", "5",
                     "sine", "440"})) {
        std::fprintf(stderr, "cannot generate the inputs (sox, lame and ffmpeg needed)\n");
        return 1;
    }
    registerBenchmarks();
    registerFormatBenchmarks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
