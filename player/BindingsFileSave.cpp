#include "BindingsFileSave.h"

#include "BindingsFile.h"
#include "FileAccess.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace plovi {

BindingsFileSave::Outcome BindingsFileSave::run(const Request &request)
{
    // One byte past the limit tells whether there is more than a read takes.
    // A file that cannot be read gave the dialog no rows: nothing to keep.
    const Result<QByteArray> read =
        fileaccess::readRegularFile(request.readPath, BindingsFile::kReadLimit + 1);
    QByteArray old = read ? read.value() : QByteArray();
    const bool cut = old.size() > BindingsFile::kReadLimit;
    old.truncate(BindingsFile::kReadLimit);

    const BindingsFile::Plan plan = BindingsFile::plan(old, request.rows, request.nameLength);
    if (!plan.unwritable.empty()) {
        return {Status::Unwritable, {}, plan.unwritable};
    }
    if ((cut || !plan.shortened.empty()) && !request.changesAccepted) {
        return {Status::WouldChange, {}, plan.shortened, cut};
    }

    errno = 0;
    if (request.createFolder && !QDir().mkpath(QFileInfo(request.savePath).absolutePath())) {
        return {Status::Failed, {}, {}, false, systemErrorText(errno != 0 ? errno : EACCES)};
    }
    if (const Result<void> written = fileaccess::replaceFile(request.savePath, plan.bytes);
        !written) {
        return {Status::Failed, {}, {}, false, written.error()};
    }
    std::vector<TrackBinding> records = BindingsFile::parse(plan.bytes);
    records.resize(request.rows.size());
    return {Status::Saved, std::move(records)};
}

} // namespace plovi
