#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

// A PulseAudio server of the test's own, with one null output ("vornnull")
// and its socket in a temporary folder; killed and started again at will.
// Nothing of the machine's own sound server is touched.
class PrivatePulse {
public:
    PrivatePulse() = default;
    ~PrivatePulse() { stop(); }

    static bool available() {
        return !QStandardPaths::findExecutable(QStringLiteral("pulseaudio")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
    }

    // Starts the server and waits until it answers. A server that ends
    // before it answers (seen on a loaded machine) is started again; when
    // none comes up, its log goes to the test's output.
    bool start() {
        for (int attempt = 0; attempt < 3; ++attempt)
            if (startOnce())
                return true;
        QFile log(m_dir.filePath(QStringLiteral("pulse.log")));
        if (log.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "private PulseAudio did not start:\n%s\n",
                         log.readAll().constData());
        return false;
    }

    bool startOnce() {
        if (!m_dir.isValid())
            return false;
        stop();
        QDir(m_dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(socket());
        m_process.setProcessEnvironment(environment());
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(m_dir.filePath(QStringLiteral("pulse.log")),
                                        QIODevice::Append);
        m_process.start(QStringLiteral("pulseaudio"),
                        {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                         QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                         QStringLiteral("--disallow-module-loading=no"),
                         QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 "
                                        "socket=") +
                             socket(),
                         QStringLiteral("--load=module-null-sink sink_name=vornnull "
                                        "rate=44100 channels=2")});
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 400; ++i) {
            if (pactl({QStringLiteral("info")}))
                return true;
            if (m_process.state() != QProcess::Running)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    // Ends the server at once, as a crash would.
    void kill() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    void stop() { kill(); }

    // The server's address for pulsesink's "server" property or PULSE_SERVER.
    QString server() const { return QStringLiteral("unix:") + socket(); }
    QString socket() const { return m_dir.filePath(QStringLiteral("runtime/native")); }

    // Runs pactl against this server; true when it succeeds.
    bool pactl(const QStringList& args, QString* output = nullptr) const {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.start(QStringLiteral("pactl"), args);
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished();
            return false;
        }
        if (output)
            *output = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    // Streams now playing to the server.
    int streams() const {
        QString out;
        if (!pactl({QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")},
                   &out))
            return -1;
        return int(out.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
    }

    // Streams playing to the server now (not held paused).
    int playing() const {
        QString out;
        if (!pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")}, &out))
            return -1;
        return int(out.count(QStringLiteral("Corked: no")));
    }

private:
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("runtime")));
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("PULSE_SERVER"), server());
        env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        return env;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
};
