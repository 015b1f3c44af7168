#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

class AsRunLog;
class ScheduleClock;
class ScheduledPlayback;
class TQuery;
struct LogRow;

// Where each of today's entries stands, from the as-run log and the playback.
class DayStatus : public QObject {
    Q_OBJECT
public:
    enum class State { ToCome, Playing, Played, Failed, Missed };

    DayStatus(AsRunLog& log, ScheduleClock& schedule, ScheduledPlayback& playback,
              QObject* parent = nullptr);

    // Re-reads today's outcomes from the log (after a reload of today's timetable).
    void reload();
    State state(const QString& start, const QDateTime& now) const;
    // The words shown beside a row, so that no one depends on its colour.
    static QString text(State state);

    // The next entry of today after now: its row in the day's rows, or -1.
    static int nextRow(const TQuery& day, const QTime& now);
    // "0:12:34" until then.
    static QString countdownText(int seconds);

signals:
    void changed();

private:
    void take(const LogRow& row);

    AsRunLog& m_log;
    ScheduleClock& m_schedule;
    QHash<QString, QString> m_outcome; // start time -> last kind of today's log
    QString m_playing;                 // start time of the entry on the air
};
