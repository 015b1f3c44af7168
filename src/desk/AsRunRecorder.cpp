#include "desk/AsRunRecorder.h"

#include "base/Services.h"
#include "data/DayCalendar.h"
#include "data/ExtraTables.h"
#include "data/datamodule.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"

#include <QSet>

AsRunRecorder::AsRunRecorder(TDataModule1& dm, AsRunLog& log, ScheduleClock& schedule,
                             ScheduledPlayback& playback, QObject* parent)
    : QObject(parent), m_dm(dm), m_log(log), m_schedule(schedule), m_playback(playback) {
    connect(&playback, &ScheduledPlayback::entryStarting, this, [this](const QString& t) {
        m_starting = t;
        m_startFailed = false;
    });
    connect(&playback, &ScheduledPlayback::entryStarted, this, [this](const QString& t) {
        m_current = t;
        m_starting.clear();
        LogRow r = rowFor(LogKind::start, t);
        if (m_playback.currentIndex() >= 0)
            r.path = m_playback.paths().value(m_playback.currentIndex());
        m_log.append(r);
    });
    connect(&playback, &ScheduledPlayback::failed, this, &AsRunRecorder::onFailed);
    connect(&schedule, &ScheduleClock::entryFailed, this,
            [this](const QString& t, const QString& reason) {
                if (!(m_starting == t && m_startFailed)) {
                    LogRow r = rowFor(LogKind::failure, t);
                    r.detail = reason;
                    m_log.append(r);
                }
                m_starting.clear();
            });
    connect(&playback, &ScheduledPlayback::songChanged, this, [this](const QString& path) {
        LogRow r = rowFor(LogKind::song, m_current);
        r.path = path;
        m_log.append(r);
    });
    connect(&playback, &ScheduledPlayback::pickedByHand, this, [this](const QString& path) {
        LogRow r = rowFor(LogKind::pick, m_current);
        r.path = path;
        m_log.append(r);
    });
    connect(&playback, &ScheduledPlayback::stoppedByHand, this, [this](const QString& path) {
        LogRow r = rowFor(LogKind::stop, m_current);
        r.path = path;
        m_log.append(r);
    });
    connect(&playback, &ScheduledPlayback::entryEnded, this, [this] {
        m_log.append(rowFor(LogKind::end, m_current));
        m_current.clear();
    });
    connect(&schedule, &ScheduleClock::secondsSkipped, this, &AsRunRecorder::noteSkipped);
    connect(&schedule, &ScheduleClock::shutdownDue, this, [this](const QString& t) {
        LogRow r;
        r.at = now();
        r.kind = LogKind::shutdown;
        r.start = t;
        try {
            r.detail = m_dm.ReadSetting(QStringLiteral("关机提示")) == QLatin1String("1")
                           ? tr("关机倒计时")
                           : tr("立即关机");
        } catch (const std::exception&) {
        }
        m_log.append(r);
        m_log.flush(); // the machine may be off before the next event
    });
    connect(&schedule, &ScheduleClock::dateTextChanged, this, &AsRunRecorder::prune);
}

QDateTime AsRunRecorder::now() const {
    return Services::clock().now();
}

LogRow AsRunRecorder::rowFor(const QString& kind, const QString& start, const QDateTime& at) const {
    LogRow r;
    r.at = at.isValid() ? at : now();
    r.kind = kind;
    r.start = start;
    if (start.isEmpty())
        return r;
    r.timetable = m_schedule.todaySjb();
    // Today's rows are in memory (the main grid); no database call here.
    const TQuery& day = *m_dm.qry_show;
    const int startColumn = day.columnIndex(QStringLiteral("开始时间"));
    const int nameColumn = day.columnIndex(QStringLiteral("名称"));
    const int pathColumn = day.columnIndex(QStringLiteral("歌曲列表或歌曲"));
    for (int row = 0; startColumn >= 0 && row < day.recordCount(); ++row) {
        if (day.valueAt(row, startColumn).toString() == start) {
            r.entry = day.valueAt(row, nameColumn).toString();
            r.path = day.valueAt(row, pathColumn).toString();
            break;
        }
    }
    return r;
}

void AsRunRecorder::onFailed(const QString& path, const QString& reason) {
    const QString start = m_starting.isEmpty() ? m_current : m_starting;
    if (!m_starting.isEmpty())
        m_startFailed = true;
    LogRow r = rowFor(LogKind::failure, start);
    r.path = path;
    r.detail = reason;
    m_log.append(r);
}

void AsRunRecorder::noteMissedBeforeStart() {
    const QDateTime at = now();
    const QString nowText = at.time().toString(QStringLiteral("HH:mm:ss"));
    QSet<QString> accounted;
    try {
        for (const LogRow& r :
             m_log.rows(at.date(), at.date(), {LogKind::start, LogKind::failure, LogKind::missed}))
            if (r.timetable == m_schedule.todaySjb())
                accounted << r.start;
    } catch (const std::exception&) {
        return; // no log to compare with: better say nothing than something wrong
    }
    QSet<QString> done;
    for (const QString& start : m_schedule.startTimes()) {
        if (start >= nowText || accounted.contains(start) || done.contains(start))
            continue;
        done << start;
        LogRow r =
            rowFor(LogKind::missed, start,
                   QDateTime(at.date(), QTime::fromString(start, QStringLiteral("HH:mm:ss"))));
        r.detail = notRunning;
        m_log.append(r);
    }
}

void AsRunRecorder::noteSkipped(const QDateTime& from, const QDateTime& to) {
    // The seconds after from and before to were never looked at. Their
    // entries are read from the database: the clock may have crossed midnight
    // while the machine slept, and those days' timetables are not loaded.
    DayCalendar calendar(m_dm);
    const QDate first = qMax(from.date(), to.date().addDays(-2)); // long sleeps: the last days
    for (QDate d = first; d <= to.date(); d = d.addDays(1)) {
        try {
            const DayPlan plan = calendar.planFor(d);
            TQuery q(m_dm.connectionName());
            q.setSql(QStringLiteral("select 名称, 开始时间, 歌曲列表或歌曲 from sjb where "
                                    "时间表名称=? order by 开始时间, ID"));
            q.open({plan.timetable});
            QSet<QString> done;
            for (q.first(); !q.eof(); q.next()) {
                const QString start = q.text(QStringLiteral("开始时间"));
                const QDateTime at(d, QTime::fromString(start, QStringLiteral("HH:mm:ss")));
                if (!at.isValid() || at <= from || at >= to || done.contains(start))
                    continue;
                done << start;
                LogRow r;
                r.at = at;
                r.kind = LogKind::missed;
                r.timetable = plan.timetable;
                r.start = start;
                r.entry = q.text(QStringLiteral("名称"));
                r.path = q.text(QStringLiteral("歌曲列表或歌曲"));
                r.detail = tr("时钟跳过了这一秒（计算机休眠或系统时间被调整）");
                m_log.append(r);
            }
        } catch (const std::exception&) {
            // The log says less; the schedule goes on.
        }
    }
}

void AsRunRecorder::prune() {
    m_log.prune(now().date(), ExtraTables::logKeepDays(m_dm));
}
