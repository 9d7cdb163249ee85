// Start-up of the pop-up Nobix against two baselines, measured from outside on
// a running X server (Xvfb):
//  - minimal_qt_window: a minimal Qt Widgets program that shows one window;
//    it draws no text, so it never loads the font configuration;
//  - minimal_qt_window_cjk_label: the same window with one QLabel of Chinese
//    text, which loads the font configuration and a CJK face as Nobix does
//    (and, unlike Nobix, draws the text in its first frame).
// Figures:
//  - time from the start of the process to its window's first painted frame:
//    the first MapNotify of a top-level window, then polling until one of its
//    pixels is no longer the black of the empty screen;
//  - peak resident memory of the whole run (every program ends by itself).
// Run with DISPLAY set, e.g. `Xvfb :98 -screen 0 1024x768x24 &`
// `DISPLAY=:98 bench_popup_startup`. Sound goes to SDL's dummy driver.
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char **environ;

namespace {

int ignoreXErrors(Display *, XErrorEvent *)
{
    return 0;
}

struct RunResult
{
    bool ok = false;
    double firstFrameSeconds = 0;
    long peakRssKb = 0;
};

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

RunResult runOnce(const char *program)
{
    using Clock = std::chrono::steady_clock;
    RunResult result;
    Display *dpy = display();
    XSync(dpy, True); // forget earlier events

    char *const argv[] = {const_cast<char *>(program), nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
        return result;
    }

    const Clock::time_point deadline = start + std::chrono::seconds(10);
    Window window = 0;
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
            result.firstFrameSeconds = std::chrono::duration<double>(Clock::now() - start).count();
            result.ok = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }

    int status = 0;
    rusage usage{};
    if (!result.ok) {
        kill(pid, SIGKILL);
    }
    wait4(pid, &status, 0, &usage);
    result.peakRssKb = usage.ru_maxrss;
    result.ok = result.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

void startUp(benchmark::State &state, const char *program)
{
    if (display() == nullptr) {
        state.SkipWithError("no X display (set DISPLAY, e.g. run under Xvfb)");
        return;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    long peak = 0;
    for (auto _ : state) {
        const RunResult run = runOnce(program);
        if (!run.ok) {
            state.SkipWithError("the program showed no frame or failed");
            return;
        }
        state.SetIterationTime(run.firstFrameSeconds);
        peak = std::max(peak, run.peakRssKb);
    }
    state.counters["peak_rss_kB"] = static_cast<double>(peak);
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

BENCHMARK_CAPTURE(startUp, minimal_qt_window, POPUP_MINIMAL_PATH)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->ComputeStatistics("min", minimum)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(startUp, minimal_qt_window_cjk_label, POPUP_MINIMAL_LABEL_PATH)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->ComputeStatistics("min", minimum)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(startUp, nobix, POPUP_NOBIX_PATH)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(9)
    ->ComputeStatistics("min", minimum)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
