#pragma once

#include "data/AsRunLog.h"

#include <QDateTime>
#include <QObject>
#include <QString>

class ScheduleClock;
class ScheduledPlayback;
class TDataModule1;

// Writes what happens on the air into the as-run log: it listens to the
// schedule clock and the scheduled playback and changes neither. It also
// notes the entries whose second was never seen (the program was not
// running, the machine slept) and removes old rows at midnight.
class AsRunRecorder : public QObject {
    Q_OBJECT
public:
    AsRunRecorder(TDataModule1& dm, AsRunLog& log, ScheduleClock& schedule,
                  ScheduledPlayback& playback, QObject* parent = nullptr);

    // At start-up, after today's timetable is loaded: today's entries that
    // started before now and have nothing in the log were missed.
    void noteMissedBeforeStart();
    // Removes rows older than the kept days (the setting "日志保留天数").
    void prune();

    static inline const QString notRunning = QStringLiteral("程序未运行");

private:
    LogRow rowFor(const QString& kind, const QString& start, const QDateTime& at = {}) const;
    QDateTime now() const;
    void noteSkipped(const QDateTime& from, const QDateTime& to);
    void onFailed(const QString& path, const QString& reason);

    TDataModule1& m_dm;
    AsRunLog& m_log;
    ScheduleClock& m_schedule;
    ScheduledPlayback& m_playback;
    QString m_current;          // start time of the entry being played, if any
    QString m_starting;         // start time of the entry being started, if any
    bool m_startFailed = false; // the entry being started has its failure logged
};
