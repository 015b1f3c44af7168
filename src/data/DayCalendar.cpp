#include "data/DayCalendar.h"

#include "data/datamodule.h"

namespace {
const QString dayFormat = QStringLiteral("yyyy-MM-dd");

DayException fromRow(const TQuery& q) {
    DayException e;
    e.id = q.value(QStringLiteral("id")).toLongLong();
    e.first = QDate::fromString(q.text(QStringLiteral("first_day")), dayFormat);
    e.last = QDate::fromString(q.text(QStringLiteral("last_day")), dayFormat);
    e.timetable = q.text(QStringLiteral("timetable"));
    e.note = q.text(QStringLiteral("note"));
    return e;
}
} // namespace

QString DayCalendar::weekdayName(const QDate& date) {
    static const char* const names[] = {"星期日", "星期一", "星期二", "星期三",
                                        "星期四", "星期五", "星期六"};
    return QString::fromUtf8(names[date.dayOfWeek() % 7]); // Qt: Monday 1 … Sunday 7
}

QList<DayException> DayCalendar::all() {
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("select * from day_exception order by first_day, id"));
    q.open();
    QList<DayException> list;
    for (q.first(); !q.eof(); q.next())
        list << fromRow(q);
    return list;
}

std::optional<DayException> DayCalendar::forDate(const QDate& date) {
    const QString day = date.toString(dayFormat);
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("select * from day_exception where first_day <= ? and last_day >= ? "
                            "order by id desc"));
    q.open({day, day});
    if (q.isEmpty())
        return std::nullopt;
    q.first();
    return fromRow(q);
}

DayPlan DayCalendar::planFor(const QDate& date) {
    DayPlan plan;
    plan.weekday = weekdayName(date);
    std::optional<DayException> e;
    try {
        e = forDate(date);
    } catch (const DbError&) {
        e.reset(); // a database without the calendar plays the weekdays
    }
    if (e) {
        plan.exception = true;
        plan.timetable = e->timetable;
        plan.note = e->note;
    } else {
        plan.timetable = m_dm.ReadSetting(plan.weekday);
    }
    return plan;
}

bool DayCalendar::add(DayException& e) {
    TQuery q(m_dm.connectionName());
    try {
        q.setSql(QStringLiteral("insert into day_exception(first_day, last_day, timetable, note) "
                                "values(?, ?, ?, ?)"));
        q.execSql({e.first.toString(dayFormat), e.last.toString(dayFormat), e.timetable, e.note});
        q.setSql(QStringLiteral("select max(id) from day_exception"));
        q.open();
        e.id = q.value(0).toLongLong();
        return true;
    } catch (const DbError&) {
        return false;
    }
}

bool DayCalendar::update(const DayException& e) {
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("update day_exception set first_day=?, last_day=?, timetable=?, "
                            "note=? where id=?"));
    try {
        q.execSql(
            {e.first.toString(dayFormat), e.last.toString(dayFormat), e.timetable, e.note, e.id});
        return true;
    } catch (const DbError&) {
        return false;
    }
}

bool DayCalendar::remove(qlonglong id) {
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("delete from day_exception where id=?"));
    try {
        q.execSql({id});
        return true;
    } catch (const DbError&) {
        return false;
    }
}
