#pragma once

#include "settings/SystemSettings.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimeEdit;
class TForm_main_vorn;
class TDataModule1;

// The system settings window: title, start with the desktop session, three
// shutdown times, the countdown, the start-up volume. Modeless; it deletes
// itself when closed.
class TForm_sysj : public QWidget {
    Q_OBJECT
public:
    // mainWindow receives the new caption and shutdown times on saving (may be null).
    TForm_sysj(TDataModule1& dm, TForm_main_vorn* mainWindow, QWidget* owner = nullptr);
    ~TForm_sysj() override;

    QLabel* Label1;
    QLineEdit* Edit1;
    QCheckBox* CheckBox3;
    QCheckBox* CheckBox1;
    QTimeEdit* DateTimePicker1;
    QCheckBox* CheckBox5;
    QTimeEdit* DateTimePicker2;
    QCheckBox* CheckBox6;
    QTimeEdit* DateTimePicker3;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox4;
    QLabel* Label4;
    QSlider* TrackBar1;
    QPushButton* Button1;
    QPushButton* Button2;

    void FormCreate();
    void FormShow();
    void CheckBox1Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox4Click();
    // "确定": store everything, update the main window, close.
    void Button1Click();
    // "取消": close without storing.
    void Button2Click();

    // The controls as values, and back.
    SystemSettingsValues values() const;
    void setValues(const SystemSettingsValues& v);

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDataModule1& m_dm;
    TForm_main_vorn* m_main;
};

// The open settings window, or null.
extern TForm_sysj* Form_sysj;
