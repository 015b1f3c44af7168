#pragma once

#include "settings/SystemSettings.h"

#include <QList>
#include <QWidget>

struct AudioOutput;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTimeEdit;
class TDataModule1;

// The system settings window: title, start with the desktop session, three
// shutdown times, the countdown, the start-up volume, the sound output with a
// test sound. Modeless; it deletes itself when closed.
class TForm_sysj : public QWidget {
    Q_OBJECT
public:
    explicit TForm_sysj(TDataModule1& dm, QWidget* owner = nullptr);
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
    // The sound output: "系统默认" first, then the outputs found (in the
    // background); each item's data is its sink description.
    QComboBox* outputCombo;
    QPushButton* testSoundButton;
    QLabel* outputNote;

    void FormCreate();
    void FormShow();
    void CheckBox1Click();
    void CheckBox5Click();
    void CheckBox6Click();
    void CheckBox4Click();
    // "确定": store everything, announce the new title and times, close.
    void Button1Click();
    // "取消": close without storing.
    void Button2Click();

    // The controls as values, and back.
    SystemSettingsValues values() const;
    void setValues(const SystemSettingsValues& v);

signals:
    // After "确定" has stored the values: the title as stored, and the three
    // shutdown times the schedule acts on ("25:00:00" when off).
    void titleChanged(const QString& title);
    void shutdownTimesChanged(const QStringList& times);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showOutputs(const QList<AudioOutput>& outputs);
    void selectOutput(const QString& sink);
    void playTestSound();
    void testSoundDone(const QString& problem);

    TDataModule1& m_dm;
    QString m_forcedNote;
};

// The open settings window, or null.
extern TForm_sysj* Form_sysj;
