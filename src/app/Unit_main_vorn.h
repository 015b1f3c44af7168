#pragma once

#include "shell/AboutLinks.h"

#include <QList>
#include <QSize>
#include <QStringList>
#include <QWidget>
#include <memory>
#include <utility>

class QGridLayout;
struct FontFor;
class QLabel;
class QLayout;
class QListWidget;
class QMenu;
class QAction;
class QSlider;
class QSplitter;
class QTableView;
class QTimer;
class AsRunLog;
class AsRunRecorder;
class CheckPanel;
class CheckRunner;
class ClockTrustLabel;
class DayGridModel;
class DayStatus;
class NextUpPanel;
class QToolBar;
class QToolButton;
class MediaDevice;
class ScheduleClock;
class ScheduledPlayback;
class TDataModule1;
class TForm_player;
class TForm_sysj;
class TTrayIcon;

// The operator's desk: toolbar, today's timetable, the songs playing, clock and date.
class TForm_main_vorn : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* version = "V2.3";
    // Large enough for every column of today's timetable and a song title of
    // typical length; the window can be resized and maximised from there.
    static constexpr QSize defaultSize{1060, 660};

    explicit TForm_main_vorn(TDataModule1& dm, QWidget* parent = nullptr);
    ~TForm_main_vorn() override;
    // The images of the window's icons, the program's own first.
    static QStringList imagesShown();
    // The font the interface's text is set in: the system's sans-serif font
    // for Chinese text (the program sets its pick as the application's
    // font, at the application font's size).
    static FontFor textFont();
    // The fonts the window names. Known before the application object
    // exists: the start-up thread matches them meanwhile.
    static QList<FontFor> fontsShown();

    // The start-up sequence: open the store, read the shutdown times and the
    // title, load today's timetable, set the start-up volume. False when the
    // database cannot be opened ("数据库联接出错!" has then been shown).
    bool FormCreate();
    void FormShow();
    // How the program starts: the window is shown first and FormCreate runs
    // right after its first paint (or after startFallbackMs at the latest,
    // should the window not be painted, e.g. when it starts minimised).
    // startFailed() follows when FormCreate returns false.
    static constexpr int startFallbackMs = 300;
    void startOnceShown();
    bool started() const { return m_started; }

    ScheduleClock& schedule() { return *m_schedule; }
    ScheduledPlayback& playback() { return *m_playback; }
    AsRunLog& asRunLog() { return *m_log; }
    CheckRunner& checkRunner() { return *m_checkRunner; }
    DayStatus& dayStatus() { return *m_dayStatus; }
    // The caption the settings window writes when it saves.
    void setTitleText(const QString& title);
    void LoadTodayTimetable();

    // Controls, by their names.
    QWidget* ControlBar2;
    QToolBar* ToolBar2;
    QToolBar* ToolBar_desk; // the desk's own buttons: 播出日志, 播前检查, 例外日期
    QToolButton* ToolButton5;
    QToolButton* ToolButton10;
    QToolButton* ToolButton1;
    QToolButton* ToolButton13;
    QToolButton* ToolButton14;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QToolButton* ToolButton_log;        // "播出日志"
    QToolButton* ToolButton_check;      // "播前检查"
    QToolButton* ToolButton_exceptions; // "例外日期"
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
    QLabel* Label_output;      // red: why nothing can be heard (no device, no output, entry failed)
    NextUpPanel* NextUpPanel1; // next entry, countdown, today's timetable
    QLabel* Label_shutdowns;   // today's shutdown times, near the clock
    ClockTrustLabel* Label_clocksync; // "未同步" when the system clock is not synchronised
    CheckPanel* CheckPanel1;          // how today's pre-air check went
    MediaDevice* MediaPlayer2;        // plays the scheduled entries; null when none is available
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
    // The settings window (after the password), wired to this window's title
    // and the schedule's shutdown times.
    TForm_sysj* openSystemSettings();
    void ToolButton2Click();
    // A new player window, shown; it becomes Form_player.
    TForm_player* openPlayer();
    void ToolButton3Click();
    // The as-run log, the pre-air check and the calendar of exceptions.
    QWidget* openAsRunLog();
    QWidget* openCheck();
    void ToolButton_exceptionsClick();
    // Checks today again (after a reload, after an edit, just after midnight).
    void checkToday();
    void DBGrid1DblClick();
    void N1Click();
    // Left click on the notification-area icon: into the tray, or back.
    void TrayIcon1Click();
    void N2Click();
    // The program is ending (connected to the application's aboutToQuit):
    // the schedule and the scheduled sound stop, every other window is
    // closed as the operator would close it, and recordings being saved get
    // up to takesLimitMs to become their MP3 files.
    static constexpr int takesLimitMs = 30000;
    void endTheDay(int takesLimitMs = TForm_main_vorn::takesLimitMs);
    // Out of the tray (or from under other windows) to the front: another
    // start of the program asked for the desk.
    void bringToFront();
    // The support contacts the school has set for the About box.
    AboutLinks::Contacts supportContacts() const;
    // F1: the help page beside the program.
    void openHelp();

    // Ticks (driven by the two timers; tests call them directly).
    void Timer1Timer();
    void Timer_processTimer();
    // Scheduled playback by hand.
    void ListBox5DblClick();
    void SpeedButton1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

signals:
    void startFailed();

private:
    void startNow();
    void warmUpOutput();
    // The toolbar shows our own icons at first; the desktop theme's (where it
    // has them) replace them once the day is loaded, since reading the icon
    // theme costs more than the rest of the window.
    void useThemeIcons();
    void layoutGridColumns();
    void followCurrentRow(int row);
    // Timer1 is single-shot, re-armed to fire a few ms after each second begins.
    void armTimer1();
    void createMediaPlayer();
    void openShutdownCountdown();
    void mirrorLists();
    void mirrorCurrent(int index);
    void mirrorDisplay();
    void updateStatus();
    void createDeskPanels();
    // Captions beside the toolbar's icons while the row has room for them,
    // under them (in narrower buttons) on a small screen or a large scaling,
    // so that no button ends up in the toolbar's overflow menu.
    void fitToolbar();

    TDataModule1& m_dm;
    QSplitter* m_panes;     // today's timetable | the songs playing
    QWidget* m_playingPane; // right-hand column under "正在播放的歌曲："
    ScheduleClock* m_schedule;
    ScheduledPlayback* m_playback;
    AsRunLog* m_log;
    AsRunRecorder* m_recorder;
    DayStatus* m_dayStatus;
    DayGridModel* m_gridModel;
    CheckRunner* m_checkRunner;
    std::unique_ptr<MediaDevice> m_mediaPlayer2;
    QString m_deviceProblem;
    QString m_outputProblem;
    QString m_entryProblem;
    QGridLayout* m_barGrid; // ToolBar2 and ToolBar_desk
    QLayout* m_clockColumn = nullptr;
    QList<int> m_wideBars; // the two bars' widths with captions beside the icons
    bool m_warmedUp = false;
    bool m_startPending = false;
    bool m_started = false;
    QTimer* m_startFallback = nullptr;
    // Buttons with their freedesktop icon names, for useThemeIcons().
    QList<std::pair<QToolButton*, const char*>> m_themedButtons;
};

extern TForm_main_vorn* Form_main_vorn;
