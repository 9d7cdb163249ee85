#include "BindingsFile.h"

#include "CodePage.h"
#include "FileAccess.h"

#include <QDir>

namespace {

class FieldReader
{
  public:
    explicit FieldReader(const QString &text) : m_text(text) {}

    [[nodiscard]] bool atEnd() const { return m_pos >= m_text.size(); }

    // Skips lines that hold nothing but spaces and tabs; stops at the first
    // character of a line with content.
    void skipBlankLines()
    {
        qsizetype probe = m_pos;
        while (probe < m_text.size()) {
            const QChar c = m_text.at(probe);
            if (isBlank(c)) {
                ++probe;
            } else if (isLineEnd(c)) {
                ++probe;
                m_pos = probe;
            } else {
                return;
            }
        }
        m_pos = probe;
    }

    [[nodiscard]] QString readField()
    {
        while (!atEnd() && isBlank(m_text.at(m_pos))) {
            ++m_pos;
        }
        QString value;
        if (!atEnd() && m_text.at(m_pos) == QLatin1Char('"')) {
            const qsizetype start = m_pos + 1;
            qsizetype close = m_text.indexOf(QLatin1Char('"'), start);
            if (close < 0) {
                close = m_text.size();
            }
            value = m_text.mid(start, close - start);
            m_pos = close < m_text.size() ? close + 1 : close;
        } else {
            const qsizetype start = m_pos;
            while (!atEnd() && !isFieldEnd(m_text.at(m_pos))) {
                ++m_pos;
            }
            value = m_text.mid(start, m_pos - start);
        }
        consumeSeparator();
        return value;
    }

  private:
    static bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
    static bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }
    static bool isFieldEnd(QChar c) { return c == QLatin1Char(',') || isLineEnd(c); }

    // Everything up to and including the next comma or line end (CR, LF or
    // CR LF as one).
    void consumeSeparator()
    {
        while (!atEnd() && !isFieldEnd(m_text.at(m_pos))) {
            ++m_pos;
        }
        if (atEnd()) {
            return;
        }
        const QChar c = m_text.at(m_pos++);
        if (c == QLatin1Char('\r') && !atEnd() && m_text.at(m_pos) == QLatin1Char('\n')) {
            ++m_pos;
        }
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

} // namespace

namespace plovi {

BindingsFile::BindingsFile(QString path) : m_path(std::move(path)) {}

Result<std::vector<TrackBinding>> BindingsFile::read() const
{
    Result<QByteArray> bytes = fileaccess::readRegularFile(m_path, kReadLimit);
    if (!bytes) {
        return Failure{bytes.error()};
    }
    return parse(bytes.value());
}

Result<void> BindingsFile::save(const std::vector<TrackBinding> &records) const
{
    return fileaccess::replaceFile(m_path, format(records));
}

std::vector<TrackBinding> BindingsFile::parse(const QByteArray &bytes)
{
    const QString text = codepage::fromGb18030(bytes);
    FieldReader reader(text);
    std::vector<TrackBinding> records;
    while (records.size() < static_cast<size_t>(kTrackSlots)) {
        reader.skipBlankLines();
        if (reader.atEnd()) {
            break;
        }
        TrackBinding record;
        record.FullPath = reader.readField();
        if (!reader.atEnd()) {
            record.ShortName = reader.readField();
        }
        records.push_back(std::move(record));
    }
    return records;
}

QByteArray BindingsFile::format(const std::vector<TrackBinding> &records)
{
    QString text;
    for (const TrackBinding &record : records) {
        text += QLatin1Char('"') + record.FullPath + QStringLiteral("\",\"") + record.ShortName +
                QStringLiteral("\"\r\n");
    }
    return codepage::toGb18030(text);
}

} // namespace plovi
