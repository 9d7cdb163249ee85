// How long the player's window stops answering around a hover, a play click
// and a stop click, with the real media component, for files whose load is
// slow or never ends:
//  - idle: the window shown, nothing done for 5 s: the gaps the machine's
//    load alone makes, the baseline of max_stall_ms;
//  - local_mp3: a one-second MP3 beside the program;
//  - ac3_mkv_3h, mp3_mkv_3h: three hours of AC-3 or MP3 in Matroska, made
//    with the ffmpeg tool (ten minutes encoded, then copied end to end);
//  - stalled_share: an MP3 on a FUSE folder whose reads never return
//    (tests/fakes/stalling_share.py); the click then goes to the local track.
// Figures, in milliseconds: each handler's own time (hover_ms, play_ms,
// stop_ms), the longest gap between the 2 ms ticks of a probe timer while
// the event loop runs between them (max_stall_ms) and the window thread's own
// CPU time inside that gap (stall_cpu_ms: near the gap, work on the thread;
// near 0, a wait, for a lock or for a core on a busy machine), the time from the hover
// to the length on the LCD (length_ms), and from the play click to the first
// samples handed to the device (first_sound_ms). Runs offscreen with SDL's
// dummy driver unless QT_QPA_PLATFORM or SDL_AUDIODRIVER say otherwise.
// Generated files are kept in $PLOVI_BENCH_DIR (default
// /tmp/plovi-bench-responsiveness).
#include "AudioSystem.h"
#include "CodePage.h"
#include "MessageBoxReporter.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "TrackButton.h"
#include "TrackPlayer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <functional>

using namespace plovi;

namespace {

QString g_dir;
QString g_localTrack;
QString g_stalledTrack;
audio::AudioSystem *g_audio = nullptr;

bool runFfmpeg(const QStringList &arguments)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 QStringList{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                             QStringLiteral("error"), QStringLiteral("-y")} +
                     arguments);
    return ffmpeg.waitForFinished(600000) && ffmpeg.exitCode() == 0;
}

// Three hours of codec in Matroska, made once.
QString longTrack(const QString &codec)
{
    const QString target = g_dir + QStringLiteral("/%1_3h.mka").arg(codec);
    if (QFileInfo::exists(target)) {
        return target;
    }
    const QString piece = g_dir + QStringLiteral("/%1_10min.mka").arg(codec);
    const QString encoder = codec == QLatin1String("mp3") ? QStringLiteral("libmp3lame") : codec;
    if (!runFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000", "-t", "600", "-ac",
                    "2", "-c:a", encoder, "-b:a", "192k", piece}) ||
        !runFfmpeg({"-stream_loop", "17", "-i", piece, "-c", "copy", target})) {
        return {};
    }
    return target;
}

// Runs the event loop until done() or the timeout; returns the milliseconds
// waited, -1 on the timeout. The probe measures every gap meanwhile.
struct Probe
{
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 lastCpu = 0;
    qint64 maxGap = 0;
    qint64 maxGapCpu = 0;

    static qint64 threadCpu()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }

    Probe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(2);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            const qint64 now = clock.nsecsElapsed();
            const qint64 cpu = threadCpu();
            if (now - last > maxGap) {
                maxGap = now - last;
                maxGapCpu = cpu - lastCpu;
            }
            last = now;
            lastCpu = cpu;
        });
        clock.start();
        timer.start();
    }
    double waitUntil(const std::function<bool()> &done, int timeoutMs)
    {
        QElapsedTimer waited;
        waited.start();
        last = clock.nsecsElapsed();
        lastCpu = threadCpu();
        while (!done()) {
            if (waited.elapsed() > timeoutMs) {
                return -1.0;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        return double(waited.nsecsElapsed()) / 1e6;
    }
    // Runs the event loop for ms milliseconds.
    void idle(int ms)
    {
        static_cast<void>(waitUntil([] { return false; }, ms));
    }
};

double timed(const std::function<void()> &action)
{
    QElapsedTimer clock;
    clock.start();
    action();
    return double(clock.nsecsElapsed()) / 1e6;
}

void hover(TrackButton *track)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), track->mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(track, &move);
}

void BM_Responsiveness(benchmark::State &state, const QString &kind)
{
    QString track;
    if (kind == QLatin1String("local_mp3") || kind == QLatin1String("idle")) {
        track = g_localTrack;
    } else if (kind == QLatin1String("stalled_share")) {
        track = g_stalledTrack;
    } else {
        track = longTrack(kind == QLatin1String("ac3_mkv_3h") ? QStringLiteral("ac3")
                                                              : QStringLiteral("mp3"));
    }
    if (track.isEmpty()) {
        state.SkipWithError("input not available (ffmpeg tool, or FUSE for the share)");
        return;
    }
    const bool stalled = kind == QLatin1String("stalled_share");
    const QString bindings = g_dir + QStringLiteral("/yygj_") + kind;
    QFile file(bindings);
    if (!file.open(QIODevice::WriteOnly)) {
        state.SkipWithError("bindings");
        return;
    }
    file.write(codepage::toGb18030(
        QStringLiteral("\"%1\",\"甲\"\r\n\"%2\",\"乙\"\r\n").arg(track, g_localTrack)));
    file.close();

    for (auto _ : state) {
        audio::TrackPlayer media(*g_audio);
        ProcessLauncher launcher;
        MessageBoxReporter messages;
        PlayerWindow form(PlayerServices{
            launcher,
            messages,
            [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
            [] {},
            [](QWidget *, Qt::MouseButton) { return false; },
            bindings,
            media,
        });
        form.show();
        Probe probe;
        probe.idle(300);
        probe.maxGap = 0;
        if (kind == QLatin1String("idle")) {
            probe.idle(5000);
            state.counters["max_stall_ms"] = double(probe.maxGap) / 1e6;
            state.counters["stall_cpu_ms"] = double(probe.maxGapCpu) / 1e6;
            continue;
        }

        TrackButton *const hovered = form.CmdTrack(0);
        TrackButton *const clicked = stalled ? form.CmdTrack(1) : form.CmdTrack(0);
        const double hoverMs = timed([hovered] { hover(hovered); });
        const double lengthMs =
            probe.waitUntil([&media] { return !media.isLoading(); }, stalled ? 1000 : 20000);
        const double playMs = timed([clicked] { clicked->click(); });
        const double soundMs =
            probe.waitUntil([&media] { return media.playedFrames() > 0; }, 20000);
        probe.idle(200);
        const double stopMs = timed([clicked] { clicked->click(); });
        probe.idle(300);

        state.counters["hover_ms"] = hoverMs;
        state.counters["length_ms"] = lengthMs;
        state.counters["play_ms"] = playMs;
        state.counters["first_sound_ms"] = soundMs;
        state.counters["stop_ms"] = stopMs;
        state.counters["max_stall_ms"] = double(probe.maxGap) / 1e6;
        state.counters["stall_cpu_ms"] = double(probe.maxGapCpu) / 1e6;
    }
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                    : qgetenv("QT_QPA_PLATFORM"));
    if (qgetenv("SDL_AUDIODRIVER").isEmpty()) {
        qputenv("SDL_AUDIODRIVER", "dummy");
    }
    QApplication app(argc, argv);
    const QByteArray dir = qgetenv("PLOVI_BENCH_DIR");
    g_dir = dir.isEmpty() ? QStringLiteral("/tmp/plovi-bench-responsiveness")
                          : QString::fromLocal8Bit(dir);
    QDir().mkpath(g_dir + QStringLiteral("/share"));
    g_localTrack = QStringLiteral(PLOVI_FIXTURES_DIR "/audio/chord_cbr.mp3");

    QProcess share;
    share.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(PLOVI_FIXTURES_DIR "/../fakes/stalling_share.py"),
                 g_dir + QStringLiteral("/share"), g_localTrack});
    const QString stalled = g_dir + QStringLiteral("/share/stalled.mp3");
    for (int i = 0; i < 50 && share.state() != QProcess::NotRunning; ++i) {
        if (QFileInfo::exists(stalled)) {
            g_stalledTrack = stalled;
            break;
        }
        share.waitForFinished(100);
    }

    audio::AudioSystem audioSystem;
    g_audio = &audioSystem;
    for (const char *kind : {"idle", "local_mp3", "ac3_mkv_3h", "mp3_mkv_3h", "stalled_share"}) {
        benchmark::RegisterBenchmark((std::string("BM_Responsiveness/") + kind).c_str(),
                                     [kind](benchmark::State &state) {
                                         BM_Responsiveness(state, QString::fromLatin1(kind));
                                     })
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // The share's end fails the reads still waiting on it.
    share.kill();
    share.waitForFinished(5000);
    QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), QStringLiteral("-z"),
                                                     g_dir + QStringLiteral("/share")});
    return 0;
}
