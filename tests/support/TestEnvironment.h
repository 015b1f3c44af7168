#pragma once

#include <QString>

// Every test program starts inside a sandbox of its own: whatever the
// operator's environment says, nothing a test runs (the program started as
// a process included) can reach the real database, home folder, desktop
// settings, session, sound output or power switch.
//
// Called first thing in main(), before Qt reads the environment. Sets HOME
// and the XDG folders to fresh folders below one temporary folder, removed
// when the program ends; forgets VORN_HOME and VORN_MESSAGES; sends sound to
// a silent sink and power-off to `false`; points D-Bus at buses that do not
// exist; gives the single-instance lock a key of this process.
namespace TestEnvironment {
void isolate();
// The temporary folder holding the sandbox's home (empty before isolate()).
QString root();
} // namespace TestEnvironment
