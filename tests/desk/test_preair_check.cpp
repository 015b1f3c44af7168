// Every finding of the pre-air check on a prepared timetable, none on a clean one.
#include "data/DayCalendar.h"
#include "desk/CheckRunner.h"
#include "desk/PreAirCheck.h"
#include "editing/PlaylistFile.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QTime>
#include <gtest/gtest.h>

namespace {
const QDate monday(2026, 12, 7);

QStringList lines(const QList<PreAirCheck::Finding>& findings) {
    QStringList list;
    for (const PreAirCheck::Finding& f : findings)
        list << f.line();
    return list;
}

class CheckTest : public ::testing::Test {
protected:
    CheckTest() { db.setSetting(QStringLiteral("星期一"), QStringLiteral("正常作息")); }
    QString list(const QString& name, const QStringList& songs) {
        const QString path = QDir(db.dir()).filePath(name);
        WritePlaylistFile(path, songs);
        return path;
    }
    void add(const QString& name, const QString& start, const QString& end, const QString& path,
             const QString& duration = QStringLiteral("0:10:00"),
             const QString& mode = QStringLiteral("顺序播放")) {
        db.exec(
            QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,播放方式,"
                           "时间表名称) values(?,?,?,?,?,?,'正常作息')"),
            {name, start, end, path, duration, mode});
    }
    TestDatabase db;
};
} // namespace

TEST_F(CheckTest, ACleanDayHasNoFindings) {
    add("早操", "06:30:00", "06:40:00", db.writeFile("a.mp3"));
    add("午间", "12:00:00", "12:30:00", list("noon.pl3", {db.writeFile("b.mp3")}));
    // Back to back, and past midnight by intent (its length says 2:00:00).
    add("晚自习", "12:30:00", "13:00:00", db.writeFile("c.mp3"));
    add("通宵", "23:00:00", "01:00:00", db.writeFile("d.mp3"), "2:00:00");
    db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("22:00:00"));
    EXPECT_EQ(lines(PreAirCheck::run(db.dm(), monday)), QStringList());
    // A weekday set to "无" is a day off, not a fault.
    db.setSetting(QStringLiteral("星期二"), QStringLiteral("无"));
    EXPECT_TRUE(PreAirCheck::run(db.dm(), monday.addDays(1)).isEmpty());
}

TEST_F(CheckTest, EveryKindOfProblemIsFoundWithItsEntryAndFile) {
    const QString gone = QDir(db.dir()).filePath("gone.mp3");
    add("缺歌", "06:00:00", "06:05:00", gone);
    add("缺列表", "06:10:00", "06:15:00", QDir(db.dir()).filePath("gone.pl3"));
    add("空列表", "06:20:00", "06:25:00", list("empty.pl3", {}));
    add("坏列表", "06:30:00", "06:35:00", list("holes.pl3", {db.writeFile("ok.mp3"), gone, ""}));
    add("倒挂", "07:00:00", "06:50:00", db.writeFile("e.mp3"), "0:10:00");
    add("甲", "08:00:00", "08:30:00", db.writeFile("f.mp3"));
    add("乙", "08:20:00", "08:40:00", db.writeFile("g.mp3"));
    add("丙", "09:00:00", "09:10:00", db.writeFile("h.mp3"));
    add("丁", "09:00:00", "09:05:00", db.writeFile("i.mp3"), "0:05:00", "随便");
    db.setSetting(QStringLiteral("定时关机2"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("关机时间2"), QStringLiteral("09:02:00"));

    const QStringList found = lines(PreAirCheck::run(db.dm(), monday));
    const QString dir = db.dir();
    EXPECT_EQ(found,
              QStringList({
                  "06:00:00 缺歌：歌曲文件不存在 (" + gone + ")",
                  "06:10:00 缺列表：歌曲列表文件不存在 (" + dir + "/gone.pl3)",
                  "06:20:00 空列表：歌曲列表是空的 (" + dir + "/empty.pl3)",
                  "06:30:00 坏列表：歌曲列表 holes.pl3 第 2 行的歌曲不存在 (" + gone + ")",
                  "06:30:00 坏列表：歌曲列表 holes.pl3 第 3 行是空行 (" + dir + "/holes.pl3)",
                  "07:00:00 倒挂：结束时间 06:50:00 早于开始时间",
                  "09:00:00 丁：播放方式“随便”不是四种播放方式之一",
                  "08:00:00 甲：与“乙”（08:20:00–08:40:00）的时间重叠",
                  "09:00:00 丙：与“丁”（09:00:00–09:05:00）的开始时间相同，只会播放其中一个",
                  "09:00:00 丙：定时关机时间 09:02:00 在播放期间",
                  "09:00:00 丁：定时关机时间 09:02:00 在播放期间",
              }));
}

TEST_F(CheckTest, DaysWithoutATimetableOrWithAMissingOneAreFound) {
    db.setSetting(QStringLiteral("星期二"), QString());
    db.setSetting(QStringLiteral("星期三"), QStringLiteral("旧作息"));
    EXPECT_EQ(lines(PreAirCheck::run(db.dm(), monday.addDays(1))),
              QStringList({"星期二没有设置时间表"}));
    EXPECT_EQ(lines(PreAirCheck::run(db.dm(), monday.addDays(2))),
              QStringList({"星期三的时间表“旧作息”不存在"}));
    // The exception of a date is what gets checked.
    DayException sports{0, monday.addDays(2), monday.addDays(2), QStringLiteral("正常作息"), {}};
    ASSERT_TRUE(DayCalendar(db.dm()).add(sports));
    add("缺歌", "06:00:00", "06:05:00", QDir(db.dir()).filePath("x.mp3"));
    const PreAirCheck::Input input = PreAirCheck::gather(db.dm(), monday.addDays(2));
    EXPECT_TRUE(input.plan.exception);
    EXPECT_EQ(PreAirCheck::examine(input).size(), 1);
}

namespace {
int threadCount() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}
} // namespace

// The check uses the application; a desk that goes away while one runs does
// not leave it running on into the program's end.
TEST_F(CheckTest, ARunnerThatGoesAwayDoesNotLeaveItsCheckRunning) {
    QStringList songs;
    for (int i = 0; i < 100; ++i)
        songs << QDir(db.dir()).filePath(QStringLiteral("missing%1.mp3").arg(i));
    const QString songList = list(QStringLiteral("long.pl3"), songs);
    for (int i = 0; i < 400; ++i)
        add(QStringLiteral("节目%1").arg(i), QTime(6, 0).addSecs(i * 20).toString("HH:mm:ss"),
            QTime(6, 0).addSecs(i * 20 + 10).toString("HH:mm:ss"), songList);
    const int before = threadCount();
    {
        CheckRunner runner(db.dm());
        runner.check(monday);
        EXPECT_GT(threadCount(), before);
    }
    // A moment for the finished thread to be gone; the check itself takes longer.
    QElapsedTimer gone;
    gone.start();
    while (threadCount() != before && gone.elapsed() < 50)
        QThread::msleep(1);
    EXPECT_EQ(threadCount(), before);
}
