#pragma once

#include <QString>
#include <QStringList>

namespace DatabaseFile {
// The default database beside the program.
inline constexpr const char* defaultName = "gsk.db";

// Where the store is: gsk.db in the program's folder, unless a dbpath.ini
// there names another file under [db] path. A dbpath.ini without that key
// gives the empty path (which then fails to open). A relative path in it is
// taken relative to the program's folder.
QString locate(const QString& programDir);

// The timetable names a new database starts with.
QStringList defaultTimetableNames();

// Creates a new database with the three tables, the timetable names and every
// settings row. Never overwrites: an existing file is an error.
bool create(const QString& path, QString* error = nullptr);
} // namespace DatabaseFile
