#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class TDataModule1;

// Today's timetable and the times the schedule acts on. The once-a-second
// tick compares the clock text "hh:mm:ss" with these lists.
class ScheduleClock : public QObject {
    Q_OBJECT
public:
    static constexpr const char* noShutdown = "25:00:00";

    explicit ScheduleClock(TDataModule1& dm, QObject* parent = nullptr);

    // "星期日" … "星期六" for the given date.
    static QString weekdayName(const QDate& date);
    // Today's weekday name by the injected clock.
    QString TodayWeekdayName() const;
    // "yyyy年MM月dd日 星期X" for today.
    QString dateText() const;

    // Re-reads today's timetable into qry_show and the two time lists.
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
    const QStringList& startTimes() const { return m_startTimes; }
    const QStringList& endTimes() const { return m_endTimes; }

signals:
    // After every reload of today's timetable.
    void timetableLoaded();

protected:
    TDataModule1& m_dm;
    QString m_todayWeekday;
    QString m_todaySjb;
    QStringList m_startTimes;
    QStringList m_endTimes;
    std::array<QString, 3> m_shutdown{noShutdown, noShutdown, noShutdown};
};
