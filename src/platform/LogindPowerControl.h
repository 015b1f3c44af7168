#pragma once

#include "platform/PowerControl.h"

#include <QObject>
#include <QTimer>

class QProcess;

// Switches the machine off through logind (org.freedesktop.login1 on the
// system bus), falling back to `systemctl poweroff`. A command line given
// to the constructor, or else the environment variable
// VORN_POWEROFF_COMMAND, replaces both: it is run with /bin/sh -c and its
// exit status decides success (for demonstration and test machines, which
// must never be switched off). Nothing here waits: the bus call and the
// command report through the event loop.
class LogindPowerControl : public PowerControl {
public:
    static constexpr int defaultCommandTimeoutMs = 30000;
    static constexpr int busTimeoutMs = 25000;

    explicit LogindPowerControl(QString commandLine = {},
                                int commandTimeoutMs = defaultCommandTimeoutMs);

    void powerOff(Result done) override;

private:
    void callLogind(Result done);

    QString m_commandLine;
    int m_commandTimeoutMs;
};

// Runs one command line with /bin/sh -c without waiting for it. The outcome
// comes from the event loop: success on exit status 0, else a readable text;
// a command still running after its time limit is killed and reported as
// failed. The run deletes itself once the process is gone.
class ShellCommandRun : public QObject {
    Q_OBJECT
public:
    static ShellCommandRun* start(const QString& commandLine, int timeoutMs,
                                  PowerControl::Result done);

private:
    ShellCommandRun(const QString& commandLine, int timeoutMs, PowerControl::Result done);
    void report(bool ok, const QString& error);

    QString m_commandLine;
    PowerControl::Result m_done;
    QProcess* m_process;
    QTimer m_limit;
    bool m_reported = false;
};
