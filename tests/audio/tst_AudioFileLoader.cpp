#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "BufferedFileReader.h"
#include "Mp3Source.h"
#include "PcmSource.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

class TestAudioFileLoader : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void exactLength_data();
    void exactLength();
    void headerDecidesScan_data();
    void headerDecidesScan();
    void refused_data();
    void refused();
    void truncatedAfterTags();
    void mpegAudioRecognised_data();
    void mpegAudioRecognised();
    void fileNamePatternsCoverEveryFixture();

  private:
    QTemporaryDir m_dir;
    QHash<QString, ExpectedTrack> m_expected;
};

void TestAudioFileLoader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_expected = expectedTracks();
    QCOMPARE(m_expected.size(), 4);
}

void TestAudioFileLoader::exactLength_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with LAME header") << QStringLiteral("chord_cbr.mp3");
    QTest::newRow("VBR without header") << QStringLiteral("chord_vbr_noheader.mp3");
    QTest::newRow("8-bit mono WAV") << QStringLiteral("beep.wav");
    QTest::newRow("FLAC") << QStringLiteral("other.flac");
}

// The announced length matches the generator's count, and decoding delivers
// exactly that many frames, with sound in them.
void TestAudioFileLoader::exactLength()
{
    QFETCH(QString, name);
    const ExpectedTrack expected = m_expected.value(name);
    Result<std::unique_ptr<audio::PcmSource>> loaded =
        audio::AudioFileLoader::load(audioFixture(name));
    QVERIFY2(loaded, qPrintable(loaded.error()));
    const std::unique_ptr<audio::PcmSource> source = std::move(loaded).value();
    QCOMPARE(source->frameCount(), expected.frames);
    QCOMPARE(source->sampleRate(), expected.sampleRate);
    QCOMPARE(source->channels(), expected.channels);

    std::vector<int16_t> buffer(4096 * 2);
    qint64 decoded = 0;
    int peak = 0;
    for (;;) {
        const int64_t got = source->read(buffer.data(), 4096 / source->channels());
        QVERIFY(got >= 0);
        if (got == 0)
            break;
        decoded += got;
        for (int64_t i = 0; i < got * source->channels(); ++i)
            peak = std::max(peak, std::abs(int(buffer[size_t(i)])));
    }
    QCOMPARE(decoded, expected.frames);
    QVERIFY(peak > 4000);
}

void TestAudioFileLoader::headerDecidesScan_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("scanned");
    QTest::newRow("LAME header: no scan") << QStringLiteral("chord_cbr.mp3") << false;
    QTest::newRow("no header: scan") << QStringLiteral("chord_vbr_noheader.mp3") << true;
}

void TestAudioFileLoader::headerDecidesScan()
{
    QFETCH(QString, name);
    QFETCH(bool, scanned);
    auto file = audio::BufferedFileReader::open(audioFixture(name));
    QVERIFY2(file, qPrintable(file.error()));
    auto source = audio::Mp3Source::open(std::move(file).value());
    QVERIFY2(source, qPrintable(source.error()));
    QCOMPARE(source.value()->scanned(), scanned);
}

void TestAudioFileLoader::refused_data()
{
    QTest::addColumn<QString>("path");
    const QString dir = m_dir.path();
    QFile empty(dir + QStringLiteral("/empty.mp3"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile text(dir + QStringLiteral("/text.mp3"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("这不是音频文件 / not audio at all\n");
    text.close();
    QFile wav(dir + QStringLiteral("/badheader.wav"));
    QVERIFY(wav.open(QIODevice::WriteOnly));
    wav.write(QByteArray("RIFF\x24\x00\x00\x00WAVEfmt ", 16) + QByteArray(40, '\x7f'));
    wav.close();

    QFile beep(audioFixture(QStringLiteral("beep.wav")));
    QVERIFY(beep.open(QIODevice::ReadOnly));
    QFile cut(dir + QStringLiteral("/cut.wav"));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(beep.readAll().chopped(100));
    cut.close();

    QTest::newRow("empty name") << QString();
    QTest::newRow("truncated WAV") << cut.fileName();
    QTest::newRow("missing file") << dir + QStringLiteral("/missing.mp3");
    QTest::newRow("directory") << dir;
    QTest::newRow("wildcard name") << QStringLiteral("c:\\*.mp3");
    QTest::newRow("zero length") << empty.fileName();
    QTest::newRow("text") << text.fileName();
    QTest::newRow("broken WAV header") << wav.fileName();
    QTest::newRow("truncated MP3") << audioFixture(QStringLiteral("truncated.mp3"));
    QTest::newRow("corrupt MP3") << audioFixture(QStringLiteral("corrupt.mp3"));
    QTest::newRow("video without sound")
        << audioFixture(QStringLiteral("formats/silent_video.mkv"));
}

void TestAudioFileLoader::refused()
{
    QFETCH(QString, path);
    const auto loaded = audio::AudioFileLoader::load(path);
    QVERIFY(!loaded);
    QVERIFY(!loaded.error().isEmpty());
}

// The truncation check counts the stream from its first frame, past an ID3v2
// tag, and leaves a trailing ID3v1 tag out.
void TestAudioFileLoader::truncatedAfterTags()
{
    QFile in(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QVERIFY(in.open(QIODevice::ReadOnly));
    const QByteArray stream = in.readAll();
    QByteArray id3v2("ID3\x04\x00\x00\x00\x00\x01\x00", 10); // 128 bytes of tag body
    id3v2.append(QByteArray(128, '\0'));
    QByteArray id3v1("TAG");
    id3v1.append(QByteArray(125, ' '));

    const QString path = m_dir.filePath(QStringLiteral("tagged.mp3"));
    const auto loads = [&path](const QByteArray &bytes) {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        out.close();
        return audio::AudioFileLoader::load(path).ok();
    };
    QVERIFY(loads(id3v2 + stream + id3v1));
    QVERIFY(!loads(id3v2 + stream.left(stream.size() - 1) + id3v1));
    QVERIFY(!loads(id3v2 + stream.left(stream.size() - 200)));
}

// Every committed fixture that plays is offered by its extension, MP3 first.
// Which files go straight to libmpg123. Headers worked out by hand from the
// MPEG audio frame header: FF FB 90 64 is MPEG-1 layer III, 128 kbit/s,
// 44.1 kHz; FF F1 50 80 is ADTS (layer bits 00).
void TestAudioFileLoader::mpegAudioRecognised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("mpeg");

    const QByteArray mp3Frame = QByteArray::fromHex("fffb9064") + QByteArray(400, '\0');
    const QByteArray adtsFrame = QByteArray::fromHex("fff15080") + QByteArray(400, '\0');
    // An ID3v2.4 tag whose synchsafe size 00 00 01 00 is 128 bytes.
    const QByteArray tag = QByteArray("ID3\x04\x00\x00\x00\x00\x01\x00", 10) + QByteArray(128, 'x');
    const QByteArray footerTag = QByteArray("ID3\x04\x00\x10\x00\x00\x01\x00", 10) +
                                 QByteArray(128, 'x') +
                                 QByteArray("3DI\x04\x00\x10\x00\x00\x01\x00", 10);

    QTest::newRow("CBR fixture") << QByteArray() << "chord_cbr.mp3" << true;
    QTest::newRow("VBR fixture") << QByteArray() << "chord_vbr_noheader.mp3" << true;
    QTest::newRow("ADTS fixture") << QByteArray() << "formats/tone.aac" << false;
    QTest::newRow("FLAC fixture") << QByteArray() << "formats/tone.flac" << false;
    QTest::newRow("WAV fixture") << QByteArray() << "beep.wav" << false;
    QTest::newRow("frame") << mp3Frame << QString() << true;
    QTest::newRow("tag, frame") << tag + mp3Frame << QString() << true;
    QTest::newRow("two tags, frame") << tag + tag + mp3Frame << QString() << true;
    QTest::newRow("tag with footer, frame") << footerTag + mp3Frame << QString() << true;
    QTest::newRow("tag, ADTS") << tag + adtsFrame << QString() << false;
    QTest::newRow("five tags, frame")
        << tag + tag + tag + tag + tag + mp3Frame << QString() << false;
    QTest::newRow("size not synchsafe")
        << QByteArray("ID3\x04\x00\x00\x00\x00\x01\x80", 10) + QByteArray(256, 'x') + mp3Frame
        << QString() << false;
    QTest::newRow("tag past the end") << tag.left(60) << QString() << false;
    QTest::newRow("MPEG version reserved")
        << QByteArray::fromHex("ffeb9064") + QByteArray(400, '\0') << QString() << false;
    QTest::newRow("bitrate 15") << QByteArray::fromHex("fffbf064") + QByteArray(400, '\0')
                                << QString() << false;
    QTest::newRow("rate reserved")
        << QByteArray::fromHex("fffb9c64") + QByteArray(400, '\0') << QString() << false;
    QTest::newRow("eleven-bit sync missing")
        << QByteArray::fromHex("ffdb9064") + QByteArray(400, '\0') << QString() << false;
}

void TestAudioFileLoader::mpegAudioRecognised()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fixture);
    QFETCH(bool, mpeg);
    QString path = audioFixture(fixture);
    if (fixture.isEmpty()) {
        path = m_dir.filePath(QStringLiteral("sniff.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    Result<std::unique_ptr<audio::BufferedFileReader>> reader =
        audio::BufferedFileReader::open(path);
    QVERIFY2(reader.ok(), qPrintable(reader.ok() ? QString() : reader.error()));
    QCOMPARE(audio::Mp3Source::looksLikeMpegAudio(*reader.value()), mpeg);
}

void TestAudioFileLoader::fileNamePatternsCoverEveryFixture()
{
    const QStringList patterns = audio::AudioFileLoader::fileNamePatterns();
    QCOMPARE(patterns.value(0), QStringLiteral("*.mp3"));
    QCOMPARE(QStringList(patterns).removeDuplicates(), 0);
    QStringList names =
        m_expected.keys() + expectedTracks(QStringLiteral("formats/expected.txt")).keys();
    QCOMPARE(names.size(), 35);
    for (const QString &name : names) {
        const QString pattern = QStringLiteral("*.") + QFileInfo(name).suffix();
        QVERIFY2(patterns.contains(pattern), qPrintable(pattern));
    }
    for (const QString &pattern : patterns)
        QCOMPARE(pattern, pattern.toLower());
}

QTEST_GUILESS_MAIN(TestAudioFileLoader)
#include "tst_AudioFileLoader.moc"
