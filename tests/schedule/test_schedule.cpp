#include "ScheduleFixture.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace {
const QString kCountdownOn = QStringLiteral("1");

class ScheduleTest : public ScheduleFixture {
protected:
    // Runs to `until`, noting at which second something started or faded.
    QStringList journal(const QTime& until) {
        QStringList events;
        while (now() != until.toString(QStringLiteral("HH:mm:ss"))) {
            const qsizetype played = device.played.size();
            const bool fading = playback.fadeOutOn();
            const bool listed = !playback.paths().isEmpty();
            clock.advance(1000);
            schedule.Timer1Timer();
            if (device.played.size() != played)
                events << now() + QStringLiteral(" start ") + playedNames().constLast();
            if (playback.fadeOutOn() && !fading)
                events << now() + QStringLiteral(" fade-out");
            playback.processTick();
            if (listed && playback.paths().isEmpty())
                events << now() + QStringLiteral(" stopped");
        }
        return events;
    }
};

TEST_F(ScheduleTest, DayStartsAndEndsEntriesAtExactlyTheirSeconds) {
    entry("08:00:00", "08:00:10", song("a.mp3"));
    entry("08:00:20", "08:00:30", song("b.mp3"), QStringLiteral("单曲播放"));
    load();
    EXPECT_EQ(journal(QTime(8, 0, 40)),
              QStringList({"08:00:00 start a.mp3", "08:00:10 fade-out", "08:00:12 stopped",
                           "08:00:20 start b.mp3", "08:00:30 fade-out", "08:00:32 stopped"}));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_FALSE(playback.display().controlsVisible);
}

TEST_F(ScheduleTest, ProgramStartedAfterTheStartSecondDoesNotPlayTheEntry) {
    entry("08:00:00", "08:10:00", song("a.mp3"));
    clock.setTime(QTime(8, 0, 5, 5));
    load();
    // The first tick examines only its own second, nothing from before the start.
    EXPECT_TRUE(journal(QTime(8, 1, 0)).isEmpty());
    EXPECT_TRUE(device.played.isEmpty());
}

TEST_F(ScheduleTest, DayWithoutTimetablePlaysNothing) {
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("无"));
    entry("08:00:00", "08:10:00", song("a.mp3"));
    load();
    EXPECT_TRUE(schedule.startTimes().isEmpty());
    EXPECT_TRUE(journal(QTime(8, 0, 30)).isEmpty());
}

TEST_F(ScheduleTest, MidnightReloadSwitchesToTheNewDayAtOneSecondPast) {
    db.setSetting(QStringLiteral("星期日"), QStringLiteral("周日"));
    db.addEntry(QStringLiteral("周日"), "00:00:00", "00:30:00", song("sunday.mp3"));
    entry("00:00:00", "00:30:00", song("monday0.mp3"));
    entry("00:00:01", "00:30:00", song("monday1.mp3"));
    clock.set(QDateTime(QDate(2026, 12, 6), QTime(23, 59, 58, 5)));
    load();
    ASSERT_EQ(schedule.todaySjb(), QStringLiteral("周日"));
    QSignalSpy dates(&schedule, &ScheduleClock::dateTextChanged);

    // 00:00:00 still belongs to Sunday: Sunday's entry starts, Monday's does not.
    EXPECT_EQ(journal(QTime(0, 0, 0)), QStringList({"00:00:00 start sunday.mp3"}));
    EXPECT_EQ(dates.count(), 0);
    EXPECT_EQ(journal(QTime(0, 0, 1)), QStringList({"00:00:01 start monday1.mp3"}));
    ASSERT_EQ(dates.count(), 1);
    EXPECT_EQ(dates.at(0).at(0).toString(), QStringLiteral("2026年12月07日 星期一"));
    EXPECT_EQ(schedule.todaySjb(), QStringLiteral("工作日"));
    EXPECT_EQ(schedule.startTimes(), QStringList({"00:00:00", "00:00:01"}));
}

TEST_F(ScheduleTest, SkippedSecondsUpToTenAreExaminedInOrder) {
    entry("08:00:00", "08:00:02", song("a.mp3"));
    entry("08:00:03", "08:00:30", song("b.mp3"));
    load();
    runTo(QTime(7, 59, 59));
    QSignalSpy ticks(&schedule, &ScheduleClock::ticked);

    // The timer comes 5 s late: 08:00:00 … 08:00:04 are all examined, in order.
    clock.advance(5000);
    schedule.Timer1Timer();
    EXPECT_EQ(playedNames(), QStringList({"a.mp3", "b.mp3"}));
    EXPECT_EQ(schedule.caughtUpSeconds(), 4);
    ASSERT_EQ(ticks.count(), 1);
    EXPECT_EQ(ticks.at(0).at(1).toInt(), 4);
    // The fade-out of 08:00:02 was for a; b started after it and survives.
    EXPECT_FALSE(playback.fadeOutOn());
    EXPECT_EQ(schedule.lastExamined().time(), QTime(8, 0, 4));

    // A second timer event inside the same second examines nothing again.
    clock.advance(300);
    schedule.Timer1Timer();
    EXPECT_EQ(device.played.size(), 2);
}

TEST_F(ScheduleTest, BigJumpsForwardOrBackAreNotCaughtUp) {
    entry("08:00:00", "08:30:00", song("a.mp3"));
    entry("08:00:20", "08:30:00", song("b.mp3"));
    load();
    runTo(QTime(7, 59, 59));
    clock.advance(11000); // 08:00:10: the system time was set forward
    schedule.Timer1Timer();
    EXPECT_TRUE(device.played.isEmpty());
    EXPECT_EQ(schedule.caughtUpSeconds(), 0);

    // Set back, then far forward: only the current second is examined.
    clock.setTime(QTime(7, 0, 0, 5));
    schedule.Timer1Timer();
    clock.setTime(QTime(8, 0, 20, 5));
    schedule.Timer1Timer();
    EXPECT_EQ(playedNames(), QStringList({"b.mp3"}));
    // The same second again after the time was set back acts again.
    clock.setTime(QTime(7, 0, 0, 5));
    schedule.Timer1Timer();
    clock.setTime(QTime(8, 0, 20, 5));
    schedule.Timer1Timer();
    EXPECT_EQ(playedNames(), QStringList({"b.mp3", "b.mp3"}));
    EXPECT_EQ(schedule.caughtUpSeconds(), 0);
}

TEST_F(ScheduleTest, BackToBackEntrySurvivesThePreviousFadeOut) {
    entry("08:00:00", "08:00:10", song("a.mp3"));
    entry("08:00:10", "08:00:30", song("b.mp3"));
    entry("08:00:31", "08:00:50", song("c.mp3"));
    load();
    EXPECT_EQ(journal(QTime(8, 0, 25)),
              QStringList({"08:00:00 start a.mp3", "08:00:10 start b.mp3"}));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_EQ(device.volume(), 1000);
    EXPECT_EQ(device.fileName(), song("b.mp3"));

    // One second after an end a running fade-out is cut short too.
    EXPECT_EQ(journal(QTime(8, 0, 40)), QStringList({"08:00:30 fade-out", "08:00:31 start c.mp3"}));
    EXPECT_EQ(device.fileName(), song("c.mp3"));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
}

TEST_F(ScheduleTest, EntryIsCuedAheadAndHeardInItsSecondWithTheFadesOnTheSeconds) {
    entry("08:00:00", "08:00:10", song("a.mp3"));
    load();
    runTo(QTime(7, 59, 56));
    EXPECT_TRUE(device.calls.isEmpty());
    second(); // 07:59:57: read and cued, nothing heard
    EXPECT_EQ(device.calls, QStringList({"cue:" + song("a.mp3")}));
    EXPECT_EQ(playback.preparedTime(), QStringLiteral("08:00:00"));
    runTo(QTime(7, 59, 59));
    EXPECT_EQ(device.calls.size(), 1);
    EXPECT_NE(device.mode(), MediaDevice::Mode::Playing);

    // Each second's level, set in that second's tick.
    QStringList levels;
    while (now() != QStringLiteral("08:00:12")) {
        second();
        levels << now().right(2) + QLatin1Char(':') +
                      (device.mode() == MediaDevice::Mode::Playing
                           ? QString::number(device.volume())
                           : QStringLiteral("-"));
    }
    EXPECT_EQ(device.calls.mid(1, 2), QStringList({"playCued:1", "play:1"}));
    EXPECT_EQ(levels,
              QStringList({"00:200", "01:400", "02:600", "03:800", "04:1000", "05:1000", "06:1000",
                           "07:1000", "08:1000", "09:1000", "10:600", "11:200", "12:-"}));
}

TEST_F(ScheduleTest, PreparedEntryEditedOrDeletedBeforeItsSecondIsTakenAsItIsThen) {
    const qlonglong id =
        db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:10:00", song("old.mp3"));
    const QString list = playlist("later.pl3", {song("x.mp3")});
    entry("08:01:00", "08:10:00", list);
    load();
    runTo(QTime(7, 59, 58));
    ASSERT_EQ(playback.preparedTime(), QStringLiteral("08:00:00"));
    // The operator changes the song; the editor closes and the day is reloaded.
    db.exec(QStringLiteral("update sjb set 歌曲列表或歌曲=? where ID=?"), {song("new.mp3"), id});
    load();
    runTo(QTime(8, 0, 5));
    EXPECT_EQ(playedNames(), QStringList({"new.mp3"}));

    // A list rewritten after it was read ahead is read again.
    runTo(QTime(8, 0, 58));
    ASSERT_EQ(playback.preparedTime(), QStringLiteral("08:01:00"));
    QFile::remove(list);
    WritePlaylistFile(list, {song("y.mp3"), song("z.mp3")});
    runTo(QTime(8, 1, 2));
    EXPECT_EQ(playedNames(), QStringList({"new.mp3", "y.mp3"}));

    // Deleted before its second: nothing starts.
    entry("08:02:00", "08:10:00", song("gone.mp3"));
    load();
    runTo(QTime(8, 1, 58));
    ASSERT_EQ(playback.preparedTime(), QStringLiteral("08:02:00"));
    db.exec(QStringLiteral("delete from sjb where 开始时间='08:02:00'"));
    load();
    runTo(QTime(8, 2, 5));
    EXPECT_EQ(playedNames(), QStringList({"new.mp3", "y.mp3"}));
    EXPECT_EQ(device.fileName(), song("y.mp3"));
}

TEST_F(ScheduleTest, EntryWhoseEndIsItsStartIsFadedOutFromItsStartSecond) {
    entry("08:00:00", "08:00:00", song("a.mp3"));
    entry("08:00:10", "08:00:20", song("b.mp3"));
    load();
    EXPECT_EQ(journal(QTime(8, 0, 12)), QStringList({"08:00:00 start a.mp3", "08:00:00 fade-out",
                                                     "08:00:02 stopped", "08:00:10 start b.mp3"}));
    // The back-to-back rule still spares a different entry.
    EXPECT_FALSE(playback.fadeOutOn());
}

TEST_F(ScheduleTest, ReloadLeavesTheGridCursorOnTheFirstRow) {
    db.exec(QStringLiteral("begin"));
    for (int i = 0; i < 100; ++i)
        entry(QTime(9, 0).addSecs(i).toString("HH:mm:ss"), "23:00:00", song("a.mp3"));
    db.exec(QStringLiteral("commit"));
    QSignalSpy moves(db.dm().qry_show, &TQuery::currentRowChanged);
    load();
    EXPECT_LE(moves.count(), 3); // closed, then opened on the first row
    EXPECT_EQ(db.dm().qry_show->currentRow(), 0);
    ASSERT_EQ(schedule.entries().size(), 100);
    EXPECT_EQ(schedule.startTimes().constLast(), QStringLiteral("09:01:39"));
    EXPECT_EQ(schedule.entries().constLast().song, song("a.mp3"));
}

TEST_F(ScheduleTest, DatabaseHeldByAnotherProgramNeverHoldsTheClock) {
    db.setSetting(QStringLiteral("关机提示"), kCountdownOn);
    db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("08:00:05"));
    schedule.loadShutdownTimes();
    int countdowns = 0;
    schedule.setCountdownLauncher([&] { ++countdowns; });
    entry("08:00:00", "08:00:30", song("a.mp3"));
    load();
    runTo(QTime(7, 59, 58));

    // A backup tool takes the write lock: readers are refused too.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "holder");
        other.setDatabaseName(db.path());
        ASSERT_TRUE(other.open());
        QSqlQuery hold(other);
        ASSERT_TRUE(hold.exec(QStringLiteral("begin exclusive")));
        ASSERT_THROW(db.dm().ReadSetting(QStringLiteral("星期一")), DbError);

        QElapsedTimer longest;
        qint64 worst = 0;
        while (now() != QStringLiteral("08:00:10")) {
            longest.start();
            second();
            worst = qMax(worst, longest.elapsed());
        }
        EXPECT_EQ(playedNames(), QStringList({"a.mp3"}));
        EXPECT_EQ(countdowns, 1);
        // Far from SQLite's usual five seconds of waiting for a lock, far
        // above what a busy machine adds to one second's work.
        EXPECT_LT(worst, 3000);

        // The midnight reload fails while the file is held and is tried
        // again each second until it is free.
        clock.set(QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0, 5)));
        schedule.Timer1Timer();
        second();
        EXPECT_EQ(schedule.todayWeekday(), QStringLiteral("星期一")); // the old day still
        EXPECT_EQ(messages.shown().size(), 1);
        second();
        EXPECT_EQ(messages.shown().size(), 1); // told once
        ASSERT_TRUE(hold.exec(QStringLiteral("rollback")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("holder"));
    second();
    EXPECT_EQ(schedule.todayWeekday(), QStringLiteral("星期二"));
}

TEST_F(ScheduleTest, EntryThatCannotStartLeavesTheDayGoing) {
    entry("08:00:00", "08:00:05", missing("gone.pl3"));
    entry("08:00:06", "08:00:20", song("a.mp3"));
    load();
    QSignalSpy failed(&schedule, &ScheduleClock::entryFailed);
    QSignalSpy started(&schedule, &ScheduleClock::entryStarted);
    EXPECT_EQ(journal(QTime(8, 0, 10)), QStringList({"08:00:05 fade-out", "08:00:06 start a.mp3"}));
    ASSERT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toString(), QStringLiteral("08:00:00"));
    EXPECT_EQ(started.count(), 1);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(ScheduleTest, ShutdownWithoutCountdownPowersOffOnceInItsSecond) {
    db.setSetting(QStringLiteral("关机提示"), QStringLiteral("0"));
    schedule.setShutdownTime(0, "08:00:00");
    schedule.setShutdownTime(2, "08:00:00"); // two equal times give one shutdown
    int countdowns = 0;
    schedule.setCountdownLauncher([&] { ++countdowns; });
    runTo(QTime(7, 59, 59));
    EXPECT_EQ(power.calls, 0);
    second();
    EXPECT_EQ(power.calls, 1);
    EXPECT_EQ(countdowns, 0);
    runTo(QTime(8, 0, 30));
    EXPECT_EQ(power.calls, 1);
}

TEST_F(ScheduleTest, ShutdownWithCountdownOpensTheWindowAndDoesNotPowerOff) {
    db.setSetting(QStringLiteral("关机提示"), kCountdownOn);
    db.setSetting(QStringLiteral("定时关机2"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("关机时间2"), QStringLiteral("08:00:00"));
    schedule.loadShutdownTimes();
    QStringList opened;
    schedule.setCountdownLauncher([&] { opened << now(); });
    runTo(QTime(8, 0, 10));
    EXPECT_EQ(opened, QStringList({"08:00:00"}));
    EXPECT_EQ(power.calls, 0);
}

TEST_F(ScheduleTest, RefusedOrUnavailablePowerOffIsReported) {
    db.setSetting(QStringLiteral("关机提示"), QStringLiteral("0"));
    schedule.setShutdownTime(1, "08:00:00");
    power.accept = false;
    runTo(QTime(8, 0, 0));
    EXPECT_EQ(power.calls, 1);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(messages.last().text.contains(power.refusal));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);

    // Nothing installed at all: a message, no crash.
    Services::setPower(nullptr);
    schedule.setShutdownTime(1, "08:00:05");
    runTo(QTime(8, 0, 5));
    EXPECT_EQ(messages.shown().size(), 2);
    Services::setPower(&power);
}

TEST_F(ScheduleTest, EntryDueInTheShutdownSecondStartsWhileTheCountdownIsOpen) {
    db.setSetting(QStringLiteral("关机提示"), kCountdownOn);
    schedule.setShutdownTime(0, "08:00:00");
    entry("08:00:00", "08:30:00", song("a.mp3"));
    entry("08:00:02", "08:30:00", song("b.mp3"));
    load();
    // The countdown keeps the clock busy like a modal window: time goes on and
    // later ticks arrive inside it before the opening tick resumes.
    schedule.setCountdownLauncher([&] {
        for (int i = 0; i < 3; ++i) {
            clock.advance(1000);
            schedule.Timer1Timer();
        }
    });
    runTo(QTime(7, 59, 59));
    second();
    EXPECT_EQ(now(), QStringLiteral("08:00:03"));
    // a (the countdown's own second) started first, b once by the inner ticks.
    EXPECT_EQ(playedNames(), QStringList({"a.mp3", "b.mp3"}));
    EXPECT_EQ(schedule.lastExamined().time(), QTime(8, 0, 3));
    second();
    EXPECT_EQ(device.played.size(), 2);
}

TEST_F(ScheduleTest, AlignedTimerDelayAimsJustPastTheNextSecond) {
    const QDate d(2026, 12, 7);
    EXPECT_EQ(ScheduleClock::msUntilNextSecond(QDateTime(d, QTime(8, 0, 0, 0))), 1005);
    EXPECT_EQ(ScheduleClock::msUntilNextSecond(QDateTime(d, QTime(8, 0, 0, 5))), 1000);
    EXPECT_EQ(ScheduleClock::msUntilNextSecond(QDateTime(d, QTime(8, 0, 0, 998))), 7);
    EXPECT_EQ(ScheduleClock::msUntilNextSecond(QDateTime(d, QTime(8, 0, 0, 400)), 20), 620);
}
} // namespace
