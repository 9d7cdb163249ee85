#include "CodePage.h"

#include <cerrno>
#include <iconv.h>
#include <memory>

namespace {

struct IconvCloser
{
    void operator()(void *cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle openConverter(const char *to, const char *from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return nullptr;
    }
    return IconvHandle(cd);
}

// Converts all of input. badInput is appended (already in the target encoding)
// for each byte iconv rejects, and once for an incomplete tail.
QByteArray convert(const char *to, const char *from, const QByteArray &input,
                   const QByteArray &badInput)
{
    IconvHandle handle = openConverter(to, from);
    if (!handle) {
        return {};
    }
    auto cd = static_cast<iconv_t>(handle.get());
    QByteArray output;
    char buffer[4096];
    char *in = const_cast<char *>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<qsizetype>(out - buffer));
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        output.append(badInput);
        if (errno == EILSEQ) {
            ++in;
            --inLeft;
        } else {
            break;
        }
    }
    char *out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &out, &outLeft);
    output.append(buffer, static_cast<qsizetype>(out - buffer));
    return output;
}

} // namespace

namespace codepage {

QString fromGb18030(const QByteArray &bytes)
{
    return QString::fromUtf8(convert("UTF-8", "GB18030", bytes, QByteArrayLiteral("\xEF\xBF\xBD")));
}

QByteArray toGb18030(const QString &text)
{
    return convert("GB18030", "UTF-8", text.toUtf8(), QByteArrayLiteral("?"));
}

} // namespace codepage
