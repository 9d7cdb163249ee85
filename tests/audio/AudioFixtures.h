#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

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
