#pragma once

#include "editing/PlaylistFile.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"
#include "support/FakeClock.h"
#include "support/FakeMediaDevice.h"
#include "support/FakePowerControl.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <deque>
#include <gtest/gtest.h>
#include <random>

// A Monday with the timetable "工作日", the schedule and the playback on a fake
// device. Time moves only when the test says so.
class ScheduleFixture : public ::testing::Test {
protected:
    // 2026-12-07 is a Monday; the aligned timer fires 5 ms into each second.
    ScheduleFixture() : clock(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 55, 5))) {
        db.setSetting(QStringLiteral("星期一"), QStringLiteral("工作日"));
        playback.setDevice(&device);
        schedule.setPlayback(&playback);
        // Scripted draws when queued, else a seeded generator.
        playback.setRandomSource([this](int n) {
            if (!draws.empty()) {
                const int d = draws.front();
                draws.pop_front();
                return d;
            }
            return int(rng() % unsigned(n));
        });
    }

    QString song(const QString& name) { return db.writeFile(name); }
    QString missing(const QString& name) { return QDir(db.dir()).filePath(name); }
    QString playlist(const QString& name, const QStringList& songs) {
        const QString path = QDir(db.dir()).filePath(name);
        WritePlaylistFile(path, songs);
        return path;
    }
    void entry(const QString& start, const QString& end, const QString& songOrList,
               const QString& mode = QStringLiteral("顺序播放")) {
        db.addEntry(QStringLiteral("工作日"), start, end, songOrList, mode);
    }
    void load() { schedule.LoadTodayTimetable(); }

    // One wall-clock second: Timer1 a few ms after it begins, then Timer_process.
    void second() {
        clock.advance(1000);
        schedule.Timer1Timer();
        playback.processTick();
    }
    void runTo(const QTime& t) {
        for (int guard = 0; clock.now().time().toString("HH:mm:ss") != t.toString("HH:mm:ss");
             ++guard) {
            ASSERT_LT(guard, 100000);
            second();
        }
    }
    QString now() const { return clock.now().time().toString(QStringLiteral("HH:mm:ss")); }
    QStringList playedNames() const {
        QStringList names;
        for (const QString& p : device.played)
            names << QFileInfo(p).fileName();
        return names;
    }

    TestDatabase db;
    FakeClock clock;
    RecordingMessageService messages;
    FakePowerControl power;
    FakeMediaDevice device;
    ScheduleClock schedule{db.dm()};
    ScheduledPlayback playback{db.dm(), schedule};
    std::deque<int> draws;
    std::mt19937 rng{20261207};
};
