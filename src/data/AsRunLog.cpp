#include "data/AsRunLog.h"

#include "data/datamodule.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QTimer>

namespace LogKind {
const QStringList& all() {
    static const QStringList kinds{start, song, end, stop, pick, failure, missed, shutdown};
    return kinds;
}

QString label(const QString& kind) {
    static const char* const labels[] = {"开始",     "换曲", "结束", "手动停止",
                                         "手动点播", "失败", "错过", "关机"};
    const qsizetype i = all().indexOf(kind);
    if (i < 0)
        return kind;
    return QCoreApplication::translate("LogKind", labels[i]);
}
} // namespace LogKind

namespace {
const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
const QString dayFormat = QStringLiteral("yyyy-MM-dd");

QByteArray csvField(const QString& text) {
    QString t = text;
    const bool quote = t.contains(QLatin1Char(',')) || t.contains(QLatin1Char('"')) ||
                       t.contains(QLatin1Char('\n')) || t.contains(QLatin1Char('\r'));
    if (!quote)
        return t.toUtf8();
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return '"' + t.toUtf8() + '"';
}
} // namespace

AsRunLog::AsRunLog(TDataModule1& dm, QObject* parent)
    : QObject(parent), m_dm(dm), m_flushTimer(new QTimer(this)) {
    m_flushTimer->setSingleShot(true);
    connect(m_flushTimer, &QTimer::timeout, this, [this] { flush(); });
}

AsRunLog::~AsRunLog() {
    flush();
}

QString AsRunLog::timeText(const QDateTime& at) {
    return at.toString(timeFormat);
}

void AsRunLog::append(const LogRow& row) {
    m_pending << row;
    if (!m_flushTimer->isActive())
        m_flushTimer->start(0);
    emit appended(row);
}

bool AsRunLog::flush() {
    if (m_pending.isEmpty())
        return true;
    QSqlDatabase db = QSqlDatabase::database(m_dm.connectionName(), false);
    bool ok = db.isOpen() && db.transaction();
    if (ok) {
        TQuery q(m_dm.connectionName());
        q.setSql(QStringLiteral("insert into asrun_log(at, kind, timetable, start_time, entry, "
                                "path, detail) values(?, ?, ?, ?, ?, ?, ?)"));
        try {
            for (const LogRow& r : std::as_const(m_pending))
                q.execSql(
                    {timeText(r.at), r.kind, r.timetable, r.start, r.entry, r.path, r.detail});
            ok = db.commit();
        } catch (const DbError&) {
            ok = false;
        }
        if (!ok)
            db.rollback();
    }
    if (!ok) {
        m_flushTimer->start(retryMs);
        return false;
    }
    m_pending.clear();
    return true;
}

QList<LogRow> AsRunLog::rows(const QDate& from, const QDate& to, const QStringList& kinds) {
    QList<LogRow> result;
    TQuery q(m_dm.connectionName());
    q.setSql(QStringLiteral("select at, kind, timetable, start_time, entry, path, detail "
                            "from asrun_log where at >= ? and at < ? order by at, id"));
    q.open({from.toString(dayFormat), to.addDays(1).toString(dayFormat)});
    auto wanted = [&](const LogRow& r) {
        return r.at.date() >= from && r.at.date() <= to &&
               (kinds.isEmpty() || kinds.contains(r.kind));
    };
    for (q.first(); !q.eof(); q.next()) {
        LogRow r;
        r.at = QDateTime::fromString(q.text(QStringLiteral("at")), timeFormat);
        r.kind = q.text(QStringLiteral("kind"));
        r.timetable = q.text(QStringLiteral("timetable"));
        r.start = q.text(QStringLiteral("start_time"));
        r.entry = q.text(QStringLiteral("entry"));
        r.path = q.text(QStringLiteral("path"));
        r.detail = q.text(QStringLiteral("detail"));
        if (wanted(r))
            result << r;
    }
    for (const LogRow& r : std::as_const(m_pending))
        if (wanted(r))
            result << r;
    std::stable_sort(result.begin(), result.end(),
                     [](const LogRow& a, const LogRow& b) { return a.at < b.at; });
    return result;
}

int AsRunLog::prune(const QDate& today, int keepDays) {
    const QString before = today.addDays(-qMax(1, keepDays)).toString(dayFormat);
    TQuery q(m_dm.connectionName());
    try {
        q.setSql(QStringLiteral("select count(*) from asrun_log where at < ?"));
        q.open({before});
        const int count = q.isEmpty() ? 0 : q.value(0).toInt();
        q.setSql(QStringLiteral("delete from asrun_log where at < ?"));
        q.execSql({before});
        return count;
    } catch (const DbError&) {
        return -1;
    }
}

QByteArray AsRunLog::csv(const QList<LogRow>& rows) {
    QByteArray out = "time,kind,timetable,start,entry,path,detail\n";
    for (const LogRow& r : rows) {
        const QString fields[] = {timeText(r.at), r.kind, r.timetable, r.start,
                                  r.entry,        r.path, r.detail};
        QByteArrayList line;
        for (const QString& f : fields)
            line << csvField(f);
        out += line.join(',') + '\n';
    }
    return out;
}
