#pragma once

#include <QWidget>
#include <memory>

class QLabel;
class QListWidget;
class QMenu;
class QAction;
class QSlider;
class QTableView;
class QTimer;
class QToolBar;
class QToolButton;
class ScheduleClock;
class TDataModule1;
class TTrayIcon;

// The operator's desk: toolbar, today's timetable, the songs playing, clock and date.
class TForm_main_vorn : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* version = "V2.3";

    explicit TForm_main_vorn(TDataModule1& dm, QWidget* parent = nullptr);
    ~TForm_main_vorn() override;

    // The start-up sequence: open the store, read the shutdown times and the
    // title, load today's timetable, set the start-up volume. False when the
    // database cannot be opened ("数据库联接出错!" has then been shown).
    bool FormCreate();
    void FormShow();

    ScheduleClock& schedule() { return *m_schedule; }
    // The caption the settings window writes when it saves.
    void setTitleText(const QString& title);
    void LoadTodayTimetable();

    // Controls, by their names.
    QWidget* ControlBar2;
    QToolBar* ToolBar2;
    QToolButton* ToolButton5;
    QToolButton* ToolButton10;
    QToolButton* ToolButton1;
    QToolButton* ToolButton13;
    QToolButton* ToolButton14;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QLabel* Label_date;
    QLabel* Label_time;
    QLabel* Label_sjlb;
    QTableView* DBGrid1;
    QLabel* Label9;
    QListWidget* ListBox5;
    QListWidget* ListBox6;
    QSlider* TrackBar2;
    QLabel* Label_nowtime2;
    QLabel* Label_alltime2;
    QToolButton* SpeedButton1;
    QLabel* Label8;
    QTimer* Timer1;
    QTimer* Timer_process;
    TTrayIcon* TrayIcon1;
    QMenu* PopupMenu1;
    QAction* N1;
    QAction* N2;

    // Toolbar.
    void ToolButton5Click();
    void ToolButton10Click();
    void ToolButton1Click();
    void ToolButton13Click();
    void ToolButton14Click();
    void ToolButton2Click();
    void ToolButton3Click();
    void DBGrid1DblClick();
    void N1Click();
    // Left click on the notification-area icon: into the tray, or back.
    void TrayIcon1Click();
    void N2Click();

    // Ticks (driven by the two timers; tests call them directly).
    void Timer1Timer();
    void Timer_processTimer();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutGridColumns();
    void followCurrentRow(int row);

    TDataModule1& m_dm;
    ScheduleClock* m_schedule;
};

extern TForm_main_vorn* Form_main_vorn;
