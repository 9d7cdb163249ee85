#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "PcmSource.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/resource.h>

#include <memory>
#include <vector>

// Generated files of every format the player reads, a few lengths, rates and
// channel counts each, written by the ffmpeg tool at test time, with cut,
// damaged and zero-padded copies. The frames each should hold are what the
// ffmpeg tool decodes from it.
class TestTrackLengths : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void wholeFilePlaysEverySample_data();
    void wholeFilePlaysEverySample();
    void cutOrDamagedEndsWhereItBreaks_data();
    void cutOrDamagedEndsWhereItBreaks();
    void zeroTailLoadsQuickly_data();
    void zeroTailLoadsQuickly();

  private:
    struct Generated
    {
        QString label;
        QString path;
        qint64 frames = 0; // as the ffmpeg tool decodes them
        int toleranceMs = 0;
    };
    // Writes one file per format and shape; formats whose encoder the tool
    // lacks are left out.
    void generate();
    [[nodiscard]] qint64 framesDecodedByTheTool(const QString &path) const;

    QTemporaryDir m_dir;
    QString m_ffmpeg;
    QList<Generated> m_files;
};

namespace {

struct Format
{
    const char *label;
    const char *extension;
    const char *encoder;
    QStringList arguments;
    // Written to a pipe: no duration, no index.
    bool streamed = false;
    // Beside a picture track, as the sound of a video.
    bool video = false;
    // How far the stated length may be from the decode. FFmpeg's WMA
    // decoder yields nothing for the first block, which at 32 kHz and up is
    // 2,048 frames (64 ms); the header states the encoded length. FFmpeg's
    // CAF writer counts every ALAC packet whole (4,096 frames, 128 ms at
    // 32 kHz), the last one too.
    int toleranceMs = 50;
};

struct Shape
{
    int rate;
    int channels;
    double seconds;
    // Digital silence after the tone, as a track exported with a long tail
    // has: more than a mebibyte of zero samples in the uncompressed formats.
    double silence = 0;
};

// A twentieth of a second: the most a decode may run past the length the
// ffmpeg tool decodes.
constexpr int ToleranceDivisor = 20;

// The sanitizers slow decoding several times over and hold freed memory in
// quarantine: the time and memory bounds a user would notice hold for the
// plain build.
#if defined(__SANITIZE_ADDRESS__)
constexpr int Slowdown = 3;
constexpr bool MemoryMeasurable = false;
#else
constexpr int Slowdown = 1;
constexpr bool MemoryMeasurable = true;
#endif

QList<Format> formats()
{
    const auto codec = [](const char *name) { return QStringList{"-c:a", name}; };
    return {
        {"FLAC", "flac", "flac", codec("flac")},
        {"Ogg Vorbis", "ogg", "libvorbis", codec("libvorbis")},
        {"Opus", "opus", "libopus", codec("libopus")},
        {"AAC in M4A", "m4a", "aac", codec("aac")},
        {"ADTS AAC", "aac", "aac",
         codec("aac") << "-f"
                      << "adts"},
        {"ALAC in M4A", "m4a", "alac", codec("alac")},
        {"ALAC in CAF", "caf", "alac", codec("alac"), false, false, 130},
        {"WMA 1", "wma", "wmav1", codec("wmav1"), false, false, 70},
        {"WMA 2", "wma", "wmav2", codec("wmav2"), false, false, 70},
        {"WavPack", "wv", "wavpack", codec("wavpack")},
        {"TTA", "tta", "tta", codec("tta")},
        {"AIFF", "aiff", "pcm_s16be", codec("pcm_s16be")},
        {"WAV", "wav", "pcm_s16le", codec("pcm_s16le")},
        {"WAV, float", "wav", "pcm_f32le", codec("pcm_f32le")},
        {"WAV, ADPCM", "wav", "adpcm_ms", codec("adpcm_ms")},
        {"AU", "au", "pcm_s16be", codec("pcm_s16be")},
        {"AC-3", "ac3", "ac3", codec("ac3")},
        {"DTS", "dts", "dca",
         codec("dca") << "-strict"
                      << "-2"},
        {"MP3", "mp3", "libmp3lame", codec("libmp3lame")},
        {"Vorbis in WebM", "webm", "libvorbis", codec("libvorbis")},
        {"Opus in WebM", "webm", "libopus", codec("libopus")},
        {"FLAC in Matroska", "mka", "flac", codec("flac")},
        {"AAC in Matroska", "mka", "aac", codec("aac")},
        {"MP3 in Matroska", "mka", "libmp3lame", codec("libmp3lame")},
        {"Opus in WebM without a duration", "webm", "libopus",
         codec("libopus") << "-f"
                          << "webm",
         true},
        {"Vorbis in Matroska without a duration", "mka", "libvorbis",
         codec("libvorbis") << "-f"
                            << "matroska",
         true},
        {"AAC of an MP4 video", "mp4", "aac",
         codec("aac") << "-c:v"
                      << "mpeg4",
         false, true},
        {"Vorbis of a WebM video", "webm", "libvorbis",
         codec("libvorbis") << "-c:v"
                            << "libvpx",
         false, true},
    };
}

const Shape Shapes[] = {{44100, 2, 2.5}, {48000, 1, 0.15}, {32000, 2, 11.3}, {44100, 2, 3, 8}};

struct Played
{
    qint64 frames = 0;
    int64_t last = 0; // what the last read() returned
};

Played playToTheEnd(audio::PcmSource &source)
{
    Played played;
    std::vector<int16_t> buffer(size_t(4096 * source.channels()));
    while ((played.last = source.read(buffer.data(), 4096)) > 0)
        played.frames += played.last;
    return played;
}

std::unique_ptr<audio::PcmSource> load(const QString &path, QString *error)
{
    Result<std::unique_ptr<audio::PcmSource>> loaded = audio::AudioFileLoader::load(path);
    if (!loaded) {
        *error = loaded.error();
        return nullptr;
    }
    return std::move(loaded).value();
}

} // namespace

void TestTrackLengths::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (m_ffmpeg.isEmpty())
        QSKIP("the ffmpeg tool is not installed");
    generate();
    QVERIFY(!m_files.isEmpty());
}

void TestTrackLengths::generate()
{
    QProcess list;
    list.start(m_ffmpeg, {"-hide_banner", "-encoders"});
    QVERIFY(list.waitForFinished(10000));
    const QString encoders = QString::fromUtf8(list.readAllStandardOutput());
    for (const Format &format : formats()) {
        if (!encoders.contains(
                QRegularExpression(QStringLiteral("\\s%1\\s").arg(format.encoder)))) {
            qInfo("skipped, the ffmpeg tool has no encoder %s: %s", format.encoder, format.label);
            continue;
        }
        for (const Shape &shape : Shapes) {
            QString label = QStringLiteral("%1, %2 Hz, %3 ch, %4 s")
                                .arg(QLatin1String(format.label))
                                .arg(shape.rate)
                                .arg(shape.channels)
                                .arg(shape.seconds);
            if (shape.silence > 0)
                label += QStringLiteral(" and %1 s of silence").arg(shape.silence);
            const QString path = m_dir.filePath(
                QStringLiteral("%1.%2").arg(m_files.size()).arg(QLatin1String(format.extension)));
            QStringList arguments{"-v",
                                  "error",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2,"
                                                 "apad=pad_dur=%3")
                                      .arg(shape.rate)
                                      .arg(shape.seconds)
                                      .arg(shape.silence)};
            if (format.video)
                arguments << "-f"
                          << "lavfi"
                          << "-i"
                          << QStringLiteral("color=size=64x48:rate=10:duration=%1")
                                 .arg(shape.seconds + shape.silence);
            arguments << "-ac" << QString::number(shape.channels) << format.arguments;
            QProcess encode;
            if (format.streamed) {
                encode.setStandardOutputFile(path);
                arguments << "-";
            } else {
                arguments << "-y" << path;
            }
            encode.start(m_ffmpeg, arguments);
            if (!encode.waitForFinished(60000) || encode.exitCode() != 0) {
                qInfo("skipped, the ffmpeg tool cannot write %s: %s", qPrintable(label),
                      encode.readAllStandardError().constData());
                continue;
            }
            const qint64 frames = framesDecodedByTheTool(path);
            QVERIFY2(frames > 0, qPrintable(label));
            m_files.append({label, path, frames, format.toleranceMs});
        }
    }
}

qint64 TestTrackLengths::framesDecodedByTheTool(const QString &path) const
{
    QProcess decode;
    decode.start(m_ffmpeg,
                 {"-v", "quiet", "-i", path, "-map", "0:a:0", "-ac", "1", "-f", "s16le", "-"});
    if (!decode.waitForFinished(60000))
        return -1;
    return decode.readAllStandardOutput().size() / 2;
}

void TestTrackLengths::wholeFilePlaysEverySample_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<int>("toleranceMs");
    for (const Generated &file : std::as_const(m_files))
        QTest::newRow(qPrintable(file.label)) << file.path << file.frames << file.toleranceMs;
}

// The length is known at load within a twentieth of a second of what the
// ffmpeg tool decodes, and every one of those frames plays, with no more
// than a twentieth of a second after them (padding a container records that
// FFmpeg's own tool trims differently).
void TestTrackLengths::wholeFilePlaysEverySample()
{
    QFETCH(QString, path);
    QFETCH(qint64, frames);
    QFETCH(int, toleranceMs);
    QString error;
    std::unique_ptr<audio::PcmSource> source = load(path, &error);
    QVERIFY2(source != nullptr, qPrintable(error));
    const qint64 tolerance = source->sampleRate() / ToleranceDivisor;
    QVERIFY2(
        qAbs(source->frameCount() - frames) <= qint64(source->sampleRate()) * toleranceMs / 1000,
        qPrintable(QStringLiteral("stated %1, decoded %2").arg(source->frameCount()).arg(frames)));
    const Played played = playToTheEnd(*source);
    QCOMPARE(played.last, 0);
    QVERIFY2(played.frames >= frames && played.frames <= frames + tolerance,
             qPrintable(QStringLiteral("played %1, decoded %2").arg(played.frames).arg(frames)));
}

void TestTrackLengths::cutOrDamagedEndsWhereItBreaks_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("wholeFrames");
    QTest::addColumn<qint64>("decodedFrames");
    QRandomGenerator random(22);
    for (const Generated &file : std::as_const(m_files)) {
        const QByteArray bytes = readFile(file.path);
        const QString extension = QFileInfo(file.path).suffix();
        const auto copy = [&](const char *what, const QByteArray &changed) {
            const QString path = m_dir.filePath(QStringLiteral("%1-%2.%3")
                                                    .arg(QFileInfo(file.path).baseName())
                                                    .arg(qHash(QLatin1String(what)))
                                                    .arg(extension));
            QVERIFY(writeFile(path, changed));
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(file.label, QLatin1String(what))))
                << path << file.frames << framesDecodedByTheTool(path);
        };
        copy("cut in half", bytes.left(bytes.size() / 2));
        copy("cut 100 bytes short", bytes.left(bytes.size() - 100));
        QByteArray damaged = bytes;
        for (qsizetype i = bytes.size() * 2 / 3;
             i < std::min(bytes.size(), bytes.size() * 2 / 3 + 64); ++i)
            damaged[i] = char(random.bounded(256));
        copy("64 random bytes two thirds in", damaged);
    }
}

// Refused at load, or played to a clean end (0, or -1 where the decode
// fails) no later than the whole file would, and for a file cut short, no
// later than the ffmpeg tool decodes it.
void TestTrackLengths::cutOrDamagedEndsWhereItBreaks()
{
    QFETCH(QString, path);
    QFETCH(qint64, wholeFrames);
    QFETCH(qint64, decodedFrames);
    QString error;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<audio::PcmSource> source = load(path, &error);
    if (source == nullptr) {
        QVERIFY(!error.isEmpty());
        return;
    }
    const qint64 tolerance = source->sampleRate() / ToleranceDivisor;
    const Played played = playToTheEnd(*source);
    QVERIFY(played.last == 0 || played.last == -1);
    QVERIFY2(clock.elapsed() < 2000 * Slowdown,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY2(played.frames <= wholeFrames + tolerance,
             qPrintable(QStringLiteral("%1 of %2").arg(played.frames).arg(wholeFrames)));
    QVERIFY2(QString::fromLatin1(QTest::currentDataTag()).contains(QLatin1String("random")) ||
                 played.frames <= decodedFrames + tolerance,
             qPrintable(QStringLiteral("%1, the tool %2").arg(played.frames).arg(decodedFrames)));
}

void TestTrackLengths::zeroTailLoadsQuickly_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("frames");
    for (const Generated &file : std::as_const(m_files)) {
        if (!file.label.contains(QLatin1String(", 2.5 s")))
            continue;
        const QString path =
            m_dir.filePath(QStringLiteral("zeros-") + QFileInfo(file.path).fileName());
        QVERIFY(QFile::copy(file.path, path));
        // Sparse: the zeros take no room.
        QFile out(path);
        QVERIFY(out.resize(out.size() + (qint64(1) << 30)));
        QTest::newRow(qPrintable(file.label)) << path << file.frames;
        // Zeros written out, more than the reader looks back over: FFmpeg
        // reads into them, past FLAC's header as a parser that once asserted.
        if (file.label.startsWith(QLatin1String("FLAC,"))) {
            const QString written = m_dir.filePath(QStringLiteral("written-zeros.flac"));
            QVERIFY(writeFile(written, readFile(file.path)));
            QFile zeros(written);
            QVERIFY(zeros.open(QIODevice::Append));
            const QByteArray mebibyte(qsizetype(1) << 20, '\0');
            for (int i = 0; i < 160; ++i)
                QCOMPARE(zeros.write(mebibyte), mebibyte.size());
            QTest::newRow("FLAC, 160 MiB of zeros written") << written << file.frames;
        }
    }
}

// A valid head followed by a gigabyte of zeros (a download preallocated, a
// recorder that died) is refused or loads within a second, plays no longer
// than its sound, and takes little memory.
void TestTrackLengths::zeroTailLoadsQuickly()
{
    QFETCH(QString, path);
    QFETCH(qint64, frames);
    QElapsedTimer clock;
    clock.start();
    QString error;
    std::unique_ptr<audio::PcmSource> source = load(path, &error);
    QVERIFY2(clock.elapsed() < 1000 * Slowdown,
             qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    if (source != nullptr) {
        clock.restart();
        const Played played = playToTheEnd(*source);
        QVERIFY(played.last == 0 || played.last == -1);
        QVERIFY2(clock.elapsed() < 1000 * Slowdown,
                 qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
        // Zeros are silence in uncompressed formats: up to the reads' bound.
        QVERIFY(played.frames >= frames - source->sampleRate() / ToleranceDivisor);
    } else {
        QVERIFY(!error.isEmpty());
    }
    rusage usage{};
    QCOMPARE(getrusage(RUSAGE_SELF, &usage), 0);
    QVERIFY2(!MemoryMeasurable || usage.ru_maxrss < 100 * 1024,
             qPrintable(QStringLiteral("%1 kB").arg(usage.ru_maxrss)));
}

QTEST_GUILESS_MAIN(TestTrackLengths)
#include "tst_TrackLengths.moc"
