#include "data/ExtraTables.h"

#include "data/datamodule.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace ExtraTables {

bool ensure(const QSqlDatabase& db, QString* error) {
    static const char* const statements[] = {
        "create table if not exists asrun_log (id integer primary key autoincrement, "
        "at text not null, kind text not null, timetable text, start_time text, entry text, "
        "path text, detail text)",
        "create index if not exists asrun_log_at on asrun_log(at)",
        "create table if not exists day_exception (id integer primary key autoincrement, "
        "first_day text not null, last_day text not null, timetable text not null, note text)",
        "create table if not exists vorn_setting (name text primary key, value text)",
    };
    QSqlQuery q(db);
    for (const char* sql : statements) {
        if (!q.exec(QString::fromLatin1(sql))) {
            if (error)
                *error = q.lastError().text();
            return false;
        }
    }
    return true;
}

QString setting(TDataModule1& dm, const QString& name, const QString& fallback) {
    TQuery q(dm.connectionName());
    q.setSql(QStringLiteral("select value from vorn_setting where name=?"));
    try {
        q.open({name});
    } catch (const DbError&) {
        return fallback;
    }
    if (q.isEmpty())
        return fallback;
    return q.text(QStringLiteral("value"));
}

bool setSetting(TDataModule1& dm, const QString& name, const QString& value) {
    TQuery q(dm.connectionName());
    q.setSql(QStringLiteral("insert or replace into vorn_setting(name, value) values(?, ?)"));
    try {
        q.execSql({name, value});
        return true;
    } catch (const DbError&) {
        return false;
    }
}

int logKeepDays(TDataModule1& dm) {
    bool ok = false;
    const int days =
        setting(dm, QStringLiteral("日志保留天数"), QString::number(defaultLogDays)).toInt(&ok);
    return ok && days > 0 ? days : defaultLogDays;
}
} // namespace ExtraTables
