#include "editing/TimetableNames.h"

#include "base/MessageService.h"
#include "data/DayCalendar.h"
#include "data/datamodule.h"
#include "editing/WeekdayAssignment.h"

#include <QSqlDatabase>

TimetableNames::TimetableNames(TDataModule1& dm, QObject* parent) : QObject(parent), m_dm(dm) {}

bool TimetableNames::exists(const QString& name) {
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("select name from sjbmc where name=?"));
    q.open({name});
    return !q.isEmpty();
}

QString TimetableNames::problemWith(const QString& name) {
    const QString n = name.trimmed();
    if (n.isEmpty())
        return tr("时间表名称不能为空。");
    if (n == DayCalendar::nothing)
        return tr("“无”表示不播音，不能用作时间表名称。");
    try {
        if (exists(n))
            return tr("已有名为“%1”的时间表。").arg(n);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

bool TimetableNames::inTransaction(const QList<QPair<QString, QVariantList>>& statements) {
    QSqlDatabase db = QSqlDatabase::database(m_dm.connectionName(), false);
    if (!db.transaction())
        return false;
    TQuery q(m_dm.connectionName());
    try {
        for (const auto& [sql, values] : statements) {
            q.setSql(sql);
            q.execSql(values);
        }
    } catch (const DbError&) {
        db.rollback();
        return false;
    }
    return db.commit();
}

bool TimetableNames::create(const QString& name) {
    const QString problem = problemWith(name);
    if (!problem.isEmpty()) {
        msg::error(problem);
        return false;
    }
    if (!inTransaction({{QStringLiteral("insert into sjbmc(name) values(?)"), {name.trimmed()}}})) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    emit changed();
    return true;
}

bool TimetableNames::rename(const QString& from, const QString& to) {
    const QString problem = problemWith(to);
    if (!problem.isEmpty()) {
        msg::error(problem);
        return false;
    }
    const QString n = to.trimmed();
    // The weekdays that show this timetable follow it, by the weekday
    // window's own rule (letter case does not count there).
    QStringList weekdays;
    try {
        weekdays = WeekdayAssignment(m_dm).daysShowing(from);
    } catch (const std::exception& e) {
        msg::report(e);
        return false;
    }
    QList<QPair<QString, QVariantList>> statements{
        {QStringLiteral("update sjbmc set name=? where name=?"), {n, from}},
        {QStringLiteral("update sjb set 时间表名称=? where 时间表名称=?"), {n, from}},
        {QStringLiteral("update day_exception set timetable=? where timetable=?"), {n, from}},
    };
    for (const QString& day : weekdays)
        statements << qMakePair(QStringLiteral("update system1 set value1=? where name1=?"),
                                QVariantList{n, day});
    if (!inTransaction(statements)) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    emit changed();
    return true;
}

bool TimetableNames::copy(const QString& source, const QString& name) {
    const QString problem = problemWith(name);
    if (!problem.isEmpty()) {
        msg::error(problem);
        return false;
    }
    const QString n = name.trimmed();
    if (!inTransaction(
            {{QStringLiteral("insert into sjbmc(name) values(?)"), {n}},
             {QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,播放方式,"
                             "时间表名称) select 名称,开始时间,结束时间,歌曲列表或歌曲,时长,"
                             "播放方式,? from sjb where 时间表名称=? order by 开始时间, ID"),
              {n, source}}})) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    emit changed();
    return true;
}

QStringList TimetableNames::usage(const QString& name) {
    QStringList places = WeekdayAssignment(m_dm).daysShowing(name);
    try {
        for (const DayException& e : DayCalendar(m_dm).all()) {
            if (e.timetable != name)
                continue;
            const QString first = e.first.toString(QStringLiteral("yyyy-MM-dd"));
            places << (e.first == e.last
                           ? tr("例外日期 %1").arg(first)
                           : tr("例外日期 %1 至 %2")
                                 .arg(first, e.last.toString(QStringLiteral("yyyy-MM-dd"))));
        }
    } catch (const DbError&) {
        // A database without the calendar: only the weekdays can use it.
    }
    return places;
}

bool TimetableNames::remove(const QString& name) {
    QStringList places;
    QStringList weekdays;
    int entries = 0;
    try {
        places = usage(name);
        weekdays = WeekdayAssignment(m_dm).daysShowing(name);
        TQuery q(m_dm.connectionName());
        q.setSql(QStringLiteral("select count(*) from sjb where 时间表名称=?"));
        q.open({name});
        entries = q.value(0).toInt();
    } catch (const std::exception& e) {
        msg::report(e);
        return false;
    }
    QString question = tr("确定要删除时间表“%1”及其 %2 条内容吗?").arg(name).arg(entries);
    if (!places.isEmpty())
        question += QLatin1Char('\n') + tr("它正在被使用：%1。删除后这些日子将不播音（“无”）。")
                                            .arg(places.join(QStringLiteral("、")));
    if (!msg::confirm(question))
        return false;
    QList<QPair<QString, QVariantList>> statements{
        {QStringLiteral("delete from sjb where 时间表名称=?"), {name}},
        {QStringLiteral("delete from sjbmc where name=?"), {name}},
        {QStringLiteral("update day_exception set timetable=? where timetable=?"),
         {DayCalendar::nothing, name}},
    };
    for (const QString& day : weekdays)
        statements << qMakePair(QStringLiteral("update system1 set value1=? where name1=?"),
                                QVariantList{DayCalendar::nothing, day});
    if (!inTransaction(statements)) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    emit changed();
    return true;
}
