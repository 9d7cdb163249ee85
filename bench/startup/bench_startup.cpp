// Start-up of the programs against two baselines, measured from outside on a
// running X server (Xvfb):
//  - minimal_qt_window: a minimal Qt Widgets program that shows one window;
//    it draws no text, so it never loads the font configuration;
//  - minimal_qt_window_cjk_label: the same window with one QLabel of Chinese
//    text, which loads the font configuration and a CJK face: the baseline the
//    programs are held to;
//  - plovi: the player, from a copy of it in a folder of its own whose yygj
//    binds all fifteen slots (so its settings dialog has records to hold);
//  - nobix: the contact pop-up.
// Plovi and Nobix run twice: with SDL_AUDIODRIVER unset (the driver a user
// has: SDL tries the sound servers and ALSA, and falls back to "dummy" where
// there is none) and with SDL_AUDIODRIVER=dummy.
// Figures:
//  - time from the start of the process to its window's first painted frame:
//    the first MapNotify of a top-level window, then polling until one of its
//    pixels is no longer the black of the empty screen;
//  - peak resident memory (VmHWM) when the first frame is seen, and 1.5 s
//    later, once the work put off past the first frame is done; the program
//    is then killed.
// The programs run in alternated rounds (each round runs every program once,
// in an order rotated by one per round) after one round that is not counted,
// so that a slow phase of the machine falls on all of them alike.
// PLOVI_BENCH_ROUNDS sets the number of rounds (default 9).
// PLOVI_BENCH_BASELINE_DIR names a folder holding the Plovi and Nobix of
// another build (say, from before a change) with what they need beside them;
// they are measured in the same rounds, as plovi_base and nobix_base.
// Run with DISPLAY set, e.g. `Xvfb :98 -screen 0 1024x768x24 &`
// `DISPLAY=:98 bench_startup --benchmark_report_aggregates_only=true`.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kHold = std::chrono::milliseconds(1500);

int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
}

Display *display()
{
    static Display *const dpy = [] {
        Display *d = XOpenDisplay(nullptr);
        if (d != nullptr) {
            XSetErrorHandler(&ignoreXErrors);
            XSelectInput(d, DefaultRootWindow(d), SubstructureNotifyMask);
        }
        return d;
    }();
    return dpy;
}

bool painted(Display *dpy, Window window)
{
    XImage *image = XGetImage(dpy, window, 0, 0, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) {
        return false;
    }
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return (pixel & 0xFFFFFFu) != 0;
}

// VmHWM of a running process in kB; 0 when it cannot be read.
long peakResidentKb(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return 0;
}

struct Program
{
    std::string name;
    std::string path;
    // SDL_AUDIODRIVER for the run; empty: unset.
    std::string audioDriver;
};

struct Sample
{
    double firstFrameSeconds = 0;
    long hwmAtFrameKb = 0;
    long hwmKb = 0;
};

struct Series
{
    Program program;
    std::vector<Sample> samples;
    bool failed = false;
    size_t replayed = 0;
};

std::vector<char *> environmentFor(const Program &program, std::vector<std::string> &storage)
{
    storage.clear();
    for (char **e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "SDL_AUDIODRIVER=", 16) != 0 &&
            std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0) {
            storage.emplace_back(*e);
        }
    }
    storage.emplace_back("QT_QPA_PLATFORM=xcb");
    if (!program.audioDriver.empty()) {
        storage.push_back("SDL_AUDIODRIVER=" + program.audioDriver);
    }
    std::vector<char *> env;
    for (std::string &s : storage) {
        env.push_back(s.data());
    }
    env.push_back(nullptr);
    return env;
}

bool runOnce(const Program &program, Sample &sample)
{
    Display *dpy = display();
    XSync(dpy, True); // forget earlier events

    std::vector<std::string> storage;
    std::vector<char *> env = environmentFor(program, storage);
    char *const argv[] = {const_cast<char *>(program.path.c_str()), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.path.c_str(), nullptr, nullptr, argv, env.data()) != 0) {
        return false;
    }

    const Clock::time_point deadline = start + std::chrono::seconds(10);
    Window window = 0;
    bool ok = false;
    while (Clock::now() < deadline) {
        if (window == 0) {
            while (XPending(dpy) > 0) {
                XEvent event;
                XNextEvent(dpy, &event);
                if (event.type == MapNotify && !event.xmap.override_redirect) {
                    window = event.xmap.window;
                }
            }
        }
        if (window != 0 && painted(dpy, window)) {
            sample.firstFrameSeconds = std::chrono::duration<double>(Clock::now() - start).count();
            sample.hwmAtFrameKb = peakResidentKb(pid);
            ok = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    if (ok) {
        std::this_thread::sleep_for(kHold);
        sample.hwmKb = peakResidentKb(pid);
        // Every program is still running here: the pop-up lives about four
        // seconds, the baselines four, the player until it is told to end.
        ok = sample.hwmKb > 0;
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    return ok;
}

// A folder of its own holding a copy of the player, its FFmpeg module where
// the build has one, and a yygj binding all fifteen slots to trackPath; the
// player keeps yygj beside itself.
std::string preparePlayerCopy(const std::string &player, const std::string &trackPath)
{
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/plovi-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return {};
    }
    const fs::path dir(pattern);
    std::error_code error;
    fs::copy_file(player, dir / "Plovi", error);
    if (error) {
        return {};
    }
    const fs::path module = fs::path(player).parent_path() / "plovi-ffmpeg.so";
    if (fs::exists(module)) {
        fs::copy_file(module, dir / "plovi-ffmpeg.so", error);
        if (error) {
            return {};
        }
    }
    std::ofstream yygj(dir / "yygj", std::ios::binary);
    for (int k = 1; k <= 15; ++k) {
        // "歌曲" in GB18030, then the slot number.
        yygj << '"' << trackPath << "\",\"\xB8\xE8\xC7\xFA" << k << "\"\r\n";
    }
    return yygj ? (dir / "Plovi").string() : std::string();
}

void removePlayerCopy(const std::string &copy)
{
    if (!copy.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(copy).parent_path(), ignored);
    }
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Replays the collected samples, one per repetition, in the order they were
// taken.
void replay(benchmark::State &state, Series *series)
{
    if (series->failed || series->samples.empty()) {
        state.SkipWithError("the program showed no frame or failed");
        return;
    }
    const Sample &sample = series->samples[series->replayed++ % series->samples.size()];
    for (auto _ : state) {
        state.SetIterationTime(sample.firstFrameSeconds);
    }
    state.counters["hwm_frame_kB"] = static_cast<double>(sample.hwmAtFrameKb);
    state.counters["hwm_kB"] = static_cast<double>(sample.hwmKb);
}

void printRatios(const std::vector<Series> &all)
{
    const Series *base = nullptr;
    for (const Series &s : all) {
        if (s.program.name == "minimal_qt_window_cjk_label") {
            base = &s;
        }
    }
    if (base == nullptr || base->failed || base->samples.empty()) {
        return;
    }
    auto column = [](const Series &s, auto member) {
        std::vector<double> v;
        for (const Sample &sample : s.samples) {
            v.push_back(static_cast<double>(sample.*member));
        }
        return v;
    };
    const double baseMin = minimum(column(*base, &Sample::firstFrameSeconds));
    const double baseMedian = median(column(*base, &Sample::firstFrameSeconds));
    const double baseHwm = median(column(*base, &Sample::hwmKb));
    std::printf("\nFirst frame and peak memory against the window with a Chinese label "
                "(%zu rounds)\n",
                base->samples.size());
    std::printf("%-30s %8s %8s %7s %7s %9s %9s %6s\n", "program", "min ms", "med ms", "min x",
                "med x", "hwm@frame", "hwm kB", "hwm x");
    for (const Series &s : all) {
        if (s.failed || s.samples.empty()) {
            std::printf("%-30s failed\n", s.program.name.c_str());
            continue;
        }
        const std::vector<double> times = column(s, &Sample::firstFrameSeconds);
        const double hwm = median(column(s, &Sample::hwmKb));
        std::printf("%-30s %8.1f %8.1f %7.2f %7.2f %9.0f %9.0f %6.2f\n", s.program.name.c_str(),
                    minimum(times) * 1e3, median(times) * 1e3, minimum(times) / baseMin,
                    median(times) / baseMedian, median(column(s, &Sample::hwmAtFrameKb)), hwm,
                    hwm / baseHwm);
    }
}

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (display() == nullptr) {
        std::fprintf(stderr, "no X display (set DISPLAY, e.g. run under Xvfb)\n");
        return 1;
    }
    int rounds = 9;
    if (const char *r = std::getenv("PLOVI_BENCH_ROUNDS"); r != nullptr && std::atoi(r) > 0) {
        rounds = std::atoi(r);
    }
    const std::string player = preparePlayerCopy(STARTUP_PLOVI_PATH, STARTUP_TRACK_PATH);
    const char *const baselineDir = std::getenv("PLOVI_BENCH_BASELINE_DIR");
    const std::string basePlayer =
        baselineDir != nullptr
            ? preparePlayerCopy(std::string(baselineDir) + "/Plovi", STARTUP_TRACK_PATH)
            : std::string();
    std::vector<Series> all{
        {{"minimal_qt_window", STARTUP_MINIMAL_PATH, "dummy"}, {}, false, 0},
        {{"minimal_qt_window_cjk_label", STARTUP_MINIMAL_LABEL_PATH, "dummy"}, {}, false, 0},
        {{"plovi", player, ""}, {}, player.empty(), 0},
        {{"plovi_sdl_dummy", player, "dummy"}, {}, player.empty(), 0},
        {{"nobix", STARTUP_NOBIX_PATH, ""}, {}, false, 0},
        {{"nobix_sdl_dummy", STARTUP_NOBIX_PATH, "dummy"}, {}, false, 0},
    };
    if (baselineDir != nullptr) {
        const std::string baseNobix = std::string(baselineDir) + "/Nobix";
        all.push_back({{"plovi_base", basePlayer, ""}, {}, basePlayer.empty(), 0});
        all.push_back({{"plovi_base_sdl_dummy", basePlayer, "dummy"}, {}, basePlayer.empty(), 0});
        all.push_back({{"nobix_base", baseNobix, ""}, {}, false, 0});
        all.push_back({{"nobix_base_sdl_dummy", baseNobix, "dummy"}, {}, false, 0});
    }

    for (int round = -1; round < rounds; ++round) {
        const size_t shift = round < 0 ? 0 : static_cast<size_t>(round) % all.size();
        for (size_t k = 0; k < all.size(); ++k) {
            Series &series = all[(k + shift) % all.size()];
            if (series.failed) {
                continue;
            }
            Sample sample;
            if (!runOnce(series.program, sample)) {
                series.failed = true;
            } else if (round >= 0) {
                series.samples.push_back(sample);
            }
        }
    }
    removePlayerCopy(player);
    removePlayerCopy(basePlayer);

    for (Series &series : all) {
        benchmark::RegisterBenchmark(("startUp/" + series.program.name).c_str(), replay, &series)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(rounds)
            ->ComputeStatistics("min", minimum)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios(all);
    return 0;
}
