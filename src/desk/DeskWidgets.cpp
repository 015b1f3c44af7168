#include "desk/DeskWidgets.h"

#include "base/Services.h"
#include "base/TimeText.h"
#include "data/datamodule.h"
#include "desk/DayStatus.h"
#include "schedule/ScheduleClock.h"

#include <QBrush>
#include <QColor>
#include <QHBoxLayout>
#include <QTimer>

// ---------------------------------------------------------------- ClockTrustLabel

ClockTrustLabel::ClockTrustLabel(ClockSync* sync, QWidget* parent) : QLabel(parent) {
    setObjectName(QStringLiteral("Label_clocksync"));
    setAlignment(Qt::AlignCenter);
    show(sync ? sync->state() : ClockSync::State::Unknown);
    if (!sync)
        return;
    connect(sync, &ClockSync::stateChanged, this, [this](ClockSync::State s) { show(s); });
    auto* timer = new QTimer(this);
    timer->setInterval(refreshMs);
    connect(timer, &QTimer::timeout, sync, &ClockSync::refresh);
    timer->start();
    // Asked once the window's first paint is out of the way.
    QTimer::singleShot(0, sync, &ClockSync::refresh);
}

void ClockTrustLabel::show(ClockSync::State state) {
    switch (state) {
    case ClockSync::State::NotSynchronized:
        setText(tr("未同步"));
        setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
        setToolTip(tr("系统时钟没有与时间服务器同步，节目可能不准时"));
        break;
    case ClockSync::State::Synchronized:
        setText(QStringLiteral("✓"));
        setStyleSheet(QStringLiteral("color: gray;"));
        setToolTip(tr("系统时钟已与时间服务器同步"));
        break;
    case ClockSync::State::Unknown:
        setText(QString());
        setStyleSheet(QString());
        setToolTip(tr("无法得知系统时钟是否已同步"));
        break;
    }
}

// ---------------------------------------------------------------- NextUpPanel

NextUpPanel::NextUpPanel(ScheduleClock& schedule, const TQuery& day, QWidget* parent)
    : QWidget(parent), m_schedule(schedule), m_day(day) {
    setObjectName(QStringLiteral("NextUpPanel"));
    Label_nextup = new QLabel(this);
    Label_nextup->setObjectName(QStringLiteral("Label_nextup"));
    QFont bold = Label_nextup->font();
    bold.setBold(true);
    Label_nextup->setFont(bold);
    Label_todaysjb = new QLabel(this);
    Label_todaysjb->setObjectName(QStringLiteral("Label_todaysjb"));
    // Shown by the owner near the clock, so it belongs to the owner.
    Label_shutdowns = new QLabel(parent);
    Label_shutdowns->setObjectName(QStringLiteral("Label_shutdowns"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Label_nextup);
    layout->addStretch();
    layout->addWidget(Label_todaysjb);
    connect(&schedule, &ScheduleClock::timetableLoaded, this, &NextUpPanel::refresh);
    connect(&schedule, &ScheduleClock::ticked, this, &NextUpPanel::refresh);
    refresh();
}

void NextUpPanel::refresh() {
    const QDateTime now = Services::clock().now();
    const int row = DayStatus::nextRow(m_day, now.time());
    if (row < 0) {
        Label_nextup->setText(tr("下一个：今天没有更多节目"));
    } else {
        const QString start =
            m_day.valueAt(row, m_day.columnIndex(QStringLiteral("开始时间"))).toString();
        const QString name =
            m_day.valueAt(row, m_day.columnIndex(QStringLiteral("名称"))).toString();
        const QTime at = QTime::fromString(start, QStringLiteral("HH:mm:ss"));
        // Whole seconds, rounded up: "0:00:01" until the very second it starts.
        const int left = at.isValid() ? (now.time().msecsTo(at) + 999) / 1000 : 0;
        Label_nextup->setText(
            tr("下一个：%1 %2（还有 %3）").arg(start, name, DayStatus::countdownText(left)));
    }
    const DayPlan& plan = m_schedule.todayPlan();
    QString timetable = plan.timetable.isEmpty() ? tr("（未设置）") : plan.timetable;
    if (plan.timetable == DayCalendar::nothing)
        timetable = tr("无（今天不播音）");
    if (plan.exception) {
        Label_todaysjb->setText(
            tr("今天是例外日期%1，播放：%2")
                .arg(plan.note.isEmpty() ? QString() : tr("（%1）").arg(plan.note), timetable));
        Label_todaysjb->setStyleSheet(QStringLiteral("color: #b05000;"));
    } else {
        Label_todaysjb->setText(tr("今日时间表：%1").arg(timetable));
        Label_todaysjb->setStyleSheet(QString());
    }
    QStringList times;
    for (int i = 0; i < 3; ++i) {
        const QString t = m_schedule.shutdownTime(i);
        if (t != QLatin1String(TimeText::noShutdown) && !times.contains(t))
            times << t;
    }
    times.sort();
    Label_shutdowns->setText(times.isEmpty()
                                 ? tr("今日不定时关机")
                                 : tr("今日关机：%1").arg(times.join(QLatin1Char(' '))));
}

// ---------------------------------------------------------------- DayGridModel

DayGridModel::DayGridModel(TQuery& day, DayStatus& status, QObject* parent)
    : QIdentityProxyModel(parent), m_day(day), m_status(status) {
    setSourceModel(&day);
    connect(&status, &DayStatus::changed, this, &DayGridModel::refreshStates);
}

QString DayGridModel::startOf(int row) const {
    return m_day.valueAt(row, m_day.columnIndex(QStringLiteral("开始时间"))).toString();
}

QVariant DayGridModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::BackgroundRole && index.isValid()) {
        switch (m_status.state(startOf(index.row()), Services::clock().now())) {
        case DayStatus::State::Playing:
            return QBrush(QColor(0x7c, 0xe0, 0x7c));
        case DayStatus::State::Played:
            return QBrush(QColor(0xd8, 0xd8, 0xd8));
        case DayStatus::State::Failed:
            return QBrush(QColor(0xff, 0x9a, 0x9a));
        case DayStatus::State::Missed:
            return QBrush(QColor(0xff, 0xd2, 0x80));
        case DayStatus::State::ToCome:
            return {};
        }
    }
    return QIdentityProxyModel::data(index, role);
}

QVariant DayGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && role == Qt::DisplayRole && section >= 0 &&
        section < m_day.recordCount())
        return DayStatus::text(m_status.state(startOf(section), Services::clock().now()));
    return QIdentityProxyModel::headerData(section, orientation, role);
}

void DayGridModel::refreshStates() {
    const int rows = rowCount();
    if (rows == 0)
        return;
    emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1), {Qt::BackgroundRole});
    emit headerDataChanged(Qt::Vertical, 0, rows - 1);
}
