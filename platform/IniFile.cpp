#include "IniFile.h"

#include "FileAccess.h"

#include <QStringDecoder>

namespace inifile {

std::optional<Values> parse(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    Values values;
    QString section;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed(); // also drops the CR of CR LF
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed().toString().toLower();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || section.isEmpty()) {
            return std::nullopt;
        }
        const QString key = line.left(equals).trimmed().toString().toLower();
        if (key.isEmpty()) {
            return std::nullopt;
        }
        values.insert(section + u'/' + key, line.mid(equals + 1).trimmed().toString());
    }
    return values;
}

std::optional<Values> read(const QString &path)
{
    // One byte past the cap tells a file that is too long from one that fits.
    const Result<QByteArray> bytes = fileaccess::readRegularFile(path, kSizeLimit + 1);
    if (!bytes || bytes->size() > kSizeLimit) {
        return std::nullopt;
    }
    return parse(bytes.value());
}

} // namespace inifile
