#pragma once

#include "Result.h"
#include "TrackBinding.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace plovi {

// The track bindings file "yygj" beside the program: one record per line,
//   "<FullPath>","<ShortName>"<CR><LF>
// in GB18030 (byte for byte GBK for GBK text), 15 lines when written.
class BindingsFile
{
  public:
    // Bytes a read takes at most; what lies beyond is ignored, as records
    // after the fifteenth are. Fifteen records of the longest paths need far
    // less.
    static constexpr qsizetype kReadLimit = qsizetype(1) << 20;

    // One record as it stands in a file: its fields, and the bytes from the
    // start of its line up to and including its line end; openQuote where a
    // quoted field of it runs to the end of the bytes.
    struct Line
    {
        TrackBinding record;
        qsizetype begin;
        qsizetype end;
        bool openQuote = false;
    };

    // What a save of rows over a file's old bytes writes.
    struct Plan
    {
        QByteArray bytes;
        // Rows that no bytes of the format read back as they are (a double
        // quote where the field cannot go unquoted, a line break).
        std::vector<int16_t> unwritable;
        // Edited rows whose name in the old file is longer than the dialog
        // shows: the save shortens it to what is shown.
        std::vector<int16_t> shortened;
    };

    explicit BindingsFile(QString path);

    [[nodiscard]] const QString &path() const { return m_path; }

    // The records, at most kTrackSlots, in file order, from at most
    // kReadLimit bytes. A missing file reads as no record; an existing file
    // that cannot be read, or is not a regular file (never waited on), fails
    // with the system's reason.
    [[nodiscard]] Result<std::vector<TrackBinding>> read() const;

    // Replaces the file with format(records) through fileaccess::replaceFile:
    // the old file stays byte for byte unless every byte of the new one was
    // written. Fails with the system's reason.
    [[nodiscard]] Result<void> save(const std::vector<TrackBinding> &records) const;

    // The records of lines() of the bytes.
    [[nodiscard]] static std::vector<TrackBinding> parse(const QByteArray &bytes);

    // Records in the bytes of a bindings file, at most kTrackSlots. Takes any
    // bytes:
    //  - a byte-order mark (UTF-8 or GB18030) at the start is skipped;
    //  - blank lines (empty or spaces and tabs only) before a record are
    //    skipped; each other line is one record;
    //  - spaces before a field are skipped; a field that starts with a double
    //    quote runs to the next double quote (or the end), any other to the
    //    next comma or line end;
    //  - the name is the field after the path's comma; a path with no comma
    //    after it on its line has an empty name; what follows the name on
    //    its line is ignored;
    //  - each field is decoded alone; bytes that are not GB18030 read as
    //    U+FFFD.
    [[nodiscard]] static std::vector<Line> lines(const QByteArray &bytes);

    // The line a save writes for one record: each field in double quotes, or
    // bare where it holds a double quote and reads back bare. Nothing when no
    // line reads back as the record.
    [[nodiscard]] static std::optional<QByteArray> formatLine(const TrackBinding &record);

    // The bytes a save writes for the records alone, untrimmed; a record
    // formatLine() cannot write is written quoted as it stands.
    [[nodiscard]] static QByteArray format(const std::vector<TrackBinding> &records);

    // A save of rows (kTrackSlots of them) over old, the bytes the file held.
    // A row that reads as old's record of the same place, or as it with the
    // name cut to nameLength (what a box of that many characters shows), is
    // written back as old's bytes; so are the blank lines between records, a
    // byte-order mark, and everything after the fifteenth record. Other rows
    // are formatLine()'d. Each row of the result reads back as the row: an
    // old last line whose quote runs to the end is closed before new lines.
    [[nodiscard]] static Plan plan(const QByteArray &old, const std::vector<TrackBinding> &rows,
                                   qsizetype nameLength);

  private:
    QString m_path;
};

} // namespace plovi
