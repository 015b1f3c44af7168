#pragma once

#include "editing/WeekdayAssignment.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;

// The weekday assignment: which timetable each day of the week plays.
// Not modal. Emits closed() however it is closed; the main window then
// reloads today's timetable.
class TForm_sjsj : public QWidget {
    Q_OBJECT
public:
    explicit TForm_sjsj(TDataModule1& dm, QWidget* owner = nullptr);

    QLabel* Label8;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QComboBox* ComboBox1;
    QComboBox* ComboBox2;
    QComboBox* ComboBox3;
    QComboBox* ComboBox4;
    QComboBox* ComboBox5;
    QComboBox* ComboBox6;
    QComboBox* ComboBox7;
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void Button1Click(); // 确定
    void Button2Click(); // 取消

signals:
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    WeekdayAssignment m_assignment;
    QList<QComboBox*> m_combos; // Monday … Sunday
};
