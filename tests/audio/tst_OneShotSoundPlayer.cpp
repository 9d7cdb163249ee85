#include "../fakes/FifoUnblocker.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "OneShotSoundPlayer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestOneShotSoundPlayer : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void unplayableIsSilent_data();
    void unplayableIsSilent();
    void notARegularFileIsSilentAtOnce_data();
    void notARegularFileIsSilentAtOnce();
    void playsInTheBackgroundAndReleasesTheDevice();
    void secondSoundReplacesTheFirst();
    void destroyedWhilePlaying();
    void undecodableWavIsSilent();

  private:
    audio::AudioSystem m_audio;
    QTemporaryDir m_dir;
};

void TestOneShotSoundPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestOneShotSoundPlayer::unplayableIsSilent_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty name") << QString();
    QTest::newRow("missing") << audioFixture(QStringLiteral("missing.wav"));
    QTest::newRow("directory") << audioFixture(QString());
    QTest::newRow("MP3 is not a WAV") << audioFixture(QStringLiteral("chord_cbr.mp3"));
    QTest::newRow("corrupt") << audioFixture(QStringLiteral("corrupt.mp3"));
}

void TestOneShotSoundPlayer::unplayableIsSilent()
{
    QFETCH(QString, path);
    audio::OneShotSoundPlayer player(m_audio);
    QVERIFY(!player.playSoundAsync(path));
    QVERIFY(!player.isBusy());
}

void TestOneShotSoundPlayer::notARegularFileIsSilentAtOnce_data()
{
    QTest::addColumn<QString>("path");
    const QString fifo = m_dir.filePath(QStringLiteral("chime.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO") << fifo;
    QTest::newRow("character device") << QStringLiteral("/dev/zero");
}

// A chime that is a FIFO with no writer must not keep the pop-up waiting.
void TestOneShotSoundPlayer::notARegularFileIsSilentAtOnce()
{
    QFETCH(QString, path);
    audio::OneShotSoundPlayer player(m_audio);
    const FifoUnblocker unblocker(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!player.playSoundAsync(path));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY(!player.isBusy());
}

void TestOneShotSoundPlayer::playsInTheBackgroundAndReleasesTheDevice()
{
    audio::OneShotSoundPlayer player(m_audio);
    QVERIFY(player.playSoundAsync(audioFixture(QStringLiteral("beep.wav"))));
    QVERIFY(player.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000);
}

void TestOneShotSoundPlayer::secondSoundReplacesTheFirst()
{
    audio::OneShotSoundPlayer player(m_audio);
    const QString path = audioFixture(QStringLiteral("beep.wav"));
    QVERIFY(player.playSoundAsync(path));
    QVERIFY(player.playSoundAsync(path));
    QTest::qWait(50);
    QVERIFY(player.playSoundAsync(path));
    QVERIFY(!player.playSoundAsync(audioFixture(QStringLiteral("missing.wav"))));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000);
}

void TestOneShotSoundPlayer::destroyedWhilePlaying()
{
    for (int i = 0; i < 3; ++i) {
        audio::OneShotSoundPlayer player(m_audio);
        QVERIFY(player.playSoundAsync(audioFixture(QStringLiteral("beep.wav"))));
        QTest::qWait(i * 20);
    }
}

// Decoded on the worker: a file that only looks like a WAV is accepted, then
// plays nothing and leaves the player idle.
void TestOneShotSoundPlayer::undecodableWavIsSilent()
{
    const QString path = m_dir.filePath(QStringLiteral("nofmt.wav"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("RIFF\x10\0\0\0WAVEdata\x04\0\0\0\1\2\3\4", 24));
    file.close();
    audio::OneShotSoundPlayer player(m_audio);
    QVERIFY(player.playSoundAsync(path));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 2000);

    QVERIFY(player.playSoundAsync(audioFixture(QStringLiteral("beep.wav"))));
    QVERIFY(player.playSoundAsync(path));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000);
}

QTEST_GUILESS_MAIN(TestOneShotSoundPlayer)
#include "tst_OneShotSoundPlayer.moc"
