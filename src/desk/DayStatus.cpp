#include "desk/DayStatus.h"

#include "base/Services.h"
#include "data/AsRunLog.h"
#include "data/datamodule.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"

#include <QCoreApplication>

DayStatus::DayStatus(AsRunLog& log, ScheduleClock& schedule, ScheduledPlayback& playback,
                     QObject* parent)
    : QObject(parent), m_log(log), m_schedule(schedule) {
    connect(&log, &AsRunLog::appended, this, [this](const LogRow& row) {
        take(row);
        emit changed();
    });
    connect(&playback, &ScheduledPlayback::entryStarted, this, [this](const QString& t) {
        m_playing = t;
        emit changed();
    });
    auto off = [this] {
        m_playing.clear();
        emit changed();
    };
    connect(&playback, &ScheduledPlayback::entryEnded, this, off);
    connect(&playback, &ScheduledPlayback::stoppedByHand, this, off);
    connect(&schedule, &ScheduleClock::timetableLoaded, this, &DayStatus::reload);
}

void DayStatus::take(const LogRow& row) {
    if (row.timetable != m_schedule.todaySjb() || row.start.isEmpty())
        return;
    // A song of a running entry that fails does not make the entry failed.
    if (row.kind == LogKind::failure && m_outcome.value(row.start) == LogKind::start)
        return;
    if (row.kind == LogKind::start || row.kind == LogKind::failure || row.kind == LogKind::missed)
        m_outcome[row.start] = row.kind;
}

void DayStatus::reload() {
    m_outcome.clear();
    try {
        const QDate day = Services::clock().now().date();
        for (const LogRow& r : m_log.rows(day, day))
            take(r);
    } catch (const std::exception&) {
        // Without the log the rows show what the clock says.
    }
    emit changed();
}

DayStatus::State DayStatus::state(const QString& start, const QDateTime& now) const {
    const QString kind = m_outcome.value(start);
    if (kind == LogKind::start)
        return start == m_playing ? State::Playing : State::Played;
    if (kind == LogKind::failure)
        return State::Failed;
    if (kind == LogKind::missed)
        return State::Missed;
    return start >= now.time().toString(QStringLiteral("HH:mm:ss")) ? State::ToCome : State::Missed;
}

QString DayStatus::text(State state) {
    switch (state) {
    case State::ToCome:
        return QCoreApplication::translate("DayStatus", "待播");
    case State::Playing:
        return QCoreApplication::translate("DayStatus", "▶ 正在播放");
    case State::Played:
        return QCoreApplication::translate("DayStatus", "✓ 已播");
    case State::Failed:
        return QCoreApplication::translate("DayStatus", "✗ 失败");
    case State::Missed:
        return QCoreApplication::translate("DayStatus", "– 错过");
    }
    return {};
}

int DayStatus::nextRow(const TQuery& day, const QTime& now) {
    const int column = day.columnIndex(QStringLiteral("开始时间"));
    const QString t = now.toString(QStringLiteral("HH:mm:ss"));
    int best = -1;
    QString bestStart;
    for (int row = 0; column >= 0 && row < day.recordCount(); ++row) {
        const QString start = day.valueAt(row, column).toString();
        if (start > t && (best < 0 || start < bestStart)) {
            best = row;
            bestStart = start;
        }
    }
    return best;
}

QString DayStatus::countdownText(int seconds) {
    seconds = qMax(0, seconds);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
