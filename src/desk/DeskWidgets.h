#pragma once

#include "platform/ClockSync.h"

#include <QIdentityProxyModel>
#include <QLabel>
#include <QWidget>

class DayStatus;
class ScheduleClock;
class TQuery;

// Beside the clock: "未同步" in red when the system clock is not kept in
// step; a quiet mark when it is; nothing when nobody can tell.
class ClockTrustLabel : public QLabel {
    Q_OBJECT
public:
    static constexpr int refreshMs = 60000;
    // sync may be null (no way to ask); it is not owned.
    explicit ClockTrustLabel(ClockSync* sync, QWidget* parent = nullptr);
    void show(ClockSync::State state);
};

// What comes next today: the next entry with a countdown, today's timetable
// (and whether today is an exception) and today's shutdown times.
class NextUpPanel : public QWidget {
    Q_OBJECT
public:
    NextUpPanel(ScheduleClock& schedule, const TQuery& day, QWidget* parent = nullptr);
    // Re-reads the clock and the day's rows (every tick and after a reload).
    void refresh();

    QLabel* Label_nextup;    // "下一个：08:00:00 早操（还有 0:12:34）"
    QLabel* Label_todaysjb;  // "今日时间表：正常作息" or the exception
    QLabel* Label_shutdowns; // "今日关机：12:00:00", a child of the panel's parent

private:
    ScheduleClock& m_schedule;
    const TQuery& m_day;
};

// Today's grid with each row's state: a colour and, for those who cannot
// tell the colours apart, the words in the row header.
class DayGridModel : public QIdentityProxyModel {
    Q_OBJECT
public:
    DayGridModel(TQuery& day, DayStatus& status, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Repaints the states (every tick, and when the log or playback changes).
    void refreshStates();

private:
    QString startOf(int row) const;
    TQuery& m_day;
    DayStatus& m_status;
};
