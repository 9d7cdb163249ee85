#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

#include <cmath>

// The committed audio fixtures and the exact lengths recorded when they were
// generated (tests/fixtures/make_audio_fixtures.sh, make_format_fixtures.sh).
struct ExpectedTrack
{
    qint64 frames = 0;
    int sampleRate = 0;
    int channels = 0;
};

inline QString audioFixture(const QString &name)
{
    return QStringLiteral(PLOVI_FIXTURES_DIR "/audio/") + name;
}

// A file's bytes; empty when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// Whether all of bytes went into the file.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

// list: "expected.txt" for the MP3 and WAV fixtures, "formats/expected.txt"
// for the formats FFmpeg plays (tests/fixtures/make_format_fixtures.sh), whose
// names are relative to formats/.
inline QHash<QString, ExpectedTrack>
expectedTracks(const QString &list = QStringLiteral("expected.txt"))
{
    QHash<QString, ExpectedTrack> tracks;
    QFile file(audioFixture(list));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return tracks;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() == 4)
            tracks.insert(fields[0],
                          {fields[1].toLongLong(), fields[2].toInt(), fields[3].toInt()});
    }
    return tracks;
}

// A WAV file of a sine tone, 16-bit, the same in every channel: peak
// `amplitude`, so its level is known without decoding it.
inline bool writeToneWav(const QString &path, double seconds, double frequency, double amplitude,
                         int sampleRate = 44100, int channels = 2)
{
    const auto frames = static_cast<qint64>(seconds * sampleRate);
    const auto dataBytes = static_cast<quint32>(frames * channels * 2);
    QByteArray bytes;
    auto put32 = [&bytes](quint32 v) {
        for (int k = 0; k < 4; ++k)
            bytes.append(static_cast<char>((v >> (8 * k)) & 0xff));
    };
    auto put16 = [&bytes](quint16 v) {
        bytes.append(static_cast<char>(v & 0xff));
        bytes.append(static_cast<char>(v >> 8));
    };
    bytes.append("RIFF");
    put32(36 + dataBytes);
    bytes.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(static_cast<quint16>(channels));
    put32(static_cast<quint32>(sampleRate));
    put32(static_cast<quint32>(sampleRate * channels * 2));
    put16(static_cast<quint16>(channels * 2));
    put16(16);
    bytes.append("data");
    put32(dataBytes);
    for (qint64 f = 0; f < frames; ++f) {
        const double value = amplitude * std::sin(2.0 * M_PI * frequency * f / sampleRate);
        for (int c = 0; c < channels; ++c)
            put16(static_cast<quint16>(static_cast<qint16>(std::lround(value))));
    }
    return writeFile(path, bytes);
}
