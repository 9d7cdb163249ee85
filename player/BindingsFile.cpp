#include "BindingsFile.h"

#include "CodePage.h"
#include "FileAccess.h"

namespace {

using plovi::BindingsFile;
using plovi::TrackBinding;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isFieldEnd(char c)
{
    return c == ',' || isLineEnd(c);
}

// Length of a byte-order mark at the start of bytes, or 0.
qsizetype byteOrderMark(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        return 3;
    }
    return bytes.startsWith("\x84\x31\x95\x33") ? 4 : 0;
}

// Reads the fields of a bindings file byte by byte. The bytes that shape it
// (quote, comma, CR, LF, space, tab) are ASCII, which no GB18030 sequence
// holds, so the structure is found before any decoding.
class FieldReader
{
  public:
    explicit FieldReader(const QByteArray &bytes, qsizetype start) : m_bytes(bytes), m_pos(start) {}

    [[nodiscard]] bool atEnd() const { return m_pos >= m_bytes.size(); }
    [[nodiscard]] qsizetype pos() const { return m_pos; }
    // Whether a quoted field read so far found no closing quote.
    [[nodiscard]] bool openQuote() const { return m_openQuote; }

    // Skips lines that hold nothing but spaces and tabs; stops at the start
    // of the first line with content.
    void skipBlankLines()
    {
        qsizetype probe = m_pos;
        while (probe < m_bytes.size()) {
            const char c = m_bytes.at(probe);
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
        while (!atEnd() && isBlank(m_bytes.at(m_pos))) {
            ++m_pos;
        }
        qsizetype start = m_pos;
        qsizetype stop = m_pos;
        if (!atEnd() && m_bytes.at(m_pos) == '"') {
            start = m_pos + 1;
            stop = m_bytes.indexOf('"', start);
            if (stop < 0) {
                stop = m_bytes.size();
                m_openQuote = true;
            }
            m_pos = stop < m_bytes.size() ? stop + 1 : stop;
        } else {
            while (!atEnd() && !isFieldEnd(m_bytes.at(m_pos))) {
                ++m_pos;
            }
            stop = m_pos;
        }
        return codepage::fromGb18030(m_bytes.mid(start, stop - start));
    }

    // Everything up to the next comma or line end; then true and past the
    // comma where it is a comma, else false and past the line end (CR, LF or
    // CR LF as one).
    [[nodiscard]] bool consumeToComma()
    {
        while (!atEnd() && !isFieldEnd(m_bytes.at(m_pos))) {
            ++m_pos;
        }
        if (!atEnd() && m_bytes.at(m_pos) == ',') {
            ++m_pos;
            return true;
        }
        consumeLineEnd();
        return false;
    }

    // Everything up to and including the next line end.
    void consumeLine()
    {
        while (!atEnd() && !isLineEnd(m_bytes.at(m_pos))) {
            ++m_pos;
        }
        consumeLineEnd();
    }

  private:
    void consumeLineEnd()
    {
        if (atEnd()) {
            return;
        }
        const char c = m_bytes.at(m_pos++);
        if (c == '\r' && !atEnd() && m_bytes.at(m_pos) == '\n') {
            ++m_pos;
        }
    }

    const QByteArray &m_bytes;
    qsizetype m_pos;
    bool m_openQuote = false;
};

QByteArray quoted(const QString &field)
{
    return '"' + codepage::toGb18030(field) + '"';
}

// A field written bare reads back only where it cannot be taken for a quoted
// one or end early.
std::optional<QByteArray> bare(const QString &field)
{
    if (field.isEmpty() || field.front() == u' ' || field.front() == u'\t' ||
        field.front() == u'"' || field.contains(u',') || field.contains(u'\r') ||
        field.contains(u'\n')) {
        return std::nullopt;
    }
    return codepage::toGb18030(field);
}

std::optional<QByteArray> fieldBytes(const QString &field)
{
    return field.contains(u'"') ? bare(field) : quoted(field);
}

bool endsLine(const QByteArray &bytes)
{
    return !bytes.isEmpty() && isLineEnd(bytes.back());
}

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

std::vector<BindingsFile::Line> BindingsFile::lines(const QByteArray &bytes)
{
    FieldReader reader(bytes, byteOrderMark(bytes));
    std::vector<Line> lines;
    while (lines.size() < static_cast<size_t>(kTrackSlots)) {
        reader.skipBlankLines();
        if (reader.atEnd()) {
            break;
        }
        Line line{{}, reader.pos(), 0};
        line.record.FullPath = reader.readField();
        if (reader.consumeToComma()) {
            line.record.ShortName = reader.readField();
            reader.consumeLine();
        }
        line.end = reader.pos();
        line.openQuote = reader.openQuote();
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<TrackBinding> BindingsFile::parse(const QByteArray &bytes)
{
    std::vector<TrackBinding> records;
    for (Line &line : lines(bytes)) {
        records.push_back(std::move(line.record));
    }
    return records;
}

std::optional<QByteArray> BindingsFile::formatLine(const TrackBinding &record)
{
    const std::optional<QByteArray> path = fieldBytes(record.FullPath);
    const std::optional<QByteArray> name = fieldBytes(record.ShortName);
    if (!path || !name) {
        return std::nullopt;
    }
    QByteArray line = *path + ',' + *name + "\r\n";
    const std::vector<TrackBinding> back = parse(line);
    if (back.size() != 1 || back.front() != record) {
        return std::nullopt; // a character GB18030 cannot hold, a bare field cut short
    }
    return line;
}

QByteArray BindingsFile::format(const std::vector<TrackBinding> &records)
{
    QByteArray bytes;
    for (const TrackBinding &record : records) {
        bytes += formatLine(record).value_or(quoted(record.FullPath) + ',' +
                                             quoted(record.ShortName) + "\r\n");
    }
    return bytes;
}

BindingsFile::Plan BindingsFile::plan(const QByteArray &old, const std::vector<TrackBinding> &rows,
                                      qsizetype nameLength)
{
    const std::vector<Line> oldLines = lines(old);
    Plan plan;
    qsizetype copied = oldLines.empty() ? byteOrderMark(old) : oldLines.front().begin;
    plan.bytes = old.left(copied);
    // What an old line kept as the last bytes needs before any that follow:
    // its open quote closed, a line end.
    QByteArray pending;
    const auto append = [&plan, &pending](const QByteArray &bytes) {
        if (!bytes.isEmpty()) {
            plan.bytes += pending;
            pending.clear();
        }
        plan.bytes += bytes;
    };
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto slot = static_cast<int16_t>(k);
        const TrackBinding &row = rows[k];
        if (k < oldLines.size()) {
            const Line &line = oldLines[k];
            append(old.mid(copied, line.begin - copied)); // blank lines before it
            copied = line.end;
            const TrackBinding &was = line.record;
            const bool shownName = row.ShortName == was.ShortName.left(nameLength);
            if (row.FullPath == was.FullPath && (row.ShortName == was.ShortName || shownName)) {
                append(old.mid(line.begin, line.end - line.begin));
                if (line.openQuote) {
                    pending = "\"\r\n";
                } else if (!endsLine(plan.bytes)) {
                    pending = "\r\n";
                }
                continue;
            }
            if (was.ShortName.size() > nameLength && shownName) {
                plan.shortened.push_back(slot);
            }
        }
        const std::optional<QByteArray> line = formatLine(row);
        if (!line) {
            plan.unwritable.push_back(slot);
        }
        append(line.value_or(QByteArray()));
    }
    if (oldLines.size() == static_cast<size_t>(kTrackSlots) && copied < old.size()) {
        append(old.mid(copied)); // records past the fifteenth, as they were
    }
    return plan;
}

} // namespace plovi
