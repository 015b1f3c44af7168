#include "ToneFiles.h"
#include "base/Services.h"
#include "editing/PlaylistFile.h"
#include "platform/GstMediaDevice.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
// The time of day going on in real time from a set moment (a Monday just
// before eight), so the schedule runs as it does all day.
class RunningClock : public Clock {
public:
    explicit RunningClock(QDateTime start) : m_start(std::move(start)) {
        m_elapsed.start();
        Services::setClock(this);
    }
    ~RunningClock() override { Services::setClock(nullptr); }
    QDateTime now() const override { return m_start.addMSecs(m_elapsed.elapsed()); }

private:
    QDateTime m_start;
    QElapsedTimer m_elapsed;
};
} // namespace

TEST(BrokenListTest, AThousandBrokenSongsBeforeTheGoodOneNeverHoldTheClock) {
    GstMediaDevice::initGStreamer();
    TestDatabase db;
    RecordingMessageService messages;
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("工作日"));

    // 700 songs that are gone and 300 that nothing can decode, then a good one.
    QStringList songs;
    QRandomGenerator random(12);
    for (int i = 0; i < 1000; ++i) {
        const QString name = QDir(db.dir()).filePath(QStringLiteral("broken%1.mp3").arg(i));
        if (i % 10 < 7) {
            songs << name;
            continue;
        }
        QByteArray bytes(2048, '\0');
        for (char& c : bytes)
            c = char(random.bounded(256));
        songs << db.writeFile(QFileInfo(name).fileName(), bytes);
    }
    const QString good = QDir(db.dir()).filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(tone::writeWav(good, 4000));
    songs << good;
    const QString list = QDir(db.dir()).filePath(QStringLiteral("broken.pl3"));
    WritePlaylistFile(list, songs);
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:00:40", list, QStringLiteral("顺序播放"));

    RunningClock clock(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 57, 500)));
    GstMediaDevice device;
    ScheduleClock schedule(db.dm());
    ScheduledPlayback playback(db.dm(), schedule);
    playback.setDevice(&device);
    schedule.setPlayback(&playback);
    schedule.LoadTodayTimetable();

    // Timer1 as the main window runs it: a single shot aimed just past each
    // second; the fades' tick with it.
    QList<QDateTime> examined;
    qint64 secondsExamined = 0;
    QObject::connect(&schedule, &ScheduleClock::ticked,
                     [&](int, int caughtUp) { secondsExamined += 1 + caughtUp; });
    QSignalSpy started(&schedule, &ScheduleClock::entryStarted);
    QSignalSpy skipped(&schedule, &ScheduleClock::secondsSkipped);
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        schedule.Timer1Timer();
        examined << schedule.lastExamined();
        playback.processTick();
        timer.start(ScheduleClock::msUntilNextSecond(clock.now()));
    });
    timer.start(ScheduleClock::msUntilNextSecond(clock.now()));

    // The good song is reached, and heard.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return device.fileName() == good && device.mode() == MediaDevice::Mode::Playing &&
                   device.position() > 0;
        },
        60000))
        << "now playing: " << device.fileName().toStdString();
    // A few seconds more of the clock while the song plays.
    const QTime until = clock.now().time().addSecs(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return clock.now().time() > until; }, 20000));
    timer.stop();

    ASSERT_EQ(started.count(), 1);
    EXPECT_EQ(started.at(0).at(0).toString(), QStringLiteral("08:00:00"));
    // Every second from the first tick on was examined, once and in order
    // (a late tick examines the seconds it missed: it must not have lost any).
    ASSERT_GE(examined.size(), 2);
    for (qsizetype i = 1; i < examined.size(); ++i)
        ASSERT_LT(examined[i - 1], examined[i]) << i;
    EXPECT_EQ(secondsExamined, examined.first().secsTo(examined.last()) + 1);
    EXPECT_LE(examined.first().time(), QTime(8, 0, 0));
    EXPECT_EQ(skipped.count(), 0);
    // Broken songs of a list are passed over without a box for each.
    EXPECT_LE(messages.shown().size(), 1);
}
