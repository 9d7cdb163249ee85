#include "AudioFixtures.h"
#include "SdlSoundPlayer.h"

#include <QTemporaryDir>
#include <QtTest>

class TestSdlSoundPlayer : public QObject
{
    Q_OBJECT

  private slots:
    void unplayableIsSilent_data();
    void unplayableIsSilent();
    void playsInTheBackgroundAndReleasesTheDevice();
    void secondSoundReplacesTheFirst();
    void destroyedWhilePlaying();
};

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
