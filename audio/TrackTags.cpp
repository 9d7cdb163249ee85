#include "TrackTags.h"

#include "BufferedFileReader.h"
#include "CodePage.h"
#include "FfmpegFormats.h"

#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace audio {

namespace {

// Where libmpg123 reads the file.
struct Cursor
{
    BufferedFileReader &file;
    int64_t position = 0;
};

ssize_t mpgRead(void *opaque, void *buffer, size_t bytes)
{
    auto *cursor = static_cast<Cursor *>(opaque);
    const int64_t got = cursor->file.read(cursor->position, buffer, bytes);
    if (got > 0)
        cursor->position += got;
    return static_cast<ssize_t>(got);
}

off_t mpgSeek(void *opaque, off_t offset, int whence)
{
    auto *cursor = static_cast<Cursor *>(opaque);
    const int64_t target = cursor->file.seekTarget(cursor->position, offset, whence);
    if (target < 0)
        return -1;
    cursor->position = target;
    return static_cast<off_t>(target);
}

std::optional<QString> nonEmpty(const QString &text)
{
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    return trimmed;
}

struct HandleDeleter
{
    void operator()(mpg123_handle *handle) const { mpg123_delete(handle); }
};

// An ID3v2 text field as libmpg123 keeps it with MPG123_PLAIN_ID3TEXT: the
// encoding byte, then the text (several strings separated by NULs).
std::optional<QString> decodeId3v2Text(const mpg123_string *field)
{
    if (field == nullptr || field->p == nullptr || field->fill < 2)
        return std::nullopt;
    const auto encoding = static_cast<unsigned char>(field->p[0]);
    const auto *text = reinterpret_cast<const unsigned char *>(field->p + 1);
    const size_t size = field->fill - 1;
    if (encoding == mpg123_id3_latin1) {
        // Declared ISO-8859-1 but often GBK, as Chinese tools wrote it.
        const QByteArray bytes(reinterpret_cast<const char *>(text), static_cast<qsizetype>(size));
        const QByteArray first(bytes.constData(), qsizetype(qstrnlen(bytes.constData(), size)));
        if (std::optional<QString> decoded = TrackTags::decodeUndeclared(first))
            return decoded;
        return nonEmpty(QString::fromLatin1(first));
    }
    mpg123_string utf8;
    mpg123_init_string(&utf8);
    std::optional<QString> result;
    if (mpg123_store_utf8(&utf8, mpg123_enc_from_id3(encoding), text, size) != 0 &&
        utf8.p != nullptr) {
        result = nonEmpty(QString::fromUtf8(utf8.p, qsizetype(qstrnlen(utf8.p, utf8.fill))));
    }
    mpg123_free_string(&utf8);
    return result;
}

// The title of an MPEG audio file; fails when libmpg123 finds no MPEG audio.
Result<std::optional<QString>> readMpegTitle(BufferedFileReader &file)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, HandleDeleter> handle(mpg123_new(nullptr, &error));
    if (!handle)
        return Failure{QString::fromUtf8(mpg123_plain_strerror(error))};
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_PLAIN_ID3TEXT, 0.0);
    Cursor cursor{file};
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_replace_reader_handle(handle.get(), &mpgRead, &mpgSeek, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle.get(), &cursor) != MPG123_OK ||
        mpg123_getformat(handle.get(), &rate, &channels, &encoding) != MPG123_OK) {
        return Failure{QStringLiteral("no MPEG audio: %1")
                           .arg(QString::fromUtf8(mpg123_strerror(handle.get())))};
    }
    std::optional<QString> title;
    mpg123_id3v1 *v1 = nullptr;
    mpg123_id3v2 *v2 = nullptr;
    if ((mpg123_meta_check(handle.get()) & MPG123_ID3) != 0 &&
        mpg123_id3(handle.get(), &v1, &v2) == MPG123_OK) {
        if (v2 != nullptr)
            title = decodeId3v2Text(v2->title);
        if (!title && v1 != nullptr)
            title = TrackTags::decodeUndeclared(
                QByteArray(v1->title, qsizetype(qstrnlen(v1->title, sizeof v1->title))));
    }
    mpg123_close(handle.get());
    return title;
}

} // namespace

std::optional<QString> TrackTags::decodeUndeclared(const QByteArray &bytes)
{
    QByteArray text = bytes;
    while (!text.isEmpty() && (text.back() == '\0' || text.back() == ' '))
        text.chop(1);
    const bool ascii = std::all_of(text.cbegin(), text.cend(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return nonEmpty(QString::fromLatin1(text));
    const QString decoded = codepage::fromGb18030(text);
    if (decoded.contains(QChar::ReplacementCharacter))
        return std::nullopt;
    return nonEmpty(decoded);
}

Result<TrackTags> TrackTags::read(const QString &path)
{
    Result<std::unique_ptr<BufferedFileReader>> opened = BufferedFileReader::open(path);
    if (!opened)
        return Failure{opened.error()};
    BufferedFileReader &file = *opened.value();
    const FfmpegFormats *ffmpeg = ffmpegFormats();
    const FfmpegFormats::Probe probe =
        ffmpeg != nullptr ? ffmpeg->probe(file) : FfmpegFormats::Probe{};
    if (probe.recognised && !probe.mpeg) {
        if (!probe.audio)
            return Failure{QStringLiteral("no audio stream")};
        return TrackTags(probe.title);
    }
    // MPEG audio, or nothing libavformat knows: libmpg123 decides, as it does
    // for playing.
    Result<std::optional<QString>> mpeg = readMpegTitle(file);
    if (!mpeg)
        return Failure{mpeg.error()};
    return TrackTags(std::move(mpeg).value());
}

} // namespace audio
