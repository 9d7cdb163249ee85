#pragma once

#include "TrackBinding.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The track bindings file "yygj" beside the program: one record per line,
//   "<FullPath>","<ShortName>"<CR><LF>
// in GB18030 (byte for byte GBK for GBK text), 15 lines when written.
class BindingsFile
{
  public:
    struct ReadResult
    {
        std::vector<TrackBinding> records; // at most kTrackSlots, in file order
        QString error;                     // empty, or why an existing file could not be read
    };

    // Bytes a read takes at most; what lies beyond is ignored, as records
    // after the fifteenth are. Fifteen records of the longest paths need far
    // less.
    static constexpr qsizetype kReadLimit = qsizetype(1) << 20;

    explicit BindingsFile(QString path);

    // <program directory>/yygj
    [[nodiscard]] static QString defaultPath();

    [[nodiscard]] const QString &path() const { return m_path; }

    // Both readers of the player. A missing file yields no record and no
    // error; an existing file that cannot be read yields no record and the
    // system's reason. Anything but a regular file (after links) counts as
    // unreadable and is never waited on. Reads at most kReadLimit bytes.
    [[nodiscard]] ReadResult read() const;

    // Replaces the file with one line per record, atomically: the new text
    // goes to "<name>.XXXXXX" beside it, which is synced and renamed over the
    // file only when every byte was written. The old file stays byte for
    // byte unless the save succeeds. A link is written through; an existing
    // file's permissions are kept. Temporary files of an earlier interrupted
    // save are removed first. Returns an empty string on success, otherwise
    // the system's reason.
    [[nodiscard]] QString save(const std::vector<TrackBinding> &records) const;

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
