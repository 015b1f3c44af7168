#include "data/DatabaseFile.h"

#include "data/ExtraTables.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace DatabaseFile {

QString locate(const QString& programDir) {
    const QDir dir(programDir);
    const QString ini = dir.filePath(QStringLiteral("dbpath.ini"));
    if (!QFileInfo::exists(ini))
        return dir.filePath(QLatin1String(defaultName));
    QSettings settings(ini, QSettings::IniFormat);
    const QString path = settings.value(QStringLiteral("db/path")).toString().trimmed();
    if (path.isEmpty())
        return {};
    QString native = path;
    native.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QFileInfo(native).isAbsolute() ? native : dir.filePath(native);
}

QStringList defaultTimetableNames() {
    return {QStringLiteral("正常作息"), QStringLiteral("夏季作息"), QStringLiteral("冬季作息"),
            QStringLiteral("周末"), QStringLiteral("考试")};
}

bool create(const QString& path, QString* error) {
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("no path given"));
    if (QFileInfo::exists(path))
        return fail(QStringLiteral("%1 already exists; it is left as it is").arg(path));

    const QString name = QStringLiteral("vorn-init-") + QUuid::createUuid().toString();
    bool ok = true;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            ok = false;
            why = db.lastError().text();
        } else {
            QSqlQuery q(db);
            auto run = [&](const QString& sql, const QVariantList& values = {}) {
                if (!ok)
                    return;
                q.prepare(sql);
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i]);
                if (!q.exec()) {
                    ok = false;
                    why = q.lastError().text();
                }
            };
            db.transaction();
            run(QStringLiteral("create table sjb (ID integer primary key autoincrement, "
                               "名称 text, 开始时间 text, 结束时间 text, 歌曲列表或歌曲 text, "
                               "时长 text, 播放方式 text, 时间表名称 text)"));
            run(QStringLiteral("create index sjb_day on sjb(时间表名称, 开始时间)"));
            run(QStringLiteral("create table sjbmc (name text)"));
            run(QStringLiteral("create table system1 (name1 text primary key, value1 text)"));
            if (ok && !ExtraTables::ensure(db, &why))
                ok = false;
            for (const QString& t : defaultTimetableNames())
                run(QStringLiteral("insert into sjbmc(name) values(?)"), {t});
            const QList<QPair<QString, QString>> settings = {
                {QStringLiteral("开机自启动"), QStringLiteral("0")},
                {QStringLiteral("定时关机1"), QStringLiteral("0")},
                {QStringLiteral("定时关机2"), QStringLiteral("0")},
                {QStringLiteral("定时关机3"), QStringLiteral("0")},
                {QStringLiteral("关机时间1"), QStringLiteral("12:00:00")},
                {QStringLiteral("关机时间2"), QStringLiteral("18:00:00")},
                {QStringLiteral("关机时间3"), QStringLiteral("22:00:00")},
                {QStringLiteral("关机提示"), QStringLiteral("1")},
                {QStringLiteral("自动设置音量"), QStringLiteral("0")},
                {QStringLiteral("软件标题"), QStringLiteral("广播站播音系统")},
                {QStringLiteral("密码"), QString()},
                {QStringLiteral("星期一"), QStringLiteral("无")},
                {QStringLiteral("星期二"), QStringLiteral("无")},
                {QStringLiteral("星期三"), QStringLiteral("无")},
                {QStringLiteral("星期四"), QStringLiteral("无")},
                {QStringLiteral("星期五"), QStringLiteral("无")},
                {QStringLiteral("星期六"), QStringLiteral("无")},
                {QStringLiteral("星期日"), QStringLiteral("无")},
                {QStringLiteral("常用乐曲路径"), QString()},
            };
            for (const auto& [key, value] : settings)
                run(QStringLiteral("insert into system1(name1, value1) values(?, ?)"),
                    {key, value.isNull() ? QStringLiteral("") : value});
            if (ok)
                ok = db.commit();
            else
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok) {
        QFile::remove(path);
        return fail(why);
    }
    return true;
}

} // namespace DatabaseFile
