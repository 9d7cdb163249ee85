// libFuzzer target: any bytes as a bindings file on disk. The input is written
// to a real file and read with BindingsFile::read(), which must agree with
// parse() of its first kReadLimit bytes and never yield more records than
// there are slots. Those records, and records cut from the input itself, are
// then saved and read again: the file must hold exactly format()'s bytes, the
// read must agree with parse() of them, and records that the format can store
// (no double quote, no line break) must come back unchanged. A save of the
// file's own rows over it, with one row replaced by a record cut from the
// input, must read back as the rows, and, untouched, must keep every line.
#include "BindingsFile.h"
#include "CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using plovi::BindingsFile;
using plovi::kTrackSlots;
using plovi::TrackBinding;

namespace {

// Characters that long fields cut from the input may reach, each and in all:
// enough to pass the read limit.
constexpr qsizetype kLongFieldLength = qsizetype(1) << 17;
constexpr qsizetype kLongFieldBudget = 3 * BindingsFile::kReadLimit / 2;
constexpr qsizetype kNameLength = 20;

// On tmpfs where there is one: every save syncs, which costs nothing there.
QString tempFolder()
{
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
}

const QString &bindingsPath()
{
    static QTemporaryDir dir(tempFolder() + QStringLiteral("/fuzz_bindings-XXXXXX"));
    static const QString path = dir.filePath(QStringLiteral("yygj"));
    if (!dir.isValid()) {
        std::abort();
    }
    return path;
}

void check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

bool storable(const QString &s)
{
    return !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r')) &&
           !s.contains(QLatin1Char('\n')) && !s.contains(QChar(0xFFFD));
}

bool storable(const std::vector<TrackBinding> &records)
{
    for (const TrackBinding &r : records) {
        if (!storable(r.FullPath) || !storable(r.ShortName)) {
            return false;
        }
    }
    return true;
}

QByteArray fileBytes()
{
    QFile f(bindingsPath());
    check(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

// Records of the input's fields, which NUL bytes separate, as GB18030; a field
// that starts with byte 1 stands for the rest of it repeated to a length no
// real path has.
std::vector<TrackBinding> recordsOf(const QByteArray &bytes)
{
    const QList<QByteArray> parts = bytes.split('\0');
    qsizetype budget = kLongFieldBudget;
    QStringList fields;
    for (const QByteArray &part : parts) {
        QString field = codepage::fromGb18030(part.startsWith('\1') ? part.mid(1) : part);
        if (part.startsWith('\1') && !field.isEmpty()) {
            const qsizetype length = std::min(kLongFieldLength, budget);
            field = field.repeated(length / field.size());
            budget -= field.size();
        }
        fields << field;
    }
    std::vector<TrackBinding> records;
    for (qsizetype i = 0; i + 1 < fields.size() && records.size() < size_t(kTrackSlots); i += 2) {
        records.push_back({fields.at(i), fields.at(i + 1)});
    }
    return records;
}

void checkSaved(const std::vector<TrackBinding> &records)
{
    const BindingsFile file(bindingsPath());
    check(file.save(records).ok());
    const QByteArray bytes = BindingsFile::format(records);
    check(fileBytes() == bytes);
    const auto read = file.read();
    check(read.ok());
    check(read.value() == BindingsFile::parse(bytes.left(BindingsFile::kReadLimit)));
    if (bytes.size() <= BindingsFile::kReadLimit && storable(records)) {
        check(read.value() == records);
    }
}

// The rows a dialog filled from records shows.
std::vector<TrackBinding> shown(std::vector<TrackBinding> records)
{
    records.resize(kTrackSlots);
    for (TrackBinding &r : records) {
        r.ShortName = r.ShortName.left(kNameLength);
    }
    return records;
}

void checkPlan(const QByteArray &old, const std::vector<TrackBinding> &edits)
{
    const std::vector<TrackBinding> records = BindingsFile::parse(old);
    std::vector<TrackBinding> rows = shown(records);
    std::vector<TrackBinding> expected = records;
    expected.resize(kTrackSlots);
    const BindingsFile::Plan untouched = BindingsFile::plan(old, rows, kNameLength);
    check(untouched.unwritable.empty() && untouched.shortened.empty());
    check(BindingsFile::parse(untouched.bytes) == expected);

    if (edits.empty()) {
        return;
    }
    const size_t row = static_cast<size_t>(edits.front().FullPath.size()) % rows.size();
    rows[row] = edits.front();
    const bool changed = rows[row] != shown(records)[row];
    if (changed) {
        expected[row] = rows[row];
    }
    const BindingsFile::Plan plan = BindingsFile::plan(old, rows, kNameLength);
    if (plan.unwritable.empty()) {
        check(BindingsFile::parse(plan.bytes) == expected);
    } else {
        check(changed && plan.unwritable == std::vector<int16_t>{static_cast<int16_t>(row)} &&
              !BindingsFile::formatLine(rows[row]));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    {
        QFile f(bindingsPath());
        check(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    const auto read = BindingsFile(bindingsPath()).read();
    check(read.ok());
    check(read.value().size() <= size_t(kTrackSlots));
    check(read.value() == BindingsFile::parse(bytes.left(BindingsFile::kReadLimit)));
    checkSaved(read.value());
    checkSaved(recordsOf(bytes));
    checkPlan(bytes.left(BindingsFile::kReadLimit), recordsOf(bytes));
    return 0;
}
