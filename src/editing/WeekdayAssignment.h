#pragma once

#include <QString>
#include <QStringList>

class TDataModule1;

// Which timetable plays on which weekday: seven settings rows named after the
// days, holding a timetable name, "无" or the empty text.
class WeekdayAssignment {
public:
    explicit WeekdayAssignment(TDataModule1& dm) : m_dm(dm) {}

    // "星期一" … "星期日", in the order the window lists them.
    static const QStringList& days();

    // The timetable names in result order (blank ones skipped), then "无".
    // Throws DbError when the names cannot be read.
    QStringList options();
    // The stored value of one day (empty when it has no row). Throws DbError.
    QString read(const QString& day);
    // The first option equal to the stored value, letters compared without
    // regard to case; -1 when none is.
    static int match(const QStringList& options, const QString& stored);
    // The days that the window shows with this timetable chosen: their
    // stored value matches it (as match() finds it) and no option before it.
    // Throws DbError.
    QStringList daysShowing(const QString& timetable);
    // Writes every day in order; a failed write shows "数据库写入出错!" for
    // that day and the next day is written all the same. values[i] belongs to
    // days()[i]. Returns the number of failed writes.
    int saveAll(const QStringList& values);

private:
    TDataModule1& m_dm;
};
