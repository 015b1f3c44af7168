#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <optional>

class TDataModule1;

// A date or a range of dates that plays another timetable than its weekday,
// or nothing ("无"): holidays, exam days, a sports day.
struct DayException {
    qlonglong id = 0;
    QDate first;
    QDate last;
    QString timetable; // a timetable name, or "无" for a day without broadcasts
    QString note;
};

// What a date plays: the timetable of its exception, else its weekday's.
struct DayPlan {
    QString weekday;   // "星期一" …
    QString timetable; // "无", empty, or a timetable name
    bool exception = false;
    QString note; // the exception's note
};

// The calendar of exceptions (table day_exception). When ranges overlap, the
// one entered last wins.
class DayCalendar {
public:
    static inline const QString nothing = QStringLiteral("无");

    explicit DayCalendar(TDataModule1& dm) : m_dm(dm) {}

    // Every exception, by first day. Throws DbError.
    QList<DayException> all();
    // The exception that covers date, if any. Throws DbError.
    std::optional<DayException> forDate(const QDate& date);
    // The plan of a date: its exception, else the setting of its weekday.
    // Throws DbError when the settings cannot be read; an unreadable calendar
    // counts as no exception.
    DayPlan planFor(const QDate& date);

    // False when the database refused. add() sets e.id.
    bool add(DayException& e);
    bool update(const DayException& e);
    bool remove(qlonglong id);

    static QString weekdayName(const QDate& date);

private:
    TDataModule1& m_dm;
};
