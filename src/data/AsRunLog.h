#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;
class TDataModule1;

// One line of the as-run log: what happened on the air, and when.
struct LogRow {
    QDateTime at;      // wall-clock time, to the millisecond
    QString kind;      // one of the LogKind codes
    QString timetable; // the timetable of the entry, if any
    QString start;     // the entry's start time "hh:mm:ss", if any
    QString entry;     // the entry's name
    QString path;      // the song or song list concerned
    QString detail;    // the reason of a failure, and the like
};

// The kinds of log rows, as stored and exported.
namespace LogKind {
inline const QString start = QStringLiteral("start");       // an entry started
inline const QString song = QStringLiteral("song");         // the next song of a list
inline const QString end = QStringLiteral("end");           // an end time stopped the entry
inline const QString stop = QStringLiteral("stop");         // stopped by hand
inline const QString pick = QStringLiteral("pick");         // a song played by hand
inline const QString failure = QStringLiteral("failure");   // could not be played
inline const QString missed = QStringLiteral("missed");     // its second was never seen
inline const QString shutdown = QStringLiteral("shutdown"); // a shutdown time came
const QStringList& all();
// The operator's word for a kind ("开始", "换曲" …); the code itself when unknown.
QString label(const QString& kind);
} // namespace LogKind

// The as-run log in table asrun_log. Rows are kept in memory and written in
// one go shortly after; when the database is busy or cannot be written they
// stay in memory and the write is tried again, so the schedule never waits
// on the log and nothing is lost while the program runs.
class AsRunLog : public QObject {
    Q_OBJECT
public:
    static constexpr int retryMs = 2000;

    explicit AsRunLog(TDataModule1& dm, QObject* parent = nullptr);
    ~AsRunLog() override;

    // Keeps the row and schedules a write.
    void append(const LogRow& row);
    // Writes every kept row in one transaction. False (rows kept, a retry
    // scheduled) when the database refused.
    bool flush();
    int pending() const { return int(m_pending.size()); }

    // Rows of the days from … to (inclusive), oldest first, those not yet
    // written included; only the given kinds when kinds is not empty.
    // Throws DbError when the table cannot be read.
    QList<LogRow> rows(const QDate& from, const QDate& to, const QStringList& kinds = {});
    // Removes the rows older than keepDays days before today. Returns how
    // many went; -1 when the database refused (tried again next time).
    int prune(const QDate& today, int keepDays);

    // The CSV of rows: UTF-8, a header row, fields quoted where they hold a
    // comma, a quote or a line break; times "yyyy-MM-dd HH:mm:ss.zzz".
    static QByteArray csv(const QList<LogRow>& rows);
    static QString timeText(const QDateTime& at);

signals:
    // A row was appended (the desk's row states follow it).
    void appended(const LogRow& row);

private:
    TDataModule1& m_dm;
    QList<LogRow> m_pending;
    QTimer* m_flushTimer;
};
