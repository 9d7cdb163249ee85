#include "AudioFixtures.h"
#include "LoudnessLevels.h"
#include "TrackLoudness.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

// Loudness by EBU R128 against the figures of EBU Tech 3341: a stereo 1 kHz
// sine whose peak is at -23 dBFS in each channel measures -23.0 LUFS, and its
// true peak is its peak.
class TestLoudness : public QObject
{
    Q_OBJECT
  private slots:
    void measuresTheReferenceTones_data();
    void measuresTheReferenceTones();
    void silenceHasNoLoudness();
    void gainIsCappedByTheTruePeak_data();
    void gainIsCappedByTheTruePeak();
    void levelsMeasureOnAWorkerAndRemember();
    void changedFileIsMeasuredAgain();
    void damagedCacheLinesAreSkipped();

  private:
    QString tone(const QString &name, double peakDb, double seconds = 5.0);
    QTemporaryDir m_dir;
};

QString TestLoudness::tone(const QString &name, double peakDb, double seconds)
{
    const QString path = m_dir.filePath(name);
    if (!writeToneWav(path, seconds, 1000.0, 32768.0 * std::pow(10.0, peakDb / 20.0), 48000))
        return {};
    return path;
}

void TestLoudness::measuresTheReferenceTones_data()
{
    QTest::addColumn<double>("peakDb");
    QTest::newRow("-23 dBFS") << -23.0;
    QTest::newRow("-33 dBFS") << -33.0;
    QTest::newRow("-6 dBFS") << -6.0;
}

void TestLoudness::measuresTheReferenceTones()
{
    QFETCH(double, peakDb);
    const QString path = tone(QStringLiteral("ref.wav"), peakDb, 20.0);
    const Result<audio::TrackLoudness> measured = audio::TrackLoudness::measure(path);
    QVERIFY2(measured, qPrintable(measured.error()));
    QVERIFY2(std::abs(measured->integratedLufs - peakDb) <= 0.1,
             qPrintable(QString::number(measured->integratedLufs)));
    QVERIFY2(std::abs(measured->truePeakDbtp - peakDb) <= 0.2,
             qPrintable(QString::number(measured->truePeakDbtp)));
}

void TestLoudness::silenceHasNoLoudness()
{
    const QString path = m_dir.filePath(QStringLiteral("silence.wav"));
    QVERIFY(writeToneWav(path, 3.0, 1000.0, 0.0));
    QVERIFY(!audio::TrackLoudness::measure(path));
    QVERIFY(!audio::TrackLoudness::measure(m_dir.filePath(QStringLiteral("missing.wav"))));
}

void TestLoudness::gainIsCappedByTheTruePeak_data()
{
    QTest::addColumn<double>("lufs");
    QTest::addColumn<double>("peak");
    QTest::addColumn<double>("target");
    QTest::addColumn<double>("gain");
    QTest::newRow("loud track down") << -6.0 << -6.0 << -18.0 << -12.0;
    QTest::newRow("quiet track up") << -26.0 << -26.0 << -18.0 << 8.0;
    QTest::newRow("up to the ceiling exactly") << -20.0 << -3.0 << -18.0 << 2.0;
    QTest::newRow("up, stopped at -1 dBTP") << -30.0 << -2.0 << -18.0 << 1.0;
    QTest::newRow("peak above the ceiling: down") << -16.0 << 0.5 << -18.0 << -2.0;
    QTest::newRow("peak above, target above") << -20.0 << 0.5 << -18.0 << -1.5;
}

void TestLoudness::gainIsCappedByTheTruePeak()
{
    QFETCH(double, lufs);
    QFETCH(double, peak);
    QFETCH(double, target);
    QFETCH(double, gain);
    QCOMPARE((audio::TrackLoudness{lufs, peak}.gainDbFor(target)), gain);
}

void TestLoudness::levelsMeasureOnAWorkerAndRemember()
{
    const QString loud = tone(QStringLiteral("loud.wav"), -6.0);
    const QString quiet = tone(QStringLiteral("quiet.wav"), -26.0);
    const QString cache = m_dir.filePath(QStringLiteral("cache/plovi/loudness.tsv"));
    {
        audio::LoudnessLevels levels(-18.0, cache);
        QVERIFY(!levels.gainFor(loud).has_value());
        levels.expect({quiet, m_dir.filePath(QStringLiteral("missing.wav"))});
        QVERIFY(levels.waitUntilIdle(20000));
        const std::optional<double> down = levels.gainFor(loud);
        const std::optional<double> up = levels.gainFor(quiet);
        QVERIFY(down && up);
        // -12 dB and +8 dB as factors.
        QVERIFY2(std::abs(*down - 0.2512) < 0.003, qPrintable(QString::number(*down)));
        QVERIFY2(std::abs(*up - 2.512) < 0.03, qPrintable(QString::number(*up)));
    }
    QVERIFY(QFile::exists(cache));
    // A later run knows both at once, from the cache.
    audio::LoudnessLevels again(-23.0, cache);
    const std::optional<double> up = again.gainFor(quiet);
    QVERIFY(up.has_value());
    QVERIFY2(std::abs(*up - 1.413) < 0.02, qPrintable(QString::number(*up))); // +3 dB
    QVERIFY(again.waitUntilIdle(100));
}

void TestLoudness::changedFileIsMeasuredAgain()
{
    const QString path = tone(QStringLiteral("changing.wav"), -6.0);
    const QString cache = m_dir.filePath(QStringLiteral("changing.tsv"));
    audio::LoudnessLevels levels(-18.0, cache);
    levels.expect({path});
    QVERIFY(levels.waitUntilIdle(20000));
    QVERIFY(levels.gainFor(path).has_value());
    // Same name, other content and time: 20 dB quieter.
    QVERIFY(writeToneWav(path, 5.0, 1000.0, 32768.0 * std::pow(10.0, -26.0 / 20.0), 48000));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                             QFileDevice::FileModificationTime));
    file.close();
    QVERIFY(!levels.gainFor(path).has_value());
    QVERIFY(levels.waitUntilIdle(20000));
    const std::optional<double> gain = levels.gainFor(path);
    QVERIFY(gain.has_value());
    QVERIFY2(std::abs(*gain - 2.512) < 0.03, qPrintable(QString::number(*gain)));
}

void TestLoudness::damagedCacheLinesAreSkipped()
{
    const QString path = tone(QStringLiteral("cached.wav"), -6.0, 1.0);
    const QFileInfo info(path);
    const QString cache = m_dir.filePath(QStringLiteral("damaged.tsv"));
    const QByteArray stamp = QByteArray::number(info.size()) + '\t' +
                             QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    // The good line says -10 LUFS (not what the file measures): a gain of -8
    // dB shows it was taken from the cache.
    QVERIFY(writeFile(cache, "garbage\n" + stamp + "\tx\t-3\t" + path.toUtf8() + "\n" + stamp +
                                 "\t-10.00\t-6.00\t" + path.toUtf8() + "\n"));
    audio::LoudnessLevels levels(-18.0, cache);
    const std::optional<double> gain = levels.gainFor(path);
    QVERIFY(gain.has_value());
    QVERIFY2(std::abs(*gain - 0.3981) < 0.002, qPrintable(QString::number(*gain)));
}

QTEST_GUILESS_MAIN(TestLoudness)
#include "tst_Loudness.moc"
