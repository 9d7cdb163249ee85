#include "SystemErrorText.h"

#include <cerrno>
#include <cstring>

#include <locale.h>

namespace {

// Messages and the character set of the locale, so glibc translates into
// UTF-8; null when the locale does not exist here.
locale_t openLocale(const char *name)
{
    return newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
}

} // namespace

QString systemErrorText(int error)
{
    const int saved = errno;
    QString text;
    for (const char *name : {"zh_CN.UTF-8", "C"}) {
        if (const locale_t locale = openLocale(name); locale != static_cast<locale_t>(nullptr)) {
            text = QString::fromUtf8(strerror_l(error, locale));
            freelocale(locale);
            break;
        }
    }
    if (text.isEmpty()) {
        text = QString::fromUtf8(std::strerror(error));
    }
    errno = saved;
    return text;
}
