#pragma once

#include "data/DayCalendar.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class TDataModule1;

// The check before a day goes on the air: what would fail or clash, found
// while there is still time to mend it.
namespace PreAirCheck {

// One thing found, with the entry and the file it concerns.
struct Finding {
    QString entry; // the entry's name, if the finding concerns one
    QString start; // its start time
    QString path;  // the file concerned
    QString text;  // what is wrong, in the operator's words

    // One line: "08:00:00 早操：歌曲文件不存在 (/music/a.mp3)".
    QString line() const;
};

struct Entry {
    qlonglong id = 0;
    QString name, start, end, path, duration, mode;
};

// What the check looks at, read from the database on the caller's thread.
struct Input {
    QDate date;
    DayPlan plan;
    bool timetableKnown = false; // the plan names a timetable of sjbmc
    QList<Entry> entries;        // by start time
    QStringList shutdownTimes;   // the switched-on shutdown times
};

// Reads the day's plan, entries and shutdown times. Throws DbError.
Input gather(TDataModule1& dm, const QDate& date);
// Looks at the files and times. Touches no database and no Qt object, so it
// may run on a worker thread; the files are only looked at (a stat each, and
// song lists that are regular files read).
QList<Finding> examine(const Input& input);
// Both, on this thread (the command line).
QList<Finding> run(TDataModule1& dm, const QDate& date);

// "2026-12-07 星期一 时间表：正常作息" and the like.
QString dayHeading(const Input& input);
} // namespace PreAirCheck
