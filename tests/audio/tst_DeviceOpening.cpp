#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "TrackPlayer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <dlfcn.h>

// A player whose device opens after the program's first frame, on a worker:
// SDL is loaded and started by that worker, and a track assigned before it is
// done waits for it and plays. The first test must run before anything in the
// process opens a device.
class TestDeviceOpening : public QObject
{
    Q_OBJECT

  private slots:
    void sdlIsNotLoadedBeforeSoundIsNeeded();
    void trackAssignedWhileTheDeviceOpensPlays();
    void trackWithoutARequestOpensTheDeviceItself();
    void destroyedWhileTheDeviceOpens();

  private:
    [[nodiscard]] static bool sdlLoaded();
    void playsToTheEnd(audio::TrackPlayer &player, const QString &name);

    audio::AudioSystem m_audio;
};

bool TestDeviceOpening::sdlLoaded()
{
    void *handle = dlopen("libSDL2-2.0.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

void TestDeviceOpening::playsToTheEnd(audio::TrackPlayer &player, const QString &name)
{
    const ExpectedTrack expected = expectedTracks().value(name);
    QVERIFY(expected.frames > 0);
    QElapsedTimer clock;
    clock.start();
    player.setFileName(audioFixture(name));
    QVERIFY(QTest::qWaitFor([&player] { return !player.isLoading(); }, 3000));
    QCOMPARE(player.frameCount(), expected.frames);
    while (!player.isPlaying() && player.playedFrames() == 0 && clock.elapsed() < 2000)
        QTest::qWait(1);
    qInfo("frames reach the device %lld ms after the assignment", clock.elapsed());
    QVERIFY(player.isPlaying() || player.playedFrames() > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
    QCOMPARE(player.playedFrames(), expected.frames);
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
}

void TestDeviceOpening::sdlIsNotLoadedBeforeSoundIsNeeded()
{
    const audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
    QVERIFY(!sdlLoaded());
}

// The click that comes before the worker is done.
void TestDeviceOpening::trackAssignedWhileTheDeviceOpensPlays()
{
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
    player.openDeviceInBackground();
    // 44.1 kHz stereo: the format the worker opens the device for.
    playsToTheEnd(player, QStringLiteral("chord_cbr.mp3"));
    QVERIFY(sdlLoaded());
    QCOMPARE(m_audio.driverName(), QStringLiteral("dummy"));
    // The device stays open for the next track; a second request opens none.
    player.openDeviceInBackground();
    playsToTheEnd(player, QStringLiteral("chord_vbr_noheader.mp3"));
    // Another format reopens it.
    playsToTheEnd(player, QStringLiteral("beep.wav"));
}

void TestDeviceOpening::trackWithoutARequestOpensTheDeviceItself()
{
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
    playsToTheEnd(player, QStringLiteral("chord_cbr.mp3"));
}

void TestDeviceOpening::destroyedWhileTheDeviceOpens()
{
    for (int i = 0; i < 3; ++i) {
        audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
        player.openDeviceInBackground();
        if (i == 1)
            player.stop();
    }
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
    player.openDeviceInBackground();
    playsToTheEnd(player, QStringLiteral("chord_cbr.mp3"));
}

QTEST_GUILESS_MAIN(TestDeviceOpening)
#include "tst_DeviceOpening.moc"
