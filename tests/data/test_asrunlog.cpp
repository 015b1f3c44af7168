#include "data/AsRunLog.h"
#include "data/DayCalendar.h"
#include "data/ExtraTables.h"
#include "support/TestDatabase.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace {
LogRow row(const QDateTime& at, const QString& kind, const QString& entry = {},
           const QString& path = {}) {
    LogRow r;
    r.at = at;
    r.kind = kind;
    r.timetable = QStringLiteral("工作日");
    r.start = at.time().toString(QStringLiteral("HH:mm:ss"));
    r.entry = entry;
    r.path = path;
    return r;
}
const QDate monday(2026, 12, 7);
} // namespace

TEST(AsRunLogCsv, QuotesCommasQuotesAndLineBreaks) {
    LogRow r = row(QDateTime(monday, QTime(8, 0, 0, 7)), LogKind::failure,
                   QStringLiteral("早操, 第一套"), QStringLiteral("/音乐/\"校歌\".mp3"));
    r.detail = QStringLiteral("无法打开\n第二行");
    const QByteArray csv = AsRunLog::csv({r});
    EXPECT_EQ(csv,
              QStringLiteral("time,kind,timetable,start,entry,path,detail\n"
                             "2026-12-07 08:00:00.007,failure,工作日,08:00:00,"
                             "\"早操, 第一套\",\"/音乐/\"\"校歌\"\".mp3\",\"无法打开\n第二行\"\n")
                  .toUtf8());
    EXPECT_EQ(AsRunLog::csv({}), QByteArray("time,kind,timetable,start,entry,path,detail\n"));
}

TEST(AsRunLog, RowsAreKeptUntilTheDatabaseTakesThemAndReadBackByDayAndKind) {
    TestDatabase db;
    AsRunLog log(db.dm());
    log.append(row(QDateTime(monday, QTime(8, 0)), LogKind::start, QStringLiteral("早操")));
    log.append(row(QDateTime(monday, QTime(8, 3, 25, 120)), LogKind::song));
    log.append(row(QDateTime(monday.addDays(1), QTime(7, 0)), LogKind::missed));
    // While the table cannot be written (as when the file is busy) the rows
    // stay in memory, still visible to readers, and the write is tried again.
    db.exec(QStringLiteral("alter table asrun_log rename to asrun_log_away"));
    EXPECT_FALSE(log.flush());
    EXPECT_EQ(log.pending(), 3);
    db.exec(QStringLiteral("alter table asrun_log_away rename to asrun_log"));
    EXPECT_EQ(log.rows(monday, monday).size(), 2);
    EXPECT_TRUE(log.flush());
    EXPECT_EQ(log.pending(), 0);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from asrun_log")).toInt(), 3);

    const QList<LogRow> day = log.rows(monday, monday);
    ASSERT_EQ(day.size(), 2);
    EXPECT_EQ(day[1].at, QDateTime(monday, QTime(8, 3, 25, 120))); // to the millisecond
    EXPECT_EQ(day[0].entry, QStringLiteral("早操"));
    EXPECT_EQ(log.rows(monday, monday.addDays(1), {LogKind::missed}).size(), 1);
}

TEST(AsRunLog, PruneRemovesOnlyRowsOlderThanTheKeptDays) {
    TestDatabase db;
    AsRunLog log(db.dm());
    log.append(row(QDateTime(monday.addDays(-366), QTime(8, 0)), LogKind::start));
    log.append(row(QDateTime(monday.addDays(-365), QTime(8, 0)), LogKind::start));
    log.append(row(QDateTime(monday, QTime(8, 0)), LogKind::start));
    ASSERT_TRUE(log.flush());
    EXPECT_EQ(ExtraTables::logKeepDays(db.dm()), 365);
    EXPECT_EQ(log.prune(monday, ExtraTables::logKeepDays(db.dm())), 1);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from asrun_log")).toInt(), 2);
    ASSERT_TRUE(ExtraTables::setSetting(db.dm(), QStringLiteral("日志保留天数"), "30"));
    EXPECT_EQ(log.prune(monday, ExtraTables::logKeepDays(db.dm())), 1);
}

TEST(ExtraTables, AnOlderDatabaseGetsTheNewTablesWhenOpenedAndKeepsItsOwn) {
    TestDatabase db;
    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:10:00", "/a.mp3");
    for (const char* t : {"asrun_log", "day_exception", "vorn_setting"})
        db.exec(QStringLiteral("drop table %1").arg(QLatin1String(t)));
    TDataModule1 again;
    ASSERT_TRUE(again.OpenDatabase(QStringLiteral("sqlite"), db.path()));
    AsRunLog log(again);
    log.append(row(QDateTime(monday, QTime(8, 0)), LogKind::start));
    EXPECT_TRUE(log.flush());
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from sjb")).toInt(), 1);
    EXPECT_EQ(DayCalendar(again).all().size(), 0);
}

TEST(DayCalendar, AnExceptionOverridesTheWeekdayForItsDatesOnly) {
    TestDatabase db;
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("正常作息"));
    DayCalendar calendar(db.dm());
    DayException exams{0, monday, monday.addDays(2), QStringLiteral("考试"),
                       QStringLiteral("期末")};
    ASSERT_TRUE(calendar.add(exams));
    DayException holiday{0, monday.addDays(1), monday.addDays(1), DayCalendar::nothing, {}};
    ASSERT_TRUE(calendar.add(holiday)); // entered later: wins on its day

    const DayPlan plan = calendar.planFor(monday);
    EXPECT_TRUE(plan.exception);
    EXPECT_EQ(plan.timetable, QStringLiteral("考试"));
    EXPECT_EQ(plan.note, QStringLiteral("期末"));
    EXPECT_EQ(calendar.planFor(monday.addDays(1)).timetable, QStringLiteral("无"));
    const DayPlan nextMonday = calendar.planFor(monday.addDays(7));
    EXPECT_FALSE(nextMonday.exception);
    EXPECT_EQ(nextMonday.timetable, QStringLiteral("正常作息"));

    ASSERT_TRUE(calendar.remove(holiday.id));
    EXPECT_EQ(calendar.planFor(monday.addDays(1)).timetable, QStringLiteral("考试"));
    ASSERT_EQ(calendar.all().size(), 1);
}
