#pragma once

#include <QString>

// Where an installed program finds its files. Installed from the package,
// the program is <prefix>/bin/vorn with its help and pictures in
// <prefix>/share/vorn and the machine's settings in /etc/vorn; the program's
// folder is not writable, so each user's database lives in the user's data
// folder. Run from a build tree or an unpacked folder there is no such
// layout and everything stays beside the program.
//
// The folders are found relative to the program, so a package unpacked into
// another root (dpkg -x ROOT) finds ROOT/usr/share/vorn and ROOT/etc/vorn.
namespace InstallPaths {
// <programDir>/../share/vorn when that folder exists, else empty (not installed).
QString dataDir(const QString& programDir);
// The machine's settings folder, <programDir>/../../etc/vorn for a program in
// /usr/bin; empty when not installed.
QString configDir(const QString& programDir);
// $XDG_DATA_HOME/vorn, or ~/.local/share/vorn when XDG_DATA_HOME is unset or
// not absolute.
QString userDataDir();
} // namespace InstallPaths
