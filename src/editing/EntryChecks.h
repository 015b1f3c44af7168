#pragma once

#include <QList>
#include <QString>

// Rules about the times and files of timetable entries that the entry dialogs
// warn about and the pre-air check reports.
namespace EntryChecks {
// Seconds since midnight of a "hh:mm:ss" text; -1 when it is not a time of day.
int secondsOf(const QString& time);

// True when end lies before start and the stored length does not say the
// entry runs past midnight by intent (the length of 23:00:00 to 01:00:00 is 2:00:00).
bool endBeforeStart(const QString& start, const QString& end, const QString& duration = {});

// The stretch of a day an entry plays: [from, to) in seconds, to > from; an
// entry that runs past midnight by intent reaches past 86400. An entry that
// ends where it starts covers its one second.
struct Span {
    int from = 0;
    int to = 0;
};
// Nothing when a time is not valid.
bool spanOf(const QString& start, const QString& end, const QString& duration, Span* span);
// True when two spans share a second (on the same day or across midnight).
bool overlap(const Span& a, const Span& b);
// True when the time of day falls while the span plays.
bool covers(const Span& span, int second);

// The four play modes.
const QList<QString>& playModes();

// True when the path names an existing regular file (a stat, nothing opened).
bool fileExists(const QString& path);
} // namespace EntryChecks
