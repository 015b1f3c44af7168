#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TDataModule1;
class TQuery;

// What the timetable editor does with the database, without its widgets.
// Every editor has its own grid and import queries, so two open editors never
// show or write each other's timetable.
class TimetableEditor : public QObject {
    Q_OBJECT
public:
    enum class Order { StartTime, Id };
    enum class ImportResult { NothingChosen, SourceEmpty, Failed, Done };

    explicit TimetableEditor(TDataModule1& dm, QObject* parent = nullptr);

    // The rows of the shown timetable, with the current row the grid marks.
    TQuery& rows() { return *m_rows; }

    // select name from sjbmc: the names in stored order, blank ones skipped.
    QStringList timetableNames();

    QString timetable() const { return m_timetable; }
    void setTimetable(const QString& name) { m_timetable = name; }

    // Reloads the shown timetable, by start time or in storage order.
    void load(Order order);
    // After a modify: reload by start time and make the row with this id
    // current again (the first row stays current when it is gone).
    void reloadKeeping(const QString& id);
    // The current row's ID as text; empty when there is no row.
    QString currentId() const;

    // Asks, deletes the current row on OK, then reloads by start time.
    void deleteCurrent();

    // Copies every entry of source (by start time) into the shown timetable,
    // then reloads by start time. An empty source shows "源时间表为空，不能导入!";
    // an insert that fails shows "导入失败!" and stops there, without a reload.
    ImportResult importFrom(const QString& source);

private:
    TDataModule1& m_dm;
    TQuery* m_rows;
    TQuery* m_source;
    QString m_timetable;
};
