#include "../fakes/FifoUnblocker.h"
#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "BufferedFileReader.h"
#include "FfmpegDemuxer.h"
#include "FfmpegSource.h"
#include "Mp3Source.h"
#include "PcmSource.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/error.h>
}

#include <cmath>
#include <functional>
#include <numbers>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using audio::AudioFileLoader;
using audio::BufferedFileReader;
using audio::FfmpegDemuxer;
using audio::FfmpegSource;
using audio::Mp3Source;
using audio::PcmSource;

enum class BadInput {
    Empty,
    CutToAQuarter,
    CutInHalf,
    CutNearTheEnd,
    RandomBytes,
    HeaderThenGarbage,
    Directory,
    Fifo,
    Unreadable
};
Q_DECLARE_METATYPE(BadInput)

enum class FileChange { TruncatedToZero, TruncatedPartWay, RewrittenShorter, RewrittenWithZeros };
Q_DECLARE_METATYPE(FileChange)

namespace {

// The loaded track, or null with the reason in *error.
std::unique_ptr<PcmSource> loadTrack(const QString &path, QString *error)
{
    Result<std::unique_ptr<PcmSource>> loaded = AudioFileLoader::load(path);
    if (!loaded) {
        *error = loaded.error();
        return nullptr;
    }
    return std::move(loaded).value();
}

// The opened file, or null with the reason in *error.
std::unique_ptr<BufferedFileReader> openFile(const QString &path, QString *error)
{
    Result<std::unique_ptr<BufferedFileReader>> opened = BufferedFileReader::open(path);
    if (!opened) {
        *error = opened.error();
        return nullptr;
    }
    return std::move(opened).value();
}

struct Decoded
{
    qint64 frames = 0;
    // What the last read() returned: 0 at a clean end, -1 when decoding failed.
    int64_t last = 0;
    int peak = 0;
    bool overlong = false;
    std::vector<int16_t> samples;
};

// Reads the source to its end in reads of `chunk` frames.
Decoded decodeAll(PcmSource &source, int64_t chunk = 1000)
{
    Decoded decoded;
    const int channels = source.channels();
    std::vector<int16_t> buffer(static_cast<size_t>(chunk * channels));
    for (;;) {
        const int64_t got = source.read(buffer.data(), chunk);
        decoded.last = got;
        if (got <= 0)
            break;
        decoded.overlong = decoded.overlong || got > chunk;
        decoded.frames += got;
        decoded.samples.insert(decoded.samples.end(), buffer.begin(),
                               buffer.begin() + got * channels);
        for (int64_t i = 0; i < got * channels; ++i)
            decoded.peak = std::max(decoded.peak, std::abs(int(buffer[size_t(i)])));
    }
    return decoded;
}

// The power of one frequency in one channel (Goertzel), relative to the
// channel's whole power.
double toneShare(const std::vector<int16_t> &samples, int channels, int channel, double hertz,
                 int rate)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * hertz / rate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    double total = 0.0;
    size_t count = 0;
    for (size_t i = size_t(channel); i < samples.size(); i += size_t(channels)) {
        const double x = samples[i];
        const double current = x + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
        total += x * x;
        ++count;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    // A pure tone of amplitude A over n samples: power = (A n / 2)^2 and
    // total = A^2 n / 2, so the share is n / 2 for a channel holding only it.
    return total > 0.0 ? power / total / (double(count) / 2.0) : 0.0;
}

QByteArray randomBytes(qsizetype count, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray bytes(count, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// A RIFF/WAVE header for 16-bit PCM.
QByteArray wavHeader(int rate, int channels, qint64 frames)
{
    const quint32 dataBytes = quint32(frames * channels * 2);
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate)
        << quint32(rate * channels * 2) << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    return header;
}

// Loads as an unprivileged user in a child process, so that a file without
// read permission is one even when the tests run as root: 0 when refused with
// a reason, 1 when loaded, 2 when refused without one.
int loadAsUnprivileged(const QString &path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        QString error;
        const bool loaded = loadTrack(path, &error) != nullptr;
        ::_exit(loaded ? 1 : error.isEmpty() ? 2 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace

class TestFfmpegSource : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void contentChoosesTheDecoder_data();
    void contentChoosesTheDecoder();
    void surroundMixedToStereo_data();
    void surroundMixedToStereo();
    void badInput_data();
    void badInput();
    void adtsStreamWithinTagsAndJunk_data();
    void adtsStreamWithinTagsAndJunk();
    void damagedWhereOnlyItsStructureShows_data();
    void damagedWhereOnlyItsStructureShows();
    void randomBytesRefusedQuickly();
    void playlistNotFollowed_data();
    void playlistNotFollowed();
    void fileChangesWhilePlaying_data();
    void fileChangesWhilePlaying();
    void readBudgetStopsTheDemuxer();

  private:
    [[nodiscard]] QString makeBadInput(const QString &name, BadInput kind);

    QTemporaryDir m_dir;
    QHash<QString, ExpectedTrack> m_expected;
};

void TestFfmpegSource::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The unprivileged child reaches the files in here.
    QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ExeOwner | QFile::ReadOther |
                                                    QFile::ExeOther));
    m_expected = expectedTracks(QStringLiteral("formats/expected.txt"));
    QCOMPARE(m_expected.size(), 31);

    // A minute of 16-bit stereo PCM in a WAV file written here.
    const qint64 frames = 60 * 44100;
    QByteArray samples(frames * 4, Qt::Uninitialized);
    for (qint64 i = 0; i < frames * 2; ++i) {
        const auto value = qint16(8000.0 * std::sin(double(i / 2) * 0.05));
        samples[2 * i] = char(value & 0xff);
        samples[2 * i + 1] = char((value >> 8) & 0xff);
    }
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("minute.wav")),
                      wavHeader(44100, 2, frames) + samples));
}

void TestFfmpegSource::contentChoosesTheDecoder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("mpg123");
    QTest::addColumn<qint64>("frames");
    const QString mp3 = m_dir.filePath(QStringLiteral("mp3-content.flac"));
    QVERIFY(writeFile(mp3, readFile(audioFixture(QStringLiteral("chord_cbr.mp3")))));
    const QString flac = m_dir.filePath(QStringLiteral("flac-content.mp3"));
    QVERIFY(writeFile(flac, readFile(audioFixture(QStringLiteral("formats/tone.flac")))));

    QTest::newRow("MP3 with header") << audioFixture("chord_cbr.mp3") << true << qint64(44100);
    QTest::newRow("MP3 without header")
        << audioFixture("chord_vbr_noheader.mp3") << true << qint64(46080);
    QTest::newRow("MP3 named .flac") << mp3 << true << qint64(44100);
    QTest::newRow("FLAC named .mp3") << flac << false << qint64(9187);
    // 0.5 s at 22.05 kHz, and 0.1 s at 44.1 kHz (make_audio_fixtures.sh).
    QTest::newRow("8-bit WAV") << audioFixture("beep.wav") << false << qint64(11025);
    QTest::newRow("FLAC from sox") << audioFixture("other.flac") << false << qint64(4410);
}

void TestFfmpegSource::contentChoosesTheDecoder()
{
    QFETCH(QString, path);
    QFETCH(bool, mpg123);
    QFETCH(qint64, frames);
    QString error;
    std::unique_ptr<PcmSource> source = loadTrack(path, &error);
    QVERIFY2(source != nullptr, qPrintable(error));
    QCOMPARE(dynamic_cast<Mp3Source *>(source.get()) != nullptr, mpg123);
    QCOMPARE(dynamic_cast<FfmpegSource *>(source.get()) != nullptr, !mpg123);
    QCOMPARE(source->frameCount(), frames);
    QCOMPARE(decodeAll(*source).frames, frames);
}

void TestFfmpegSource::surroundMixedToStereo_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("FLAC") << QStringLiteral("surround51.flac");
    QTest::newRow("WAV") << QStringLiteral("surround51.wav");
}

// The 5.1 fixtures carry 300, 400, 500, 600, 700 and 800 Hz on front left,
// front right, centre, LFE, back left and back right. The standard mix puts
// the left channels and the centre on the left, the right channels and the
// centre on the right, and leaves the LFE out.
void TestFfmpegSource::surroundMixedToStereo()
{
    QFETCH(QString, name);
    QString error;
    std::unique_ptr<PcmSource> source = loadTrack(audioFixture("formats/" + name), &error);
    QVERIFY2(source != nullptr, qPrintable(error));
    QCOMPARE(source->channels(), 2);
    const Decoded decoded = decodeAll(*source);
    QCOMPARE(decoded.frames, qint64(4321));
    const auto share = [&](int channel, double hertz) {
        return toneShare(decoded.samples, 2, channel, hertz, 44100);
    };
    for (const double hertz : {300.0, 500.0, 700.0})
        QVERIFY2(share(0, hertz) > 0.1, qPrintable(QStringLiteral("left %1 Hz").arg(hertz)));
    for (const double hertz : {400.0, 500.0, 800.0})
        QVERIFY2(share(1, hertz) > 0.1, qPrintable(QStringLiteral("right %1 Hz").arg(hertz)));
    for (const double hertz : {400.0, 600.0, 800.0})
        QVERIFY2(share(0, hertz) < 0.01, qPrintable(QStringLiteral("left %1 Hz").arg(hertz)));
    for (const double hertz : {300.0, 600.0, 700.0})
        QVERIFY2(share(1, hertz) < 0.01, qPrintable(QStringLiteral("right %1 Hz").arg(hertz)));
}

QString TestFfmpegSource::makeBadInput(const QString &name, BadInput kind)
{
    const QByteArray bytes = readFile(audioFixture("formats/" + name));
    const QString path = m_dir.filePath(QStringLiteral("%1-%2").arg(int(kind)).arg(name));
    const quint32 seed = quint32(qHash(name));
    switch (kind) {
    case BadInput::Empty:
        writeFile(path, {});
        break;
    case BadInput::CutToAQuarter:
        writeFile(path, bytes.left(bytes.size() / 4));
        break;
    case BadInput::CutInHalf:
        writeFile(path, bytes.left(bytes.size() / 2));
        break;
    case BadInput::CutNearTheEnd:
        writeFile(path, bytes.left(bytes.size() - 200));
        break;
    case BadInput::RandomBytes:
        writeFile(path, randomBytes(bytes.size(), seed));
        break;
    case BadInput::HeaderThenGarbage:
        writeFile(path, bytes.left(256) + randomBytes(bytes.size() - 256, seed));
        break;
    case BadInput::Directory:
        QDir().mkpath(path);
        break;
    case BadInput::Fifo:
        ::mkfifo(QFile::encodeName(path).constData(), 0600);
        break;
    case BadInput::Unreadable:
        writeFile(path, bytes);
        QFile::setPermissions(path, {});
        break;
    }
    return path;
}

void TestFfmpegSource::badInput_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<BadInput>("kind");
    QTest::addColumn<bool>("playsAsNoise");
    QTest::addColumn<qint64>("wholeFrames");
    const QList<QPair<BadInput, const char *>> kinds = {
        {BadInput::Empty, "empty"},
        {BadInput::CutToAQuarter, "cut to a quarter"},
        {BadInput::CutInHalf, "cut in half"},
        {BadInput::CutNearTheEnd, "cut 200 bytes short"},
        {BadInput::RandomBytes, "random bytes"},
        {BadInput::HeaderThenGarbage, "header, then garbage"},
        {BadInput::Directory, "directory"},
        {BadInput::Fifo, "FIFO"},
        {BadInput::Unreadable, "unreadable"}};
    // Uncompressed samples: any bytes after the header are samples.
    const QStringList pcm = {"pcm16.wav", "pcm24_mono.wav", "float_mono.wav", "surround51.wav",
                             "tone.aiff"};
    QStringList names = m_expected.keys();
    names << QStringLiteral("reservoir_silence.wma");
    names.sort();
    for (const QString &name : names) {
        for (const auto &[kind, label] : kinds) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(name, QLatin1String(label))))
                << makeBadInput(name, kind) << kind
                << (kind == BadInput::HeaderThenGarbage && pcm.contains(name))
                << m_expected.value(name, ExpectedTrack{INT64_MAX / 2, 0, 0}).frames;
        }
    }
}

// Every format: not loaded, with a reason, without a crash or a wait; or,
// where only a decode can tell (a cut file whose structure states no size,
// garbage after an intact header), played to a clean end never later than
// the whole file's. Uncompressed audio after an intact header plays.
void TestFfmpegSource::badInput()
{
    QFETCH(QString, path);
    QFETCH(BadInput, kind);
    QFETCH(bool, playsAsNoise);
    QFETCH(qint64, wholeFrames);
    if (kind == BadInput::Unreadable) {
        QCOMPARE(loadAsUnprivileged(path), 0);
        return;
    }
    const FifoUnblocker unblocker(path);
    QElapsedTimer clock;
    clock.start();
    QString error;
    std::unique_ptr<PcmSource> source = loadTrack(path, &error);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    if (playsAsNoise)
        QVERIFY2(source != nullptr, qPrintable(error));
    // Content that only a decode tells from sound.
    const bool damaged = kind == BadInput::CutToAQuarter || kind == BadInput::CutInHalf ||
                         kind == BadInput::CutNearTheEnd || kind == BadInput::HeaderThenGarbage;
    if (source == nullptr || !damaged) {
        QVERIFY(source == nullptr);
        QVERIFY(!error.isEmpty());
        return;
    }
    const Decoded decoded = decodeAll(*source);
    QVERIFY(decoded.last <= 0);
    QVERIFY2(decoded.frames <= wholeFrames + source->sampleRate() / 20,
             qPrintable(QStringLiteral("%1 of %2 frames").arg(decoded.frames).arg(wholeFrames)));
}

void TestFfmpegSource::adtsStreamWithinTagsAndJunk_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("frames");
    const QByteArray adts = readFile(audioFixture(QStringLiteral("formats/tone.aac")));
    // An ID3v2.4 tag of 100,000 bytes (0x186a0 in 7-bit bytes: 6, 13, 32),
    // padding inside: more than a lead-in FFmpeg looks past.
    const QByteArray id3v2 =
        QByteArray("ID3\x04\x00\x00\x00\x06\x0d\x20", 10) + QByteArray(100000, 0);
    QByteArray id3v1("TAG");
    id3v1.append(QByteArray(125, ' '));
    // APEv2 tags without items: a 32-byte footer (size 32), and the same with
    // a header before it (flag bit 31 "has a header", bit 29 "is the header").
    const QByteArray version = QByteArray::fromHex("d0070000") + QByteArray::fromHex("20000000") +
                               QByteArray::fromHex("00000000");
    const QByteArray ape =
        "APETAGEX" + version + QByteArray::fromHex("00000000") + QByteArray(8, 0);
    const QByteArray apeWithHeader = "APETAGEX" + version + QByteArray::fromHex("000000a0") +
                                     QByteArray(8, 0) + "APETAGEX" + version +
                                     QByteArray::fromHex("00000080") + QByteArray(8, 0);
    QByteArray twoBlocks = adts;
    twoBlocks[6] = char(twoBlocks[6] | 0x01);
    QByteArray rateChanged = adts;
    const qsizetype second =
        ((quint8(adts[3]) & 0x03) << 11) | (quint8(adts[4]) << 3) | (quint8(adts[5]) >> 5);
    rateChanged[second + 2] = char((rateChanged[second + 2] & 0xc3) | (3 << 2));

    QTest::newRow("as encoded") << adts << qint64(10240);
    QTest::newRow("ID3v2 before, APEv2 and ID3v1 after")
        << id3v2 + adts + ape + id3v1 << qint64(10240);
    QTest::newRow("APEv2 with its header after") << adts + apeWithHeader << qint64(10240);
    // FFmpeg recognises ADTS after a lead-in only from a hundred frames on.
    QTest::newRow("junk before the first of 300 frames")
        << QByteArray("junk") + adts.repeated(30) << qint64(30 * 10240);
    QTest::newRow("a frame of two blocks") << twoBlocks << qint64(0);
    QTest::newRow("the second frame at 48 kHz") << rateChanged << qint64(0);
    QTest::newRow("junk after the last frame") << adts + QByteArray("junk junk junk") << qint64(0);
}

// tone.aac is ten frames of 1,024 samples; tags and a lead-in around them do
// not change that, and frames FFmpeg cannot decode as one stream are refused
// (0 frames).
void TestFfmpegSource::adtsStreamWithinTagsAndJunk()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, frames);
    const QString path = m_dir.filePath(QStringLiteral("adts%1.aac").arg(qHash(bytes)));
    QVERIFY(writeFile(path, bytes));
    QString error;
    std::unique_ptr<PcmSource> source = loadTrack(path, &error);
    QCOMPARE(source != nullptr, frames > 0);
    if (source == nullptr) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QCOMPARE(source->frameCount(), frames);
    QCOMPARE(decodeAll(*source).frames, frames);
}

void TestFfmpegSource::damagedWhereOnlyItsStructureShows_data()
{
    QTest::addColumn<QString>("path");
    const auto variant = [this](const QString &name, const QString &label,
                                const std::function<void(QByteArray &)> &change) {
        QByteArray bytes = readFile(audioFixture("formats/" + name));
        change(bytes);
        const QString path =
            m_dir.filePath(QStringLiteral("damaged%1-%2").arg(qHash(label)).arg(name));
        QVERIFY(writeFile(path, bytes));
        QTest::newRow(qPrintable(label)) << path;
    };
    const auto cutByOne = [](QByteArray &bytes) { bytes.chop(1); };
    variant("video.mp4", "MP4 cut by a byte (inside its last picture)", cutByOne);
    variant("video.mkv", "Matroska cut by a byte", cutByOne);
    variant("tone.wma", "WMA cut by a byte (inside its index)", cutByOne);
    variant("reservoir_silence.wma", "WMA with the bit reservoir cut by a byte", cutByOne);
    variant("long.opus", "Ogg cut where a page starts: no last page",
            [](QByteArray &bytes) { bytes.truncate(bytes.lastIndexOf("OggS", bytes.size() / 2)); });
    variant("tone.ogg", "Ogg with the checksum of its last page wrong", [](QByteArray &bytes) {
        const qsizetype page = bytes.lastIndexOf("OggS");
        bytes[page + 22] = char(bytes[page + 22] ^ 0x01);
    });
    // stco: size, type, version and flags, entry count, then 32-bit offsets.
    variant("tone.m4a", "MP4 whose last chunk lies past the end", [](QByteArray &bytes) {
        const qsizetype box = bytes.indexOf("stco") - 4;
        const qsizetype last = box + qFromBigEndian<quint32>(bytes.constData() + box) - 4;
        qToBigEndian(qFromBigEndian<quint32>(bytes.constData() + last) + 100000,
                     bytes.data() + last);
    });
}

// Files whose sound starts and ends well, so that only a check of their
// structure shows the damage.
void TestFfmpegSource::damagedWhereOnlyItsStructureShows()
{
    QFETCH(QString, path);
    QString error;
    QVERIFY(loadTrack(path, &error) == nullptr);
    QVERIFY(!error.isEmpty());
}

// Content no demuxer recognises is read no further than the probe allows.
void TestFfmpegSource::randomBytesRefusedQuickly()
{
    const QString path = m_dir.filePath(QStringLiteral("noise.flac"));
    QVERIFY(writeFile(path, randomBytes(8 << 20, 7)));
    QElapsedTimer clock;
    clock.start();
    QString openError;
    std::unique_ptr<BufferedFileReader> file = openFile(path, &openError);
    QVERIFY2(file != nullptr, qPrintable(openError));
    QVERIFY(!FfmpegSource::handles(*file));
    // One ADTS frame header before zeros gets FFmpeg's weakest guess (score
    // 1 of 100), which is no identification: such a file goes to libmpg123
    // like anything unknown.
    const QString weak = m_dir.filePath(QStringLiteral("weak.aac"));
    QVERIFY(writeFile(weak, QByteArray::fromHex("fff15080021ffc") + QByteArray(4000, 0)));
    std::unique_ptr<BufferedFileReader> weakFile = openFile(weak, &openError);
    QVERIFY2(weakFile != nullptr, qPrintable(openError));
    QVERIFY(!FfmpegSource::handles(*weakFile));
    QString error;
    QVERIFY(loadTrack(path, &error) == nullptr);
    QVERIFY(!error.isEmpty());
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
}

void TestFfmpegSource::playlistNotFollowed_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("HLS") << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\n"
                                       "tone.aac\n#EXT-X-ENDLIST\n");
    QTest::newRow("ffconcat") << QByteArray("ffconcat version 1.0\nfile 'tone.aac'\n");
}

// A playlist names a file that plays, beside it and in the current folder;
// FFmpeg would open that as the track. Nothing but the assigned file is read.
void TestFfmpegSource::playlistNotFollowed()
{
    QFETCH(QByteArray, content);
    const QString folder = m_dir.filePath(QStringLiteral("playlist"));
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + QStringLiteral("/tone.aac"),
                      readFile(audioFixture(QStringLiteral("formats/tone.aac")))));
    const QString path = folder + QStringLiteral("/list.m3u8");
    QVERIFY(writeFile(path, content));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder));
    QString error;
    const bool loaded = loadTrack(path, &error) != nullptr;
    QVERIFY(QDir::setCurrent(previous));
    QVERIFY(!loaded);
    QVERIFY(!error.isEmpty());
}

void TestFfmpegSource::fileChangesWhilePlaying_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<FileChange>("change");
    const QList<QPair<FileChange, const char *>> changes = {
        {FileChange::TruncatedToZero, "truncated to zero"},
        {FileChange::TruncatedPartWay, "truncated part way"},
        {FileChange::RewrittenShorter, "rewritten in place, shorter"},
        {FileChange::RewrittenWithZeros, "rewritten in place with zeros"}};
    for (const auto &[change, label] : changes) {
        QTest::newRow(qPrintable(QStringLiteral("Opus, %1").arg(QLatin1String(label))))
            << QStringLiteral("long.opus") << change;
        // Zeros are silence in PCM: that file plays on.
        if (change != FileChange::RewrittenWithZeros)
            QTest::newRow(qPrintable(QStringLiteral("WAV, %1").arg(QLatin1String(label))))
                << QStringLiteral("minute.wav") << change;
    }
}

// A file changed under a playing track: the source survives and ends early,
// each read quick, with no silence made up for what was lost.
void TestFfmpegSource::fileChangesWhilePlaying()
{
    QFETCH(QString, name);
    QFETCH(FileChange, change);
    const QString original = name == QStringLiteral("long.opus")
                                 ? audioFixture(QStringLiteral("formats/long.opus"))
                                 : m_dir.filePath(name);
    const QByteArray bytes = readFile(original);
    const QString path = m_dir.filePath(QStringLiteral("playing-%1-%2").arg(int(change)).arg(name));
    QVERIFY(writeFile(path, bytes));
    QString error;
    std::unique_ptr<PcmSource> source = loadTrack(path, &error);
    QVERIFY2(source != nullptr, qPrintable(error));
    const int rate = source->sampleRate();
    std::vector<int16_t> buffer(size_t(rate * source->channels()));
    QCOMPARE(source->read(buffer.data(), rate), int64_t(rate));

    QFile file(path);
    switch (change) {
    case FileChange::TruncatedToZero:
        QVERIFY(file.resize(0));
        break;
    case FileChange::TruncatedPartWay:
        QVERIFY(file.resize(bytes.size() / 3));
        break;
    case FileChange::RewrittenShorter:
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes.left(bytes.size() / 3)), bytes.size() / 3);
        file.close();
        break;
    case FileChange::RewrittenWithZeros:
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write(QByteArray(bytes.size(), '\0')), bytes.size());
        file.close();
        break;
    }
    qint64 played = rate;
    int64_t got = 0;
    QElapsedTimer clock;
    clock.start();
    while ((got = source->read(buffer.data(), 1024)) > 0) {
        played += got;
        QVERIFY(clock.elapsed() < 5000);
    }
    QVERIFY2(played < source->frameCount() / 2,
             qPrintable(QStringLiteral("%1 of %2 frames").arg(played).arg(source->frameCount())));
    QCOMPARE(source->read(buffer.data(), 1024) <= 0, true);
}

// A demuxer stops reading, with an error, once it has taken its budget.
void TestFfmpegSource::readBudgetStopsTheDemuxer()
{
    const QString path = audioFixture(QStringLiteral("formats/pcm16.wav"));
    QString error;
    std::unique_ptr<BufferedFileReader> file = openFile(path, &error);
    QVERIFY2(file != nullptr, qPrintable(error));
    const auto readAll = [&file](int64_t budget, bool *overBudget) {
        Result<std::unique_ptr<FfmpegDemuxer>> demuxer =
            FfmpegDemuxer::open(*file, FfmpegDemuxer::probe(*file), 4096);
        if (!demuxer)
            return AVERROR_BUG;
        demuxer.value()->setReadBudget(budget);
        AVPacket *packet = av_packet_alloc();
        int result = 0;
        while ((result = demuxer.value()->readPacket(packet)) >= 0)
            av_packet_unref(packet);
        av_packet_free(&packet);
        *overBudget = demuxer.value()->overBudget();
        return result;
    };
    bool overBudget = true;
    QCOMPARE(readAll(-1, &overBudget), AVERROR_EOF);
    QVERIFY(!overBudget);
    // The header takes the first reads; 36,826 bytes are far more than 10,000.
    QVERIFY(readAll(10000, &overBudget) < 0);
    QVERIFY(overBudget);
}

QTEST_GUILESS_MAIN(TestFfmpegSource)
#include "tst_FfmpegSource.moc"
