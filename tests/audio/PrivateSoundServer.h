#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

// A sound server of the test's own, as on a desktop: PulseAudio with a null
// sink, or PipeWire with WirePlumber and pipewire-pulse on a private session
// bus, each in a runtime folder of its own. Clients reach it through its
// PulseAudio socket, pulseServer(). It can be stopped and started again while
// its clients live; the session bus stays, as on a desktop.
class PrivateSoundServer
{
  public:
    enum class Kind { PulseAudio, PipeWire };

    explicit PrivateSoundServer(Kind kind) : m_kind(kind) {}
    ~PrivateSoundServer()
    {
        stop();
        if (m_busPid > 0)
            ::kill(m_busPid, SIGTERM);
    }
    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    // The programs this kind needs that are not installed, by name.
    [[nodiscard]] QStringList missingPrograms() const
    {
        QStringList missing;
        for (const QString &program : programs() + QStringList{QStringLiteral("pactl")})
            if (QStandardPaths::findExecutable(program).isEmpty())
                missing.append(program);
        return missing;
    }

    [[nodiscard]] QString pulseServer() const { return QStringLiteral("unix:") + socketPath(); }

    // Empty once the server answers with a null sink; else why not.
    [[nodiscard]] QString start()
    {
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        if (m_kind == Kind::PipeWire && m_busAddress.isEmpty()) {
            if (const QString error = startBus(); !error.isEmpty())
                return error;
        }
        if (m_kind == Kind::PulseAudio) {
            run(QStringLiteral("pulseaudio"),
                {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                 QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-level=error"),
                 QStringLiteral("--load=module-null-sink"),
                 QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=") +
                     socketPath()});
        } else {
            // In order, each once the one before takes connections: a
            // pipewire-pulse that is up before PipeWire's session is can
            // take a client's stream and never answer for it.
            run(QStringLiteral("pipewire"), {});
            waitFor(m_dir.filePath(QStringLiteral("pipewire-0")));
            run(QStringLiteral("wireplumber"), {});
            QThread::msleep(500);
            run(QStringLiteral("pipewire-pulse"), {});
        }
        // Ten seconds in all, however long each pactl waits.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && !pactl({QStringLiteral("info")})) {
            if (!allRunning())
                return QStringLiteral("the server ended at its start");
            QThread::msleep(50);
        }
        if (!pactl({QStringLiteral("info")}))
            return QStringLiteral("the server does not answer");
        if (m_kind == Kind::PipeWire &&
            !pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink")}))
            return QStringLiteral("no null sink");
        return {};
    }

    // Ends every process of the server, as a crash or an update would: the
    // last started first, so that no client meets pipewire-pulse still
    // taking connections for a PipeWire already gone (SDL's open then waits
    // for an answer that never comes).
    void stop()
    {
        for (auto process = m_processes.rbegin(); process != m_processes.rend(); ++process) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
        m_processes.clear();
    }

    // The standard output of pactl run against this server; nullopt when it
    // failed.
    [[nodiscard]] std::optional<QString> pactl(const QStringList &arguments) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.start(QStringLiteral("pactl"), arguments);
        if (!process.waitForFinished(3000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0)
            return std::nullopt;
        return QString::fromUtf8(process.readAllStandardOutput());
    }

  private:
    [[nodiscard]] QStringList programs() const
    {
        if (m_kind == Kind::PulseAudio)
            return {QStringLiteral("pulseaudio")};
        return {QStringLiteral("pipewire"), QStringLiteral("wireplumber"),
                QStringLiteral("pipewire-pulse"), QStringLiteral("dbus-daemon")};
    }

    [[nodiscard]] QString socketPath() const
    {
        return m_kind == Kind::PulseAudio ? m_dir.filePath(QStringLiteral("native"))
                                          : m_dir.filePath(QStringLiteral("pulse/native"));
    }

    [[nodiscard]] QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
            environment.insert(QString::fromLatin1(name), m_dir.path());
        environment.insert(QStringLiteral("PULSE_SERVER"), pulseServer());
        if (!m_busAddress.isEmpty())
            environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_busAddress);
        else
            environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        return environment;
    }

    [[nodiscard]] QString startBus()
    {
        QProcess bus;
        bus.setProcessEnvironment(environment());
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--fork"),
                   QStringLiteral("--print-address=1"), QStringLiteral("--print-pid=1")});
        if (!bus.waitForFinished(5000) || bus.exitCode() != 0)
            return QStringLiteral("no session bus");
        const QStringList lines =
            QString::fromUtf8(bus.readAllStandardOutput()).split(QLatin1Char('\n'));
        if (lines.size() < 2)
            return QStringLiteral("no session bus address");
        m_busAddress = lines[0].trimmed();
        m_busPid = static_cast<pid_t>(lines[1].trimmed().toInt());
        return {};
    }

    void run(const QString &program, const QStringList &arguments)
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment());
        // Their chatter (WirePlumber's missing cameras, ...) is not the test's.
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(m_dir.filePath(program + QStringLiteral(".log")),
                                      QIODevice::Append);
        process->start(program, arguments);
        process->waitForStarted(5000);
        m_processes.push_back(std::move(process));
    }

    static void waitFor(const QString &path)
    {
        QElapsedTimer waited;
        waited.start();
        while (!QFileInfo::exists(path) && waited.elapsed() < 5000)
            QThread::msleep(20);
    }

    [[nodiscard]] bool allRunning() const
    {
        for (const std::unique_ptr<QProcess> &process : m_processes)
            if (process->state() != QProcess::Running)
                return false;
        return true;
    }

    Kind m_kind;
    QTemporaryDir m_dir;
    QString m_busAddress;
    pid_t m_busPid = 0;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
