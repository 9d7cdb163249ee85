// Player figures while a track plays, each next to a baseline from the same run:
//  - one Timer1 tick on the main window with the fake media component, the
//    handler alone and with the repaints it causes;
//  - the whole player's CPU share while a 3-minute MP3 plays (real component,
//    real 25 ms ticks in a real event loop, window shown), against decoding
//    the same file alone and against playback with no window at all.
// Runs offscreen with SDL's dummy driver unless QT_QPA_PLATFORM or
// SDL_AUDIODRIVER say otherwise. The input is generated with sox and lame.
#include "AudioSystem.h"
#include "BenchAudioInput.h"
#include "CodePage.h"
#include "FakeMediaPlayer.h"
#include "Fonts.h"
#include "MessageBoxReporter.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackPlayer.h"
#include "WindowMove.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace plovi;

namespace {

QTemporaryDir *g_dir = nullptr;
audio::AudioSystem *g_audio = nullptr;
// Per repetition: seconds per tick, keyed by benchmark name.
std::map<std::string, std::vector<double>> g_tickSeconds;
// Percent of one core, keyed by figure.
std::map<std::string, double> g_share;

QString trackPath()
{
    return g_dir->filePath(QStringLiteral("lame3_cbr.mp3"));
}

// Fifteen bound slots: slot 0 on the given track, the others on their own names.
bool writeBindings(const QString &bindingsPath, const QString &track)
{
    QByteArray bytes;
    for (int i = 0; i < kTrackSlots; ++i) {
        const QString path = i == 0 ? track : g_dir->filePath(QStringLiteral("t%1.mp3").arg(i));
        bytes += codepage::toGb18030(
            QStringLiteral("\"%1\",\"曲%2\"\r\n").arg(path, QString::number(i)));
    }
    QFile file(bindingsPath);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double minOf(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

double medianOf(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Counts paint events of the widgets it watches.
class PaintCounter : public QObject
{
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

void watchPaints(PlayerWindow &form, PaintCounter &counter)
{
    form.LblLCD3()->installEventFilter(&counter);
    form.LblLCD()->installEventFilter(&counter);
    for (TrackButton *track : form.trackButtons()) {
        track->installEventFilter(&counter);
    }
}

bool showAndWait(PlayerWindow &form)
{
    form.show();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (form.windowHandle() == nullptr || !form.windowHandle()->isExposed()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    return true;
}

// The services of main.cpp, with the bindings file in the temporary folder.
PlayerServices realServices(audio::MediaPlayer &media, ProgramLauncher &launcher,
                            MessageReporter &messages, const QString &bindingsPath)
{
    return PlayerServices{
        launcher,
        messages,
        [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
        [] { QApplication::quit(); },
        [](QWidget *window, Qt::MouseButton button) { return beginWindowMove(window, button); },
        bindingsPath,
        media,
    };
}

// The player window as main.cpp builds it, shown, with slot 0 bound to the 3-minute track
// in a bindings file of the given name in the temporary folder.
class ShownPlayer
{
  public:
    ShownPlayer(audio::MediaPlayer &media, const QString &bindingsName)
    {
        const QString bindings = g_dir->filePath(bindingsName);
        if (!writeBindings(bindings, trackPath())) {
            m_error = "bindings";
            return;
        }
        m_form =
            std::make_unique<PlayerWindow>(realServices(media, m_launcher, m_messages, bindings));
        if (!showAndWait(*m_form)) {
            m_error = "window not exposed";
            m_form.reset();
        }
    }

    // Null when it could not be set up; error() then says why.
    [[nodiscard]] PlayerWindow *form() const { return m_form.get(); }
    [[nodiscard]] const char *error() const { return m_error; }

  private:
    ProcessLauncher m_launcher;
    MessageBoxReporter m_messages;
    std::unique_ptr<PlayerWindow> m_form;
    const char *m_error = nullptr;
};

// One Timer1 tick while slot 0 plays a 3-minute track on the fake component,
// the position advancing 25 ms per tick. With repaint, the paint events the
// tick posted are delivered (and the window flushed) before the next one.
void BM_Timer1Tick(benchmark::State &state, bool repaint)
{
    FakeMediaPlayer media;
    media.setDuration(180.0);
    ShownPlayer player(media, QStringLiteral("yygj_fake"));
    if (player.form() == nullptr) {
        state.SkipWithError(player.error());
        return;
    }
    PlayerWindow &form = *player.form();
    form.CmdTrack(0)->click();
    // The ticks are driven by hand below; the tag keeps the playing slot.
    form.Timer1()->stop();
    QCoreApplication::processEvents();
    PaintCounter counter;
    watchPaints(form, counter);

    double position = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        media.setPosition(position);
        position = position + 0.025 < 170.0 ? position + 0.025 : 0.0;
        QMetaObject::invokeMethod(form.Timer1(), "timeout", Qt::DirectConnection);
        if (repaint) {
            QCoreApplication::sendPostedEvents();
        }
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // Still playing slot 0: its tag in Timer1, the other buttons locked.
    if (form.Timer1()->tag() != QStringLiteral("0") || form.CmdTrack(1)->isEnabled()) {
        state.SkipWithError("playback ended during the ticks");
        return;
    }
    state.counters["paints_per_tick"] = double(counter.paints) / double(state.iterations());
    g_tickSeconds[repaint ? "with_repaint" : "handler"].push_back(elapsed /
                                                                  double(state.iterations()));
}

// Waits in the event loop until the component hands frames to the device.
bool waitForFirstSamples(const audio::TrackPlayer &media)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (media.playedFrames() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

int playSeconds()
{
    const char *setting = std::getenv("PLOVI_BENCH_PLAY_SECONDS");
    const int seconds = setting != nullptr ? std::atoi(setting) : 20;
    return std::clamp(seconds, 1, 175);
}

// The whole player while slot 0 plays: the window shown, Timer1 ticking in the
// event loop, decoding and output on SDL's audio thread. The window is
// PLOVI_BENCH_PLAY_SECONDS long (default 20).
void BM_PlayerCpuShare(benchmark::State &state)
{
    const int seconds = playSeconds();
    audio::TrackPlayer media(*g_audio);
    ShownPlayer player(media, QStringLiteral("yygj_real"));
    if (player.form() == nullptr) {
        state.SkipWithError(player.error());
        return;
    }
    PlayerWindow &form = *player.form();
    PaintCounter counter;
    watchPaints(form, counter);
    int ticks = 0;
    QObject context;
    QObject::connect(form.Timer1(), &QTimer::timeout, &context, [&ticks] { ++ticks; });

    for (auto _ : state) {
        form.CmdTrack(0)->click();
        if (!form.Timer1()->isActive() || !waitForFirstSamples(media)) {
            state.SkipWithError("the track did not start");
            break;
        }
        ticks = 0;
        counter.paints = 0;
        const double cpu = benchinput::processCpuSeconds();
        const double uiCpu = benchinput::threadCpuSeconds();
        const double playedBefore = media.currentPosition();
        const auto start = std::chrono::steady_clock::now();
        QEventLoop loop;
        QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double used = benchinput::processCpuSeconds() - cpu;
        const double uiUsed = benchinput::threadCpuSeconds() - uiCpu;
        const double played = media.currentPosition() - playedBefore;
        if (!form.Timer1()->isActive()) {
            state.SkipWithError("playback ended inside the window");
            break;
        }
        state.counters["cpu_share_percent"] = 100.0 * used / wall;
        state.counters["ui_thread_share_percent"] = 100.0 * uiUsed / wall;
        state.counters["ticks_per_second"] = ticks / wall;
        state.counters["ui_cpu_us_per_tick"] = ticks > 0 ? 1e6 * uiUsed / ticks : 0.0;
        state.counters["paints_per_second"] = counter.paints / wall;
        state.counters["played_vs_wall"] = played / wall;
        g_share["player"] = 100.0 * used / wall;
        g_share["player_ui_thread"] = 100.0 * uiUsed / wall;
        form.CmdTrack(0)->click();
    }
}

// Playback alone on the real component, no window, the UI thread asleep.
void BM_PlaybackCpuShare(benchmark::State &state)
{
    const int seconds = playSeconds();
    audio::TrackPlayer media(*g_audio);
    for (auto _ : state) {
        media.setFileName(trackPath());
        if (!waitForFirstSamples(media)) {
            state.SkipWithError("the track did not start");
            break;
        }
        const double cpu = benchinput::processCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double used = benchinput::processCpuSeconds() - cpu;
        state.counters["cpu_share_percent"] = 100.0 * used / wall;
        g_share["playback"] = 100.0 * used / wall;
        media.stop();
    }
}

// Decoding the whole track alone, as a share of one core over its duration.
void BM_DecodeOnlyCpuShare(benchmark::State &state)
{
    for (auto _ : state) {
        const double share = benchinput::decodeOnlyCpuSharePercent(trackPath());
        if (share < 0) {
            state.SkipWithError("the track does not decode");
            break;
        }
        state.counters["cpu_share_percent"] = share;
        g_share["decode"] = share;
    }
}

void registerBenchmarks()
{
    const auto minimum = [](const std::vector<double> &v) { return minOf(v); };
    benchmark::RegisterBenchmark("Timer1Tick/handler", BM_Timer1Tick, false)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(10)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", minimum);
    benchmark::RegisterBenchmark("Timer1Tick/with_repaint", BM_Timer1Tick, true)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(10)
        ->ReportAggregatesOnly(true)
        ->ComputeStatistics("min", minimum);
    benchmark::RegisterBenchmark("DecodeOnlyCpuShare/3min", BM_DecodeOnlyCpuShare)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("PlaybackCpuShare/3min", BM_PlaybackCpuShare)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    benchmark::RegisterBenchmark("PlayerCpuShare/3min", BM_PlayerCpuShare)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
}

void printSummary()
{
    std::printf("\nSummary (shares are percent of one core):\n");
    for (const auto &[name, seconds] : g_tickSeconds) {
        const double median = medianOf(seconds);
        std::printf("  Timer1 tick, %s: min %.1f us, median %.1f us; at 40 ticks/s %.3f%%\n",
                    name.c_str(), 1e6 * minOf(seconds), 1e6 * median, 100.0 * 40 * median);
    }
    const auto has = [](const char *key) { return g_share.count(key) != 0; };
    if (has("decode")) {
        std::printf("  decode only: %.3f%%\n", g_share["decode"]);
    }
    if (has("playback")) {
        std::printf("  playback, no window: %.3f%%\n", g_share["playback"]);
    }
    if (has("player")) {
        std::printf("  whole player while playing: %.3f%% (UI thread %.3f%%), goal <= 2%%: %s\n",
                    g_share["player"], g_share["player_ui_thread"],
                    g_share["player"] <= 2.0 ? "met" : "MISSED");
    }
    if (has("player") && has("decode")) {
        std::printf("  whole player / decode only: %.2f\n", g_share["player"] / g_share["decode"]);
    }
    if (has("player") && has("playback")) {
        std::printf("  whole player / playback without window: %.2f\n",
                    g_share["player"] / g_share["playback"]);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (std::getenv("SDL_AUDIODRIVER") == nullptr) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    registerFontSubstitutions();
    audio::AudioSystem audioSystem;
    g_audio = &audioSystem;
    QTemporaryDir dir;
    g_dir = &dir;
    const QDir folder(dir.path());
    if (!dir.isValid() || !benchinput::writeMinuteAndThreeMinuteWav(folder) ||
        !benchinput::writeThreeMinuteMp3(folder)) {
        std::fprintf(stderr, "cannot generate the input (sox and lame needed)\n");
        return 1;
    }
    registerBenchmarks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
