#pragma once

#include "data/DayCalendar.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDataModule1;

// "例外日期": dates or ranges of dates that play another timetable, or none.
class ExceptionsWindow : public QWidget {
    Q_OBJECT
public:
    ExceptionsWindow(TDataModule1& dm, QWidget* owner = nullptr);

    void load();
    // From the fields: a new exception, a change of the selected one, or its removal.
    bool addException();
    bool updateSelected();
    bool removeSelected();

    QTableWidget* Grid_days;
    QDateEdit* DateEdit_first;
    QDateEdit* DateEdit_last;
    QComboBox* ComboBox_timetable;
    QLineEdit* Edit_note;
    QPushButton* Button_add;
    QPushButton* Button_update;
    QPushButton* Button_delete;
    QPushButton* Button_close;

signals:
    // Closed: the owner reloads today's timetable.
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    bool fromFields(DayException* e);
    void showSelected();

    TDataModule1& m_dm;
    DayCalendar m_calendar;
    QList<DayException> m_days;
};
