#pragma once

#include <QWidget>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QListWidget;
class QMenu;
class QProgressBar;
class QSlider;
class QTimer;
class QToolButton;
class MediaDevice;
class PlayerCore;
class TDataModule1;

// The common-tunes player ("音乐播放器"): a small always-on-top window that
// plays songs by hand on a media device of its own, independent of the
// scheduled playback, and records the microphone to MP3. Not modal; each
// opening makes a new one, deleted when it closes.
class TForm_player : public QWidget {
    Q_OBJECT
public:
    explicit TForm_player(TDataModule1& dm, QWidget* owner = nullptr);
    ~TForm_player() override;

    // The opening steps: read the common-tunes folder, ask for one when none
    // is set, list its songs. Called once the window is shown.
    void FormCreate();

    // Appends songs at the end of the list (the song search window's
    // "添加到播放列表"); they stay after the sorted songs of the folder.
    void appendSongs(const QStringList& paths);

    PlayerCore& core() { return *m_core; }

    // Controls, by their names.
    QLabel* Image2;
    QLabel* Image1;
    QSlider* TrackBar1;
    QLabel* Label_time2;
    QLabel* Label_time1;
    QToolButton* SpeedButton7;
    QToolButton* SpeedButton8;
    QToolButton* SpeedButton9;
    QToolButton* SpeedButton10;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QLabel* Label_file0;
    QLabel* Label_file;
    QLabel* Label4;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox1;
    QListWidget* ListBox3;
    QListWidget* ListBox4;
    QSlider* TrackBar2;
    QProgressBar* Animate1;
    QTimer* Timer1;
    MediaDevice* MediaPlayer1; // null when the machine has no media device
    QMenu* PopupMenu1;
    QAction* N1; // 打开文件...
    QAction* N2; // 搜索歌曲...
    QAction* N3; // 常用乐曲路径设置
    QAction* N4; // 打开系统录音控制窗口
    QMenu* PopupMenu2;
    QAction* N5; // 清除全部
    QAction* N6; // 清除一首
    QAction* N7; // 打开所在文件夹

    void SpeedButton7Click();
    void SpeedButton8Click();
    void SpeedButton9Click();
    void SpeedButton10Click();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void ListBox3DblClick();
    void N2Click();
    void N3Click();
    void N4Click();
    void N5Click();
    void N6Click();
    void N7Click();
    void Timer1Timer();

signals:
    // "搜索歌曲...": the song search window is wanted for this player.
    void searchRequested(TForm_player* player);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showDisplay();
    void showList();
    void showSelection(int index);
    void setCommonFolder();
    void listFolder(const QString& folder);
    // Form_player becomes the newest of the other open players.
    void unregister();

    TDataModule1& m_dm;
    std::unique_ptr<MediaDevice> m_device;
    PlayerCore* m_core;
    QString m_folder; // the common-tunes folder as stored
};

// The newest player window still open; null when none is.
extern TForm_player* Form_player;
