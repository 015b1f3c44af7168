#pragma once

#include "platform/PowerControl.h"

// Switches the machine off through logind (org.freedesktop.login1 on the
// system bus), falling back to `systemctl poweroff`. When the environment
// variable VORN_POWEROFF_COMMAND is set, that command line is run with
// /bin/sh -c instead and its exit status decides success (for demonstration
// and test machines, which must never be switched off).
class LogindPowerControl : public PowerControl {
public:
    bool powerOff(QString* error = nullptr) override;

    // Runs a command line with /bin/sh -c; true when it exits with status 0.
    static bool runCommand(const QString& commandLine, QString* error);

private:
    static bool callLogind(QString* error);
};
