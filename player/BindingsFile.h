#pragma once

#include "Result.h"
#include "TrackBinding.h"

#include <QByteArray>
#include <QString>

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

    explicit BindingsFile(QString path);

    [[nodiscard]] const QString &path() const { return m_path; }

    // The records, at most kTrackSlots, in file order, from at most
    // kReadLimit bytes. A missing file reads as no record; an existing file
    // that cannot be read, or is not a regular file (never waited on), fails
    // with the system's reason.
    [[nodiscard]] Result<std::vector<TrackBinding>> read() const;

    // Replaces the file with one line per record through
    // fileaccess::replaceFile: the old file stays byte for byte unless every
    // byte of the new one was written. Fails with the system's reason.
    [[nodiscard]] Result<void> save(const std::vector<TrackBinding> &records) const;

    // Records in the bytes of a bindings file. Takes any bytes:
    //  - fields are read in sequence regardless of lines; spaces before a
    //    field are skipped; a field that starts with a double quote runs to
    //    the next double quote (or the end), any other to the next comma or
    //    line end; after a field everything up to and including the next
    //    comma or line end is consumed;
    //  - blank lines (empty or spaces only) before a record are skipped;
    //  - a lone first field at the end gives a record with an empty name;
    //  - records after the fifteenth are ignored.
    [[nodiscard]] static std::vector<TrackBinding> parse(const QByteArray &bytes);

    // The bytes a save writes for the records, untrimmed and unescaped.
    [[nodiscard]] static QByteArray format(const std::vector<TrackBinding> &records);

  private:
    QString m_path;
};

} // namespace plovi
