// What the desk writes into the as-run log, and what today looks like.
#include "schedule/ScheduleFixture.h"

#include "data/AsRunLog.h"
#include "data/DayCalendar.h"
#include "desk/AsRunRecorder.h"
#include "desk/DayStatus.h"

namespace {
class RecorderTest : public ScheduleFixture {
protected:
    RecorderTest() {
        schedule.setCountdownLauncher([this] { ++countdowns; });
    }
    QStringList kinds(const QDate& day = QDate(2026, 12, 7)) {
        QStringList list;
        for (const LogRow& r : log.rows(day, day))
            list << r.kind + QLatin1Char(' ') + QFileInfo(r.path).fileName();
        return list;
    }
    AsRunLog log{db.dm()};
    AsRunRecorder recorder{db.dm(), log, schedule, playback};
    DayStatus status{log, schedule, playback};
    int countdowns = 0;
};
} // namespace

TEST_F(RecorderTest, EveryKindOfEventIsLoggedToTheMillisecond) {
    device.unplayable << song("B.mp3");
    entry("08:00:00", "08:00:10",
          playlist("day.pl3", {song("A.mp3"), song("B.mp3"), song("C.mp3")}));
    entry("08:00:20", "08:00:30", missing("gone.mp3"), QStringLiteral("单曲播放"));
    entry("08:00:40", "08:00:50", song("D.mp3"));
    db.setSetting(QStringLiteral("关机提示"), QStringLiteral("1"));
    schedule.setShutdownTime(0, QStringLiteral("08:01:02"));
    load();

    runTo(QTime(8, 0, 0));
    device.finishSong();          // B cannot be opened: C follows
    playback.ListBox5DblClick(0); // A by hand
    playback.SpeedButton1Click(); // stopped by hand
    runTo(QTime(8, 0, 20));       // the end time clears the entry; the missing song fails
    EXPECT_EQ(status.state(QStringLiteral("08:00:00"), clock.now()), DayStatus::State::Played);
    EXPECT_EQ(status.state(QStringLiteral("08:00:20"), clock.now()), DayStatus::State::Failed);
    EXPECT_EQ(status.state(QStringLiteral("08:00:40"), clock.now()), DayStatus::State::ToCome);
    clock.advance(40000); // the machine sleeps from 08:00:20 to 08:01:00
    runTo(QTime(8, 1, 2));

    EXPECT_EQ(kinds(),
              QStringList({"start A.mp3", "failure B.mp3", "song C.mp3", "pick A.mp3", "stop A.mp3",
                           "end day.pl3", "failure gone.mp3", "missed D.mp3", "shutdown "}));
    EXPECT_EQ(status.state(QStringLiteral("08:00:40"), clock.now()), DayStatus::State::Missed);
    EXPECT_EQ(countdowns, 1);
    // The shutdown row is written at once: the machine may be off before the next event.
    EXPECT_EQ(log.pending(), 0);
    const QList<LogRow> rows = log.rows(QDate(2026, 12, 7), QDate(2026, 12, 7));
    ASSERT_EQ(rows.size(), 9);
    EXPECT_EQ(rows[0].at, QDateTime(QDate(2026, 12, 7), QTime(8, 0, 0, 5)));
    EXPECT_EQ(rows[0].entry, QStringLiteral("节目"));
    EXPECT_EQ(rows[0].timetable, QStringLiteral("工作日"));
    EXPECT_EQ(rows[7].at, QDateTime(QDate(2026, 12, 7), QTime(8, 0, 40))); // its own second
    EXPECT_FALSE(rows[1].detail.isEmpty());
    EXPECT_EQ(rows[8].detail, QStringLiteral("关机倒计时"));
}

TEST_F(RecorderTest, EntriesBeforeStartUpAreMissedOnceAndTheRestAreToCome) {
    entry("07:00:00", "07:10:00", song("a.mp3"));
    entry("07:30:00", "07:40:00", song("b.mp3"));
    entry("09:00:00", "09:10:00", song("c.mp3"));
    LogRow played;
    played.at = QDateTime(QDate(2026, 12, 7), QTime(7, 30));
    played.kind = LogKind::start;
    played.timetable = QStringLiteral("工作日");
    played.start = QStringLiteral("07:30:00");
    log.append(played); // it played before the program was restarted
    load();
    recorder.noteMissedBeforeStart();
    recorder.noteMissedBeforeStart(); // a second start-up adds nothing
    EXPECT_EQ(kinds(), QStringList({"missed a.mp3", "start "}));
    EXPECT_EQ(log.rows(QDate(2026, 12, 7), QDate(2026, 12, 7))[0].detail,
              AsRunRecorder::notRunning);
    status.reload();
    EXPECT_EQ(status.state(QStringLiteral("07:00:00"), clock.now()), DayStatus::State::Missed);
    EXPECT_EQ(status.state(QStringLiteral("07:30:00"), clock.now()), DayStatus::State::Played);
    EXPECT_EQ(DayStatus::text(DayStatus::State::Played), QStringLiteral("✓ 已播"));
    const int next = DayStatus::nextRow(*db.dm().qry_show, clock.now().time());
    EXPECT_EQ(db.dm().qry_show->valueAt(next, 2).toString(), QStringLiteral("09:00:00"));
    EXPECT_EQ(DayStatus::countdownText(3600 + 5 * 60 + 7), QStringLiteral("1:05:07"));
}

TEST_F(RecorderTest, OldRowsGoAtMidnight) {
    LogRow old;
    old.at = QDateTime(QDate(2025, 12, 1), QTime(8, 0));
    old.kind = LogKind::start;
    log.append(old);
    old.at = QDateTime(QDate(2026, 12, 7), QTime(8, 0));
    log.append(old);
    ASSERT_TRUE(log.flush());
    clock.set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58, 5)));
    load();
    runTo(QTime(0, 0, 2));
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from asrun_log")).toInt(), 1);
}

TEST_F(RecorderTest, AnExceptionReplacesTheWeekdayFromMidnightAndOnlyForItsDay) {
    // Monday and Wednesday play "工作日"; Tuesday 2026-12-08 is an exam day.
    db.setSetting(QStringLiteral("星期二"), QStringLiteral("工作日"));
    db.setSetting(QStringLiteral("星期三"), QStringLiteral("工作日"));
    db.exec(QStringLiteral("insert into sjbmc(name) values('考试')"));
    DayException exams{0, QDate(2026, 12, 8), QDate(2026, 12, 8), QStringLiteral("考试"),
                       QStringLiteral("期末考试")};
    ASSERT_TRUE(DayCalendar(db.dm()).add(exams));
    entry("08:00:00", "08:40:00", song("bell.mp3"));
    db.addEntry(QStringLiteral("考试"), "08:30:00", "08:31:00", song("exam.mp3"));

    clock.set(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58, 5)));
    load();
    EXPECT_FALSE(schedule.todayPlan().exception);
    runTo(QTime(0, 0, 1));
    EXPECT_EQ(schedule.todaySjb(), QStringLiteral("考试"));
    EXPECT_TRUE(schedule.todayPlan().exception);
    EXPECT_EQ(schedule.todayPlan().note, QStringLiteral("期末考试"));
    EXPECT_EQ(schedule.startTimes(), QStringList({"08:30:00"}));

    // The machine sleeps through the next midnight: the day changes all the same.
    clock.set(QDateTime(QDate(2026, 12, 9), QTime(7, 59, 0, 5)));
    schedule.Timer1Timer();
    EXPECT_EQ(schedule.todaySjb(), QStringLiteral("工作日"));
    EXPECT_FALSE(schedule.todayPlan().exception);
    runTo(QTime(8, 0, 1));
    EXPECT_EQ(playedNames(), QStringList({"bell.mp3"}));
    // The exam entry of the day slept through was missed, and logged so.
    EXPECT_EQ(kinds(QDate(2026, 12, 8)), QStringList({"missed exam.mp3"}));
}
