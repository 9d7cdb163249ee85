#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "OutputDevice.h"
#include "TrackPlayer.h"

#include <QtTest>

#include <csignal>
#include <memory>

// Runs with SDL_AUDIODRIVER empty: SDL picks its driver itself, as the
// programs do when the user chooses none.
class TestSdlAudioDefaults : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void signalsKeepTheirDefaultAction_data();
    void signalsKeepTheirDefaultAction();
    void someDeviceAlwaysOpens();
    void trackEndsByItself();

  private:
    std::unique_ptr<audio::AudioSystem> m_audio;
};

// SDL would install its own handlers only over the default action, which the
// test framework replaces: restore it before SDL starts.
void TestSdlAudioDefaults::initTestCase()
{
    qputenv("SDL_AUDIODRIVER", "");
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
    m_audio = std::make_unique<audio::AudioSystem>();
    const audio::TrackPlayer player(*m_audio);
}

void TestSdlAudioDefaults::cleanupTestCase()
{
    m_audio.reset();
}

void TestSdlAudioDefaults::signalsKeepTheirDefaultAction_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
}

void TestSdlAudioDefaults::signalsKeepTheirDefaultAction()
{
    QFETCH(int, signalNumber);
    struct sigaction action = {};
    QCOMPARE(sigaction(signalNumber, nullptr, &action), 0);
    QVERIFY(action.sa_handler == SIG_DFL);
}

// Where no sound server or card answers, the dummy driver takes over.
void TestSdlAudioDefaults::someDeviceAlwaysOpens()
{
    const Result<audio::OutputDevice> device = audio::OutputDevice::open(*m_audio, 44100, 2, 1024);
    QVERIFY2(device, qPrintable(device.error()));
    QVERIFY(!m_audio->driverName().isEmpty());
}

void TestSdlAudioDefaults::trackEndsByItself()
{
    audio::TrackPlayer player(*m_audio);
    player.setFileName(audioFixture(QStringLiteral("beep.wav")));
    QTRY_VERIFY_WITH_TIMEOUT(player.duration() > 0.0, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(player.duration() - player.currentPosition(), 0.0, 5000);
}

QTEST_GUILESS_MAIN(TestSdlAudioDefaults)
#include "tst_SdlAudioDefaults.moc"
