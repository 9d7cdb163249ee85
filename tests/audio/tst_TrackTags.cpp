#include "../fakes/FifoUnblocker.h"
#include "TrackTags.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

// The titles below are the ones tests/fixtures/make_tag_fixtures.sh wrote.
class TestTrackTags : public QObject
{
    Q_OBJECT

  private slots:
    void titles_data();
    void titles();
    void refused_data();
    void refused();
    void fifoRefusedAtOnce();
    void undeclaredText_data();
    void undeclaredText();

  private:
    [[nodiscard]] static QString fixture(const QString &name)
    {
        return QStringLiteral(PLOVI_FIXTURES_DIR "/tags/") + name;
    }
};

void TestTrackTags::titles_data()
{
    QTest::addColumn<QString>("file");
    // Empty: no title.
    QTest::addColumn<QString>("title");
    QTest::newRow("ID3v2 UTF-16") << "id3v2_utf16.mp3" << QStringLiteral("春江花月夜");
    QTest::newRow("ID3v2 long") << "id3v2_long.mp3"
                                << "A Very Long Title That Goes On";
    QTest::newRow("ID3v2 Latin-1 holding GBK")
        << "id3v2_latin1_gbk.mp3" << QStringLiteral("春江花月夜");
    QTest::newRow("ID3v2 Latin-1") << "id3v2_latin1.mp3" << QStringLiteral("Café");
    QTest::newRow("ID3v1 ASCII") << "id3v1_ascii.mp3"
                                 << "Plain Title";
    QTest::newRow("ID3v1 GBK") << "id3v1_gbk.mp3" << QStringLiteral("春江花月夜");
    QTest::newRow("ID3v1 neither ASCII nor GBK") << "id3v1_notgbk.mp3"
                                                 << "";
    QTest::newRow("ID3v2 before ID3v1") << "id3v1_and_v2.mp3"
                                        << "A Very Long Title That Goes On";
    QTest::newRow("MP3 untagged") << "untagged.mp3"
                                  << "";
    QTest::newRow("FLAC TITLE") << "titled.flac" << QStringLiteral("流水 FLAC");
    QTest::newRow("FLAC untagged") << "untagged.flac"
                                   << "";
    QTest::newRow("Ogg Vorbis TITLE") << "titled.ogg" << QStringLiteral("高山 Ogg");
    QTest::newRow("WAV") << "../audio/beep.wav"
                         << "";
    QTest::newRow("MP3 without header") << "../audio/chord_vbr_noheader.mp3"
                                        << "";
}

void TestTrackTags::titles()
{
    QFETCH(QString, file);
    QFETCH(QString, title);
    const Result<audio::TrackTags> tags = audio::TrackTags::read(fixture(file));
    QVERIFY2(tags.ok(), qPrintable(tags.error()));
    QCOMPARE(tags->title().value_or(QString()), title);
    QCOMPARE(tags->title().has_value(), !title.isEmpty());
}

void TestTrackTags::refused_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("text named .mp3") << fixture("text.mp3");
    QTest::newRow("missing") << fixture("missing.mp3");
    QTest::newRow("folder") << fixture(QString());
    QTest::newRow("empty name") << QString();
    QTest::newRow("picture") << QStringLiteral(PLOVI_FIXTURES_DIR "/../../assets/player/plovi.ico");
}

void TestTrackTags::refused()
{
    QFETCH(QString, path);
    const Result<audio::TrackTags> tags = audio::TrackTags::read(path);
    QVERIFY(!tags.ok());
    QVERIFY(!tags.error().isEmpty());
}

void TestTrackTags::fifoRefusedAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pipe.mp3"));
    QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const FifoUnblocker unblocker(path);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!audio::TrackTags::read(path).ok());
    QVERIFY(clock.elapsed() < 1000);
}

void TestTrackTags::undeclaredText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // empty: nullopt
    QTest::newRow("ASCII padded") << QByteArray("Song\0\0\0", 7) << "Song";
    QTest::newRow("ASCII spaces") << QByteArray("  Song  ") << "Song";
    // 春 is B4 BA and 天 CC EC in GBK.
    QTest::newRow("GBK") << QByteArray("\xB4\xBA\xCC\xEC") << QStringLiteral("春天");
    QTest::newRow("GBK and ASCII") << QByteArray("A \xB4\xBA") << QStringLiteral("A 春");
    QTest::newRow("lone lead byte") << QByteArray("Caf\xE9") << "";
    QTest::newRow("bad trail byte") << QByteArray("\xB4\x20") << "";
    QTest::newRow("0xFF") << QByteArray("\xFF\xFE") << "";
    QTest::newRow("NULs only") << QByteArray("\0\0\0", 3) << "";
}

void TestTrackTags::undeclaredText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const std::optional<QString> decoded = audio::TrackTags::decodeUndeclared(bytes);
    QCOMPARE(decoded.value_or(QString()), text);
    QCOMPARE(decoded.has_value(), !text.isEmpty());
}

QTEST_GUILESS_MAIN(TestTrackTags)
#include "tst_TrackTags.moc"
