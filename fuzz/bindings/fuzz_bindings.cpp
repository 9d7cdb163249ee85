// libFuzzer target: any bytes as a bindings file. The reader must neither
// crash nor yield more records than there are slots, and whatever it yields
// must survive a save and a second read unchanged when its fields can be
// stored (no double quote, no line break).
#include "BindingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using plovi::BindingsFile;
using plovi::kTrackSlots;
using plovi::TrackBinding;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::vector<TrackBinding> records = BindingsFile::parse(bytes);
    if (records.size() > static_cast<size_t>(kTrackSlots)) {
        std::abort();
    }
    auto storable = [](const QString &s) {
        return !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\r')) &&
               !s.contains(QLatin1Char('\n')) && !s.contains(QChar(0xFFFD));
    };
    for (const TrackBinding &r : records) {
        if (!storable(r.FullPath) || !storable(r.ShortName)) {
            return 0;
        }
    }
    if (BindingsFile::parse(BindingsFile::format(records)) != records) {
        std::abort();
    }
    return 0;
}
