#include "AudioFixtures.h"
#include "../fakes/FifoUnblocker.h"
#include "SdlSoundPlayer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestSdlSoundPlayer : public QObject
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

  private:
    QTemporaryDir m_dir;
};

void TestSdlSoundPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

void TestSdlSoundPlayer::unplayableIsSilent_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("empty name") << QString();
    QTest::newRow("missing") << audioFixture(QStringLiteral("missing.wav"));
    QTest::newRow("directory") << audioFixture(QString());
    QTest::newRow("MP3 is not a WAV") << audioFixture(QStringLiteral("chord_cbr.mp3"));
    QTest::newRow("corrupt") << audioFixture(QStringLiteral("corrupt.mp3"));
}

void TestSdlSoundPlayer::unplayableIsSilent()
{
    QFETCH(QString, path);
    SdlSoundPlayer player;
    QVERIFY(!player.playSoundAsync(path));
    QVERIFY(!player.isBusy());
}

void TestSdlSoundPlayer::notARegularFileIsSilentAtOnce_data()
{
    QTest::addColumn<QString>("path");
    const QString fifo = m_dir.filePath(QStringLiteral("chime.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO") << fifo;
    QTest::newRow("character device") << QStringLiteral("/dev/zero");
}

// A chime that is a FIFO with no writer must not keep the pop-up waiting.
void TestSdlSoundPlayer::notARegularFileIsSilentAtOnce()
{
    QFETCH(QString, path);
    SdlSoundPlayer player;
    const FifoUnblocker unblocker(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!player.playSoundAsync(path));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY(!player.isBusy());
}

void TestSdlSoundPlayer::playsInTheBackgroundAndReleasesTheDevice()
{
    SdlSoundPlayer player;
    QVERIFY(player.playSoundAsync(audioFixture(QStringLiteral("beep.wav"))));
    QVERIFY(player.isBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000);
}

void TestSdlSoundPlayer::secondSoundReplacesTheFirst()
{
    SdlSoundPlayer player;
    const QString path = audioFixture(QStringLiteral("beep.wav"));
    QVERIFY(player.playSoundAsync(path));
    QVERIFY(player.playSoundAsync(path));
    QTest::qWait(50);
    QVERIFY(player.playSoundAsync(path));
    QVERIFY(!player.playSoundAsync(audioFixture(QStringLiteral("missing.wav"))));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isBusy(), 5000);
}

void TestSdlSoundPlayer::destroyedWhilePlaying()
{
    for (int i = 0; i < 3; ++i) {
        SdlSoundPlayer player;
        QVERIFY(player.playSoundAsync(audioFixture(QStringLiteral("beep.wav"))));
        QTest::qWait(i * 20);
    }
}

QTEST_GUILESS_MAIN(TestSdlSoundPlayer)
#include "tst_SdlSoundPlayer.moc"
