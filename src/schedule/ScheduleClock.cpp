#include "schedule/ScheduleClock.h"

#include "base/Services.h"
#include "data/datamodule.h"
#include "schedule/ScheduledPlayback.h"
#include "settings/ShutdownCountdown.h"

#include <QList>
#include <QPointer>

ScheduleClock::ScheduleClock(TDataModule1& dm, QObject* parent) : QObject(parent), m_dm(dm) {}

QString ScheduleClock::weekdayName(const QDate& date) {
    static const char* const names[] = {"星期日", "星期一", "星期二", "星期三",
                                        "星期四", "星期五", "星期六"};
    // Qt counts Monday = 1 … Sunday = 7.
    return QString::fromUtf8(names[date.dayOfWeek() % 7]);
}

QString ScheduleClock::TodayWeekdayName() const {
    return weekdayName(Services::clock().now().date());
}

QString ScheduleClock::dateText() const {
    return dateTextFor(Services::clock().now().date());
}

QString ScheduleClock::dateTextFor(const QDate& date) const {
    return date.toString(QStringLiteral("yyyy年MM月dd日")) + QLatin1Char(' ') + weekdayName(date);
}

QString ScheduleClock::timeText(const QTime& time) {
    return TimeText::of(time);
}

int ScheduleClock::msUntilNextSecond(const QDateTime& now, int offsetMs) {
    return 1000 - now.time().msec() + offsetMs;
}

void ScheduleClock::Timer1Timer() {
    const QDateTime now = Services::clock().now();
    const QDateTime second = now.addMSecs(-now.time().msec());

    QList<QDateTime> plan;
    if (!m_lastExamined.isValid()) {
        plan << second;
    } else {
        const qint64 gap = m_lastExamined.secsTo(second);
        if (gap >= 1 && gap <= maxCatchUpSeconds) {
            for (qint64 i = 1; i <= gap; ++i)
                plan << m_lastExamined.addSecs(i);
        } else if (gap != 0) {
            if (gap > 0)
                emit secondsSkipped(m_lastExamined, second);
            plan << second; // set forward far, or back: no catch-up
        }
    }
    const int caughtUp = plan.size() > 1 ? int(plan.size()) - 1 : 0;
    m_caughtUp += caughtUp;
    emit ticked(now.time().msec(), caughtUp);

    for (const QDateTime& s : plan) {
        m_lastExamined = s;
        examineSecond(s);
        // A message box or window inside this second ran its own event loop
        // and later ticks examined the following seconds already.
        if (m_lastExamined != s)
            break;
    }
}

void ScheduleClock::examineSecond(const QDateTime& second) {
    // Everything below works on this tick's own second, however long a
    // window opened inside it stays on screen.
    const QString t = timeText(second.time());

    // A new day is loaded at one second past midnight, or at the first second
    // after it when the clock jumped over that one (the machine slept).
    const bool newDay =
        m_loadedDate.isValid() && second.date() != m_loadedDate && t != QLatin1String("00:00:00");
    if (t == QLatin1String("00:00:01") || (newDay && !m_reloadDue)) {
        emit dateTextChanged(dateTextFor(second.date()));
        m_reloadDue = true;
        m_reloadFailureShown = false;
    }
    if (m_reloadDue) {
        // A database held by another program fails the reload at once; the
        // next seconds try again until the new day's timetable is in.
        try {
            LoadTodayTimetable();
            m_reloadDue = false;
        } catch (const std::exception& e) {
            if (!m_reloadFailureShown) {
                m_reloadFailureShown = true;
                msg::report(e);
            }
        }
    }

    // The shutdown is decided first, but its window (which may hold the
    // event loop) opens only after this second's end and start checks, so an
    // entry due in the shutdown second still starts, and starts before any
    // later second examined while the window is open.
    const bool shutdownNow = t == m_shutdown[0] || t == m_shutdown[1] || t == m_shutdown[2];
    checkEntries(t);
    prepareAhead(second);
    if (shutdownNow) {
        emit shutdownDue(t);
        try {
            StartShutdown();
        } catch (const std::exception& e) {
            msg::report(e);
        }
    }
}

void ScheduleClock::checkEntries(const QString& t) {
    if (!m_playback)
        return;
    try {
        // The fades step on the schedule's own seconds: the running ones
        // first, then a fade-out begins with its first step in its end second.
        m_playback->stepFades();
        if (m_endTimes.contains(t))
            m_playback->startFadeOut();
        if (m_startTimes.contains(t)) {
            m_playback->prepareFadeIn();
            // A new entry replaces the running one; a fade-out begun for the
            // old one must not cut the new one after three seconds. An entry
            // whose own end is its start is faded out from this very second.
            const bool started = m_playback->PlayEntry(t);
            const TodayEntry* entry = entryAt(t);
            if (started && !(entry && entry->end == t))
                m_playback->cancelFadeOut();
            m_playback->startFadeIn();
            if (started)
                emit entryStarted(t);
        }
    } catch (const std::exception& e) {
        emit entryFailed(t, QString::fromUtf8(e.what()));
    } catch (...) {
        emit entryFailed(t, QString());
    }
}

void ScheduleClock::prepareAhead(const QDateTime& second) {
    if (!m_playback)
        return;
    // The next entry due within the lead is read and cued now, so that its
    // sound can start in its very second.
    for (int k = 1; k <= prepareLeadSeconds; ++k) {
        const QString t = timeText(second.addSecs(k).time());
        if (m_startTimes.contains(t)) {
            try {
                m_playback->prepareEntry(t);
            } catch (const std::exception&) {
                // Read again, and failed for good, in its own second.
            }
            return;
        }
    }
}

void ScheduleClock::StartShutdown() {
    // Read afresh; a database held by another program gives the value read
    // with the shutdown times.
    try {
        m_countdownSetting = m_dm.ReadSetting(QStringLiteral("关机提示"));
    } catch (const std::exception&) {
    }
    if (m_countdownSetting == QLatin1String("1") && m_countdownLauncher) {
        m_countdownLauncher();
        return;
    }
    ClosePC([self = QPointer<ScheduleClock>(this)](bool ok, const QString& error) {
        if (self && !ok)
            msg::error(tr("无法关闭计算机：%1").arg(error));
    });
}

void ScheduleClock::LoadTodayTimetable() {
    // Nothing changes until the statements have gone through. An exception
    // in the calendar for today replaces the weekday's timetable.
    const QDate today = Services::clock().now().date();
    const QString weekday = weekdayName(today);
    const DayPlan plan = DayCalendar(m_dm).planFor(today);
    const QString timetable = plan.timetable;
    m_dm.OpenQuery(*m_dm.qry_show,
                   QStringLiteral("select * from sjb where 时间表名称=? order by 开始时间, ID"),
                   {timetable});
    m_todayWeekday = weekday;
    m_todaySjb = timetable;
    m_todayPlan = plan;
    m_loadedDate = today;
    m_startTimes.clear();
    m_endTimes.clear();
    m_entries.clear();
    // The rows are read where they lie: the query's cursor (which the grid
    // follows) stays on the first row.
    const TQuery& q = *m_dm.qry_show;
    const int id = q.columnIndex(QStringLiteral("ID"));
    const int name = q.columnIndex(QStringLiteral("名称"));
    const int start = q.columnIndex(QStringLiteral("开始时间"));
    const int end = q.columnIndex(QStringLiteral("结束时间"));
    const int song = q.columnIndex(QStringLiteral("歌曲列表或歌曲"));
    const int mode = q.columnIndex(QStringLiteral("播放方式"));
    const int rows = q.recordCount();
    if (rows > 0 && (start < 0 || end < 0)) {
        emit timetableLoaded();
        msg::error(QStringLiteral("时间表读取错误!请检查时间表。"));
        return;
    }
    m_startTimes.reserve(rows);
    m_endTimes.reserve(rows);
    m_entries.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        TodayEntry e;
        e.id = q.valueAt(r, id).toLongLong();
        e.name = q.valueAt(r, name).toString();
        e.start = q.valueAt(r, start).toString();
        e.end = q.valueAt(r, end).toString();
        e.song = q.valueAt(r, song).toString();
        e.mode = q.valueAt(r, mode).toString();
        m_startTimes << e.start;
        m_endTimes << e.end;
        m_entries << std::move(e);
    }
    emit timetableLoaded();
}

const TodayEntry* ScheduleClock::entryAt(const QString& t) const {
    // Rows come ordered by start time, then ID: the first match is the one.
    for (const TodayEntry& e : m_entries)
        if (e.start == t)
            return &e;
    return nullptr;
}

void ScheduleClock::loadShutdownTimes() {
    m_countdownSetting = m_dm.ReadSetting(QStringLiteral("关机提示"));
    for (int n = 0; n < 3; ++n) {
        m_shutdown[n] = QString::fromLatin1(noShutdown);
        const QString number = QString::number(n + 1);
        if (m_dm.ReadSetting(QStringLiteral("定时关机") + number) == QLatin1String("1"))
            m_shutdown[n] = m_dm.ReadSetting(QStringLiteral("关机时间") + number);
    }
}
