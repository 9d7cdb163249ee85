#pragma once

#include "TrackBinding.h"

#include <QString>

#include <vector>

namespace plovi {

// One "保存并退出" of the settings dialog, done off the window's thread: reads
// the old file, plans the new one (BindingsFile::plan) and replaces it.
// Touches nothing but the files named in its request.
class BindingsFileSave
{
  public:
    struct Request
    {
        QString readPath;  // the file the rows were filled from; may be missing
        QString savePath;  // the file replaced
        bool createFolder; // savePath's folder, with its parents, is created when missing
        std::vector<TrackBinding> rows; // kTrackSlots of them, as the dialog shows
        qsizetype nameLength;           // characters a name box shows
        // The changes last reported as WouldChange for these very rows were
        // shown to the user: the save goes ahead with them.
        bool changesAccepted;
    };

    enum class Status {
        Saved,       // records: the file's records as read back
        Unwritable,  // rows: rows no line can carry; the file is untouched
        WouldChange, // rows: names the save would shorten; cut: it would drop
                     // the bytes past the read limit. The file is untouched
        Failed,      // reason: the system's; the file is untouched
    };

    struct Outcome
    {
        Status status;
        std::vector<TrackBinding> records{};
        std::vector<int16_t> rows{};
        bool cut = false;
        QString reason{};
    };

    [[nodiscard]] static Outcome run(const Request &request);
};

} // namespace plovi
