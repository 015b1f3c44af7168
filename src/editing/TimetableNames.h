#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TDataModule1;

// The timetables themselves: their names in sjbmc, with everything that
// refers to a name (its entries in sjb, the weekday settings, the exception
// calendar) kept in step. Each change runs in one transaction.
class TimetableNames : public QObject {
    Q_OBJECT
public:
    explicit TimetableNames(TDataModule1& dm, QObject* parent = nullptr);

    // Why a new name cannot be used (empty, "无", taken); empty when it can.
    QString problemWith(const QString& name);

    // Each returns false after saying why (a message) when it cannot be done.
    bool create(const QString& name);
    // Renames the timetable and every weekday, entry and exception using it.
    bool rename(const QString& from, const QString& to);
    // A new timetable with a copy of every entry of source.
    bool copy(const QString& source, const QString& name);
    // Where a timetable is used: "星期一", "例外日期 2026-10-01 至 2026-10-07" …
    QStringList usage(const QString& name);
    // Asks first, naming where the timetable is used; then removes it with
    // its entries, and the weekdays and exceptions that used it play nothing.
    bool remove(const QString& name);

signals:
    // A timetable was made, renamed, copied or removed.
    void changed();

private:
    bool exists(const QString& name);
    // Runs the statements in one transaction; false (rolled back) on error.
    bool inTransaction(const QList<QPair<QString, QVariantList>>& statements);

    TDataModule1& m_dm;
};
