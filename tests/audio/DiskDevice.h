#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>

// SDL's "disk" driver for a test: every byte an output device takes is
// written to a file in a folder of its own, and read back with output().
class DiskDevice
{
  public:
    // Points SDL's audio at the file; call before SDL's audio starts.
    [[nodiscard]] bool start()
    {
        if (!m_dir.isValid())
            return false;
        m_path = m_dir.filePath(QStringLiteral("device.raw"));
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(m_path));
        return true;
    }

    [[nodiscard]] QString path() const { return m_path; }

    // Everything the devices have taken so far.
    [[nodiscard]] QByteArray output() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    [[nodiscard]] static bool allSilent(const QByteArray &bytes)
    {
        return std::all_of(bytes.begin(), bytes.end(), [](char byte) { return byte == 0; });
    }

  private:
    QTemporaryDir m_dir;
    QString m_path;
};
