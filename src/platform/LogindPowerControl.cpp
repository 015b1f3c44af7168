#include "platform/LogindPowerControl.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QProcess>

namespace {
constexpr int kCommandTimeoutMs = 30000;

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

QString tr(const char* text) {
    return QCoreApplication::translate("LogindPowerControl", text);
}
} // namespace

bool LogindPowerControl::runCommand(const QString& commandLine, QString* error) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), commandLine});
    if (!process.waitForStarted()) {
        setError(error, tr("无法执行关机命令“%1”：%2").arg(commandLine, process.errorString()));
        return false;
    }
    if (!process.waitForFinished(kCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        setError(error, tr("关机命令“%1”没有结束。").arg(commandLine));
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        setError(error,
                 tr("关机命令“%1”失败（退出码 %2）。").arg(commandLine).arg(process.exitCode()));
        return false;
    }
    return true;
}

bool LogindPowerControl::callLogind(QString* error) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setError(error, tr("无法连接系统总线：%1").arg(bus.lastError().message()));
        return false;
    }
    QDBusInterface manager(QStringLiteral("org.freedesktop.login1"),
                           QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), bus);
    const QDBusMessage reply = manager.call(QStringLiteral("PowerOff"), false);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        setError(error, tr("logind 拒绝关机：%1").arg(reply.errorMessage()));
        return false;
    }
    return true;
}

bool LogindPowerControl::powerOff(QString* error) {
    const QByteArray command = qgetenv("VORN_POWEROFF_COMMAND");
    if (!command.isNull())
        return runCommand(QString::fromLocal8Bit(command), error);

    QString logindError;
    if (callLogind(&logindError))
        return true;
    QString fallbackError;
    if (runCommand(QStringLiteral("systemctl poweroff"), &fallbackError))
        return true;
    setError(error, logindError + QLatin1Char('\n') + fallbackError);
    return false;
}
