#pragma once

#include <QString>
#include <QStringList>

namespace DatabaseFile {
// The default database beside the program.
inline constexpr const char* defaultName = "gsk.db";

// Where the store is: gsk.db in the program's folder, unless a dbpath.ini
// there names another file under [db] path. A dbpath.ini without that key
// gives the empty path (which then fails to open). A relative path in it is
// taken relative to the program's folder; a backslash counts as '/'.
QString locate(const QString& programDir);

// The first of the folders that holds a dbpath.ini or a gsk.db decides,
// dbpath.ini first, read as locate() reads it. False when none has either.
bool findInFolders(const QStringList& folders, QString* path);

// The database this desk opens. With VORN_HOME (or a folder set by a test), or
// run from a build tree: locate() in that folder, as always. Installed from
// the package: the first of the program's folder, the machine's folder
// (/etc/vorn) and the user's data folder ($XDG_DATA_HOME/vorn) that holds a
// dbpath.ini or a gsk.db; when none does, a fresh gsk.db is made in the user's
// data folder (the user's first start). Empty when that fails, with the
// reason in *problem.
//
// Tools that only read (vorn --check, --export-log) look alike but make
// nothing: where no folder has a database they get the path the user's
// database would have, which then fails to open.
enum class Missing { MakeUsersOwn, MakeNothing };
QString storePath(QString* problem = nullptr, Missing missing = Missing::MakeUsersOwn);
// The same for a program in programDir, without VORN_HOME.
QString storePathFor(const QString& programDir, QString* problem = nullptr,
                     Missing missing = Missing::MakeUsersOwn);

// The value of "path" in section "db" of a dbpath.ini: names in any letter
// case, the value whole to the end of its line (commas, semicolons and all)
// without the blanks around it or one pair of enclosing double quotes. The
// bytes are UTF-8, or GBK when they are not valid UTF-8. Null when the
// section or the key is missing.
QString pathFromIni(const QByteArray& bytes);

// The timetable names a new database starts with.
QStringList defaultTimetableNames();

// Creates a new database with the three tables, the timetable names and every
// settings row. Never overwrites: an existing file is an error. On failure the
// error says why in the operator's words (no such folder, no permission, disk
// full) and nothing this call made is left behind.
bool create(const QString& path, QString* error = nullptr);
} // namespace DatabaseFile
