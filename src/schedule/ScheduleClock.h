#pragma once

#include "base/TimeText.h"
#include "data/DayCalendar.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

class ScheduledPlayback;
class TDataModule1;

// One entry of today's timetable as it was read at the last reload. The
// once-a-second work acts on these and never asks the database.
struct TodayEntry {
    qint64 id = 0;
    QString name;
    QString start;
    QString end;
    QString song; // a song file or a .pl3 list
    QString mode; // play mode
};

// Today's timetable and the times the schedule acts on. The once-a-second
// tick compares the clock text "hh:mm:ss" with these lists.
//
// The tick remembers the last second it examined. When the clock has moved
// on by more than one second but at most maxCatchUpSeconds (a busy moment, a
// late timer), every skipped second is examined in order, so no start or end
// time is lost to jitter. Bigger jumps, or a clock set back, examine only the
// current second; times that passed before the program started never play.
class ScheduleClock : public QObject {
    Q_OBJECT
public:
    static constexpr const char* noShutdown = TimeText::noShutdown;

    static constexpr int maxCatchUpSeconds = 10;
    // How many seconds ahead the next entry is prepared.
    static constexpr int prepareLeadSeconds = 3;

    explicit ScheduleClock(TDataModule1& dm, QObject* parent = nullptr);

    // The playback that entries start on and fade out; not owned.
    void setPlayback(ScheduledPlayback* playback) { m_playback = playback; }
    // Shows the shutdown countdown without blocking the tick. Without one, a
    // shutdown with the countdown setting powers off at once.
    void setCountdownLauncher(std::function<void()> launcher) {
        m_countdownLauncher = std::move(launcher);
    }

    // One tick of Timer1: examines the current second (and the skipped ones).
    void Timer1Timer();
    // Starts a shutdown: the countdown when "关机提示" is "1", else power-off now.
    void StartShutdown();

    // Milliseconds from now until offsetMs after the next second begins: the
    // delay that keeps a single-shot timer aligned to the wall-clock second.
    static int msUntilNextSecond(const QDateTime& now, int offsetMs = 5);
    static QString timeText(const QTime& time);

    QDateTime lastExamined() const { return m_lastExamined; }
    // Seconds examined late (caught up) since the program started.
    qint64 caughtUpSeconds() const { return m_caughtUp; }
    // "星期日" … "星期六" for the given date.
    static QString weekdayName(const QDate& date);
    // Today's weekday name by the injected clock.
    QString TodayWeekdayName() const;
    // "yyyy年MM月dd日 星期X" for today.
    QString dateText() const;

    // Re-reads today's timetable into qry_show and the two time lists. An
    // exception in the calendar for today replaces the weekday's timetable.
    // A failing select throws DbError; an unreadable row shows
    // "时间表读取错误!请检查时间表。" and keeps what was read before it.
    void LoadTodayTimetable();

    // The shutdown times from the settings: "关机时间N" when "定时关机N" is
    // exactly "1", else "25:00:00".
    void loadShutdownTimes();
    void setShutdownTime(int index, const QString& time) { m_shutdown.at(index) = time; }
    QString shutdownTime(int index) const { return m_shutdown.at(index); }

    QString todayWeekday() const { return m_todayWeekday; }
    QString todaySjb() const { return m_todaySjb; }
    // Today's plan: the timetable of today's exception, else the weekday's.
    const DayPlan& todayPlan() const { return m_todayPlan; }
    const QStringList& startTimes() const { return m_startTimes; }
    const QStringList& endTimes() const { return m_endTimes; }
    const QList<TodayEntry>& entries() const { return m_entries; }
    // The entry that starts at t (the first by ID when several do), or null.
    const TodayEntry* entryAt(const QString& t) const;

signals:
    // After every reload of today's timetable.
    void timetableLoaded();
    // The new day's date text, at the reload of 00:00:01.
    void dateTextChanged(const QString& text);
    // Every tick: how many ms after its second began it ran, and how many
    // skipped seconds it examined late.
    void ticked(int lateMs, int caughtUp);
    // An entry due at time could not be started (the schedule goes on).
    void entryFailed(const QString& time, const QString& reason);
    // An entry due at time started playing.
    void entryStarted(const QString& time);
    // The clock jumped forward past more seconds than are caught up (the
    // machine slept, the time was set forward): the seconds after `from` and
    // before `to` were never examined.
    void secondsSkipped(const QDateTime& from, const QDateTime& to);
    // A shutdown time came; the shutdown (countdown or power-off) follows.
    void shutdownDue(const QString& time);

protected:
    void examineSecond(const QDateTime& second);
    // The end check, then the start check, for the clock text t.
    void checkEntries(const QString& t);
    // Prepares the first entry due within the lead after this second.
    void prepareAhead(const QDateTime& second);
    QString dateTextFor(const QDate& date) const;

    TDataModule1& m_dm;
    ScheduledPlayback* m_playback = nullptr;
    std::function<void()> m_countdownLauncher;
    QDateTime m_lastExamined;
    qint64 m_caughtUp = 0;
    QString m_todayWeekday;
    QString m_todaySjb;
    DayPlan m_todayPlan;
    QDate m_loadedDate;
    QStringList m_startTimes;
    QStringList m_endTimes;
    QList<TodayEntry> m_entries;
    std::array<QString, 3> m_shutdown{noShutdown, noShutdown, noShutdown};
    QString m_countdownSetting; // "关机提示" as last read
    bool m_reloadDue = false;   // the new day's timetable is not in yet
    bool m_reloadFailureShown = false;
};
