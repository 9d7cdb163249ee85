#pragma once

#include <QString>

// Every message text the player shows.
namespace playermessages {

[[nodiscard]] inline QString saveFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("无法保存曲目设置文件“%1”：\n%2\n\n设置没有保存，可以修改后再试。")
        .arg(path, reason);
}

[[nodiscard]] inline QString readFailed(const QString &path, const QString &reason)
{
    return QStringLiteral("无法读取曲目设置文件“%1”：\n%2").arg(path, reason);
}

// reason comes from the launcher and already names the program.
[[nodiscard]] inline QString launchFailed(const QString &reason)
{
    return reason;
}

[[nodiscard]] inline QString pathRefused(const QString &path)
{
    return QStringLiteral("所选文件的路径含有双引号或换行，无法保存到曲目设置中：\n%1").arg(path);
}

} // namespace playermessages
