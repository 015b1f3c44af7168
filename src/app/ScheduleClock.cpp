#include "app/ScheduleClock.h"

#include "app/Services.h"
#include "data/datamodule.h"

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
    const QDate today = Services::clock().now().date();
    return today.toString(QStringLiteral("yyyy年MM月dd日")) + QLatin1Char(' ') + weekdayName(today);
}

void ScheduleClock::LoadTodayTimetable() {
    m_todayWeekday = TodayWeekdayName();
    m_todaySjb = m_dm.ReadSetting(m_todayWeekday);
    m_dm.OpenQuery(*m_dm.qry_show,
                   QStringLiteral("select * from sjb where 时间表名称=? order by 开始时间, ID"),
                   {m_todaySjb});
    m_startTimes.clear();
    m_endTimes.clear();
    TQuery& q = *m_dm.qry_show;
    try {
        for (q.first(); !q.eof(); q.next()) {
            m_startTimes << q.text(QStringLiteral("开始时间"));
            m_endTimes << q.text(QStringLiteral("结束时间"));
        }
        q.first();
    } catch (const std::exception&) {
        q.first();
        emit timetableLoaded();
        msg::error(QStringLiteral("时间表读取错误!请检查时间表。"));
        return;
    }
    emit timetableLoaded();
}

void ScheduleClock::loadShutdownTimes() {
    for (int n = 0; n < 3; ++n) {
        m_shutdown[n] = QString::fromLatin1(noShutdown);
        const QString number = QString::number(n + 1);
        if (m_dm.ReadSetting(QStringLiteral("定时关机") + number) == QLatin1String("1"))
            m_shutdown[n] = m_dm.ReadSetting(QStringLiteral("关机时间") + number);
    }
}
