#include "PlaybackSettings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using plovi::PlaybackSettings;

class TestPlaybackSettings : public QObject
{
    Q_OBJECT
  private slots:
    void loudnessTarget_data();
    void loudnessTarget();
    void fileRules();
    void folders_data();
    void folders();
};

void TestPlaybackSettings::loudnessTarget_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("set");
    QTest::addColumn<double>("target");
    QTest::newRow("the example") << QByteArray("[Playback]\nLoudness=-18\n") << true << -18.0;
    QTest::newRow("CR LF, spaces, any case")
        << QByteArray("  [ playback ]\r\n loudness = -23.5 \r\n") << true << -23.5;
    QTest::newRow("last of two") << QByteArray("[Playback]\nLoudness=-18\nLoudness=-14\n") << true
                                 << -14.0;
    QTest::newRow("comments and other keys")
        << QByteArray("; mine\n# too\n[Other]\nLoudness=-9\n[Playback]\nVolume=3\nLoudness=-16\n")
        << true << -16.0;
    QTest::newRow("off") << QByteArray("[Playback]\nLoudness=off\n") << false << 0.0;
    QTest::newRow("absent") << QByteArray("[Playback]\n") << false << 0.0;
    QTest::newRow("empty file") << QByteArray() << false << 0.0;
    QTest::newRow("only in another section")
        << QByteArray("[Other]\nLoudness=-18\n") << false << 0.0;
    QTest::newRow("not a number") << QByteArray("[Playback]\nLoudness=-18 LUFS\n") << false << 0.0;
    QTest::newRow("above 0") << QByteArray("[Playback]\nLoudness=3\n") << false << 0.0;
    QTest::newRow("below -70") << QByteArray("[Playback]\nLoudness=-80\n") << false << 0.0;
    QTest::newRow("0 is allowed") << QByteArray("[Playback]\nLoudness=0\n") << true << 0.0;
    QTest::newRow("nan") << QByteArray("[Playback]\nLoudness=nan\n") << false << 0.0;
    QTest::newRow("a line of another form")
        << QByteArray("[Playback]\nLoudness=-18\njunk\n") << false << 0.0;
    QTest::newRow("key before any section") << QByteArray("Loudness=-18\n") << false << 0.0;
    QTest::newRow("not UTF-8") << QByteArray("[Playback]\nLoudness=-18\n;\xff\n") << false << 0.0;
}

void TestPlaybackSettings::loudnessTarget()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, set);
    QFETCH(double, target);
    const std::optional<double> read = PlaybackSettings::loudnessTarget(ini);
    QCOMPARE(read.has_value(), set);
    if (set)
        QCOMPARE(*read, target);
}

// A FIFO, a folder or an oversized file counts as no file, without waiting.
void TestPlaybackSettings::fileRules()
{
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("plovi.ini"));
    QVERIFY(!PlaybackSettings::loudnessTargetOfFile(ini).has_value());
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Playback]\nLoudness=-20\n");
    file.close();
    QCOMPARE(PlaybackSettings::loudnessTargetOfFile(ini).value_or(0.0), -20.0);

    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(64 * 1024, ';'));
    file.close();
    QVERIFY(!PlaybackSettings::loudnessTargetOfFile(ini).has_value());

    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!PlaybackSettings::loudnessTargetOfFile(fifo).has_value());
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(!PlaybackSettings::loudnessTargetOfFile(dir.path()).has_value());
}

void TestPlaybackSettings::folders_data()
{
    QTest::addColumn<QString>("xdg");
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("cache");
    QTest::newRow("unset") << QString() << "/home/u/.config/plovi/plovi.ini"
                           << "/home/u/.cache/plovi";
    QTest::newRow("absolute") << "/x/y/"
                              << "/x/y/plovi/plovi.ini"
                              << "/x/y/plovi";
    QTest::newRow("relative is ignored") << "rel"
                                         << "/home/u/.config/plovi/plovi.ini"
                                         << "/home/u/.cache/plovi";
}

void TestPlaybackSettings::folders()
{
    QFETCH(QString, xdg);
    QFETCH(QString, ini);
    QFETCH(QString, cache);
    QCOMPARE(PlaybackSettings::iniPath(xdg, QStringLiteral("/home/u")), ini);
    QCOMPARE(PlaybackSettings::cacheFolder(xdg, QStringLiteral("/home/u")), cache);
}

QTEST_GUILESS_MAIN(TestPlaybackSettings)
#include "tst_PlaybackSettings.moc"
