#include "platform/LogindPowerControl.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QProcess>
#include <csignal>
#include <unistd.h>

namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("LogindPowerControl", text);
}
} // namespace

ShellCommandRun* ShellCommandRun::start(const QString& commandLine, int timeoutMs,
                                        PowerControl::Result done) {
    return new ShellCommandRun(commandLine, timeoutMs, std::move(done));
}

ShellCommandRun::ShellCommandRun(const QString& commandLine, int timeoutMs,
                                 PowerControl::Result done)
    // Owned by the application, so that a run still going at exit is ended.
    : QObject(QCoreApplication::instance()), m_commandLine(commandLine), m_done(std::move(done)),
      m_process(new QProcess(this)) {
    m_process->setProcessChannelMode(QProcess::ForwardedChannels);
    // A group of its own, so that a command past its limit goes with every
    // program it started.
    m_process->setChildProcessModifier([] { ::setpgid(0, 0); });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash is reported by finished()
        report(false, tr("无法执行关机命令“%1”：%2").arg(m_commandLine, m_process->errorString()));
        deleteLater();
    });
    connect(m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        if (status == QProcess::NormalExit && code == 0)
            report(true, QString());
        else
            report(false, tr("关机命令“%1”失败（退出码 %2）。").arg(m_commandLine).arg(code));
        deleteLater();
    });
    m_limit.setSingleShot(true);
    m_limit.setInterval(timeoutMs);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        report(false, tr("关机命令“%1”没有结束。").arg(m_commandLine));
        if (const qint64 group = m_process->processId(); group > 0)
            ::kill(pid_t(-group), SIGKILL);
        m_process->kill(); // finished() follows and ends the run
    });
    m_limit.start();
    m_process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
}

void ShellCommandRun::report(bool ok, const QString& error) {
    m_limit.stop();
    if (m_reported)
        return;
    m_reported = true;
    if (m_done)
        m_done(ok, error);
}

LogindPowerControl::LogindPowerControl(QString commandLine, int commandTimeoutMs)
    : m_commandLine(std::move(commandLine)), m_commandTimeoutMs(commandTimeoutMs) {}

void LogindPowerControl::powerOff(Result done) {
    // The variable counts even when set to nothing: such a machine must stay on.
    const QByteArray fromEnvironment = qgetenv("VORN_POWEROFF_COMMAND");
    if (!m_commandLine.isEmpty() || !fromEnvironment.isNull()) {
        const QString command =
            !m_commandLine.isEmpty() ? m_commandLine : QString::fromLocal8Bit(fromEnvironment);
        ShellCommandRun::start(command, m_commandTimeoutMs, std::move(done));
        return;
    }
    const int timeoutMs = m_commandTimeoutMs;
    callLogind([timeoutMs, done = std::move(done)](bool ok, const QString& logindError) {
        if (ok) {
            if (done)
                done(true, QString());
            return;
        }
        ShellCommandRun::start(QStringLiteral("systemctl poweroff"), timeoutMs,
                               [logindError, done](bool ok, const QString& fallbackError) {
                                   if (!done)
                                       return;
                                   if (ok)
                                       done(true, QString());
                                   else
                                       done(false, logindError + QLatin1Char('\n') + fallbackError);
                               });
    });
}

void LogindPowerControl::callLogind(Result done) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        done(false, tr("无法连接系统总线：%1").arg(bus.lastError().message()));
        return;
    }
    // No QDBusInterface: building one asks the service about itself and waits.
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PowerOff"));
    call << false; // not interactive
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, busTimeoutMs),
                                                QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [done = std::move(done)](QDBusPendingCallWatcher* pending) {
                         const QDBusPendingReply<> reply = *pending;
                         pending->deleteLater();
                         if (reply.isError())
                             done(false, tr("logind 拒绝关机：%1").arg(reply.error().message()));
                         else
                             done(true, QString());
                     });
}
