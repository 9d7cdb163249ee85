#pragma once

#include <QString>
#include <QStringList>
#include <QTextDocument>

#include <cstdint>
#include <vector>

// Every message text the player shows. Reasons are the system's own texts,
// passed up unchanged by the lower layers.
namespace plovi::PlayerMessages {

[[nodiscard]] inline QString saveFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("无法保存曲目设置文件“%1”：\n%2\n\n设置没有保存，可以修改后再试。")
        .arg(path, reason);
}

namespace detail {

// Row numbers as the dialog labels them ("3、5"), from rows counted from 0.
[[nodiscard]] inline QString rowList(const std::vector<int16_t> &rows)
{
    QStringList numbers;
    for (const int16_t row : rows) {
        numbers << QString::number(row + 1);
    }
    return numbers.join(QStringLiteral("、"));
}

} // namespace detail

// Rows whose path or name no line of the file carries back as shown.
[[nodiscard]] inline QString saveUnwritable(const QString &path, const std::vector<int16_t> &rows)
{
    return QStringLiteral("第 %1 行的路径或名称含有双引号或换行，无法按框中所示保存到曲目设置文件"
                          "“%2”中。\n\n文件没有改动。请修改这些行后再保存。")
        .arg(detail::rowList(rows), path);
}

// What a save would change beyond the rows the user edited; told before
// anything is written. shortened: rows whose name in the file is longer than
// its box; cut: the file is longer than the player reads.
[[nodiscard]] inline QString saveWouldChange(const QString &path,
                                             const std::vector<int16_t> &shortened, bool cut,
                                             int nameLength)
{
    QString text = QStringLiteral("保存会改动曲目设置文件“%1”中您没有修改的内容：\n").arg(path);
    if (!shortened.empty()) {
        text += QStringLiteral("· 第 %1 行的名称在文件中超过 %2 个字，将按框中所示截短。\n")
                    .arg(detail::rowList(shortened))
                    .arg(nameLength);
    }
    if (cut) {
        text += QStringLiteral("· 文件超过 1 MB，超出的部分将被丢弃。\n");
    }
    return text + QStringLiteral("\n文件还没有改动。再按一次“保存并退出”即按框中所示保存。");
}

// An installed player with no home folder keeps no settings of its own.
[[nodiscard]] inline QString saveNowhere()
{
    return QStringLiteral("找不到您的主文件夹（没有设置 HOME，用户数据库中也没有），"
                          "曲目设置无法保存。");
}

// The save button's text while a save runs.
[[nodiscard]] inline QString saving()
{
    return QStringLiteral("正在保存…");
}

[[nodiscard]] inline QString readFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("无法读取曲目设置文件“%1”：\n%2").arg(path, reason);
}

// name as the player asked for it ("Nobix.exe"); reason from
// ProgramLauncher::launchProgram, where empty means the program was not found.
[[nodiscard]] inline QString launchFailed(const QString &name, const QString &reason)
{
    if (reason.isEmpty()) {
        return QStringLiteral("找不到程序“%1”。").arg(name);
    }
    return QStringLiteral("无法启动程序“%1”：%2").arg(name, reason);
}

// Tooltip of a bound track button: the whole name (none when empty) over the
// whole path, as plain text whatever characters they hold.
[[nodiscard]] inline QString trackToolTip(const QString &name, const QString &path)
{
    const QString plain = name.isEmpty() ? path : name + QLatin1Char('\n') + path;
    if (!Qt::mightBeRichText(plain)) {
        return plain;
    }
    QString html = QStringLiteral("<p style='white-space:pre'>");
    if (!name.isEmpty()) {
        html += name.toHtmlEscaped() + QStringLiteral("<br>");
    }
    return html + path.toHtmlEscaped() + QStringLiteral("</p>");
}

// A track button's tooltip with the line that names its key below it; tip is
// plain text or a paragraph of rich text as the tooltips above make them.
[[nodiscard]] inline QString withTrackKey(const QString &tip, const QString &key)
{
    const QString line = QStringLiteral("按键：%1（Shift+%1 或 Shift+单击：淡出后停止）").arg(key);
    if (tip.isEmpty()) {
        return line;
    }
    if (tip.endsWith(QStringLiteral("</p>"))) {
        return tip.chopped(4) + QStringLiteral("<br>") + line.toHtmlEscaped() +
               QStringLiteral("</p>");
    }
    return tip + QLatin1Char('\n') + line;
}

[[nodiscard]] inline QString pathRefused(const QString &path)
{
    return QStringLiteral("所选文件的路径含有双引号或换行，无法保存到曲目设置中：\n%1").arg(path);
}

// Files dropped on the settings dialog that it does not take, one line each.
[[nodiscard]] inline QString dropNotLocal(const QString &url)
{
    return QStringLiteral("只能放入本机上的文件：%1").arg(url);
}

[[nodiscard]] inline QString dropFolder(const QString &path)
{
    return QStringLiteral("“%1”是文件夹，不是音频文件。").arg(path);
}

[[nodiscard]] inline QString dropNotAudio(const QString &path)
{
    return QStringLiteral("“%1”不是能播放的音频文件，或者无法读取。").arg(path);
}

// count files of one drop found no row with an empty path below the one
// they were dropped on.
[[nodiscard]] inline QString dropLeftOver(int count)
{
    return QStringLiteral("下面没有空行了，%1 个文件没有放入。").arg(count);
}

// Tooltip of a bound track button whose file is missing or unreadable, as
// plain text whatever characters the path holds.
[[nodiscard]] inline QString missingFile(const QString &path)
{
    const QString plain = QStringLiteral("找不到文件：") + path;
    if (!Qt::mightBeRichText(plain)) {
        return plain;
    }
    return QStringLiteral("<p style='white-space:pre'>") + plain.toHtmlEscaped() +
           QStringLiteral("</p>");
}

// Filter of the file dialog behind "浏览": patterns[0] ("*.mp3") alone, then
// every pattern that plays, then all files; Qt's ";;" between entries.
[[nodiscard]] inline QString trackFileFilter(const QStringList &patterns)
{
    return patterns.value(0) +
           QStringLiteral(";;所有音频文件 (%1);;所有文件 (*)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace plovi::PlayerMessages
