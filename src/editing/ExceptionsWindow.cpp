#include "editing/ExceptionsWindow.h"

#include "base/MessageService.h"
#include "base/Services.h"
#include "data/DataModuleUi.h"
#include "data/WindowPlace.h"
#include "data/datamodule.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

ExceptionsWindow::ExceptionsWindow(TDataModule1& dm, QWidget* owner)
    : QWidget(owner, Qt::Window), m_dm(dm), m_calendar(dm) {
    setObjectName(QStringLiteral("Form_exceptions"));
    setWindowTitle(tr("例外日期"));
    setAttribute(Qt::WA_DeleteOnClose);

    Grid_days = new QTableWidget(0, 4, this);
    Grid_days->setObjectName(QStringLiteral("Grid_days"));
    Grid_days->setHorizontalHeaderLabels(
        {tr("开始日期"), tr("结束日期"), tr("播放的时间表"), tr("说明")});
    Grid_days->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid_days->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid_days->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid_days->verticalHeader()->setVisible(false);
    Grid_days->horizontalHeader()->setStretchLastSection(true);
    const QDate today = Services::clock().now().date();
    auto dateEdit = [this, today](const char* name) {
        auto* edit = new QDateEdit(today, this);
        edit->setObjectName(QLatin1String(name));
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        return edit;
    };
    DateEdit_first = dateEdit("DateEdit_first");
    DateEdit_last = dateEdit("DateEdit_last");
    ComboBox_timetable = new QComboBox(this);
    ComboBox_timetable->setObjectName(QStringLiteral("ComboBox_timetable"));
    Edit_note = new QLineEdit(this);
    Edit_note->setObjectName(QStringLiteral("Edit_note"));
    Edit_note->setPlaceholderText(tr("例如：国庆节、期末考试、运动会"));
    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        return b;
    };
    Button_add = button("Button_add", tr("增加"));
    Button_update = button("Button_update", tr("修改"));
    Button_delete = button("Button_delete", tr("删除"));
    Button_close = button("Button_close", tr("关闭"));

    auto* form = new QGridLayout;
    form->addWidget(new QLabel(tr("从："), this), 0, 0);
    form->addWidget(DateEdit_first, 0, 1);
    form->addWidget(new QLabel(tr("到："), this), 0, 2);
    form->addWidget(DateEdit_last, 0, 3);
    form->addWidget(new QLabel(tr("播放："), this), 1, 0);
    form->addWidget(ComboBox_timetable, 1, 1, 1, 3);
    form->addWidget(new QLabel(tr("说明："), this), 2, 0);
    form->addWidget(Edit_note, 2, 1, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button_add);
    buttons->addWidget(Button_update);
    buttons->addWidget(Button_delete);
    buttons->addStretch();
    buttons->addWidget(Button_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(tr("这些日期不按星期播放，而播放指定的时间表（“无”表示不播音）："), this));
    layout->addWidget(Grid_days, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    WindowPlace::remember(this, QSize(600, 420));
    // Esc closes it, as it closes the dialogs.
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);

    connect(Button_add, &QPushButton::clicked, this, &ExceptionsWindow::addException);
    connect(Button_update, &QPushButton::clicked, this, &ExceptionsWindow::updateSelected);
    connect(Button_delete, &QPushButton::clicked, this, &ExceptionsWindow::removeSelected);
    connect(Button_close, &QPushButton::clicked, this, &QWidget::close);
    connect(Grid_days, &QTableWidget::itemSelectionChanged, this, &ExceptionsWindow::showSelected);

    try {
        QStringList names;
        m_dm.FillListFromQuery(*m_dm.qry_temp, QStringLiteral("select name from sjbmc"), names);
        names << DayCalendar::nothing;
        CopyListToCombo(names, ComboBox_timetable);
        ComboBox_timetable->setCurrentIndex(int(names.size()) - 1);
    } catch (const std::exception& e) {
        msg::report(e);
    }
    load();
}

void ExceptionsWindow::load() {
    try {
        m_days = m_calendar.all();
    } catch (const std::exception& e) {
        m_days.clear();
        msg::report(e);
    }
    Grid_days->setRowCount(int(m_days.size()));
    for (int i = 0; i < m_days.size(); ++i) {
        const DayException& e = m_days[i];
        const QString cells[] = {
            e.first.toString(QStringLiteral("yyyy-MM-dd")),
            e.last.toString(QStringLiteral("yyyy-MM-dd")),
            e.timetable == DayCalendar::nothing ? tr("无（不播音）") : e.timetable, e.note};
        for (int c = 0; c < 4; ++c)
            Grid_days->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    Grid_days->resizeColumnsToContents();
}

bool ExceptionsWindow::fromFields(DayException* e) {
    e->first = DateEdit_first->date();
    e->last = DateEdit_last->date();
    e->timetable = ComboBox_timetable->currentText();
    e->note = Edit_note->text().trimmed();
    if (e->last < e->first) {
        msg::error(tr("结束日期不能早于开始日期。"));
        return false;
    }
    if (e->timetable.isEmpty()) {
        msg::error(tr("请选择要播放的时间表，或选择“无”。"));
        return false;
    }
    return true;
}

bool ExceptionsWindow::addException() {
    DayException e;
    if (!fromFields(&e))
        return false;
    if (!m_calendar.add(e)) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    load();
    return true;
}

bool ExceptionsWindow::updateSelected() {
    const int row = Grid_days->currentRow();
    if (row < 0 || row >= m_days.size())
        return false;
    DayException e = m_days[row];
    if (!fromFields(&e))
        return false;
    if (!m_calendar.update(e)) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    load();
    return true;
}

bool ExceptionsWindow::removeSelected() {
    const int row = Grid_days->currentRow();
    if (row < 0 || row >= m_days.size())
        return false;
    if (!msg::confirm(tr("确定要删除此行数据吗?")))
        return false;
    if (!m_calendar.remove(m_days[row].id)) {
        msg::error(tr("数据库写入出错!"));
        return false;
    }
    load();
    return true;
}

void ExceptionsWindow::showSelected() {
    const int row = Grid_days->currentRow();
    if (row < 0 || row >= m_days.size())
        return;
    const DayException& e = m_days[row];
    DateEdit_first->setDate(e.first);
    DateEdit_last->setDate(e.last);
    ComboBox_timetable->setCurrentIndex(ComboBox_timetable->findText(e.timetable));
    Edit_note->setText(e.note);
}

void ExceptionsWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closed();
}
