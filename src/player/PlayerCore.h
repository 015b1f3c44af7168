#pragma once

#include "player/PlayList.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class MediaDevice;
class RecordingTake;

// The decisions of the common-tunes player: its song list, play, pause,
// stop, seeking, the volume, continuous play and repeat-one, and recording.
// The window shows display() and passes the operator's actions in; tests
// drive it the same way without a screen.
class PlayerCore : public QObject {
    Q_OBJECT
public:
    // What the player window shows.
    struct Display {
        QString status; // Label_file0: "正在播放：", "暂停播放：", "停止播放：" or empty
        QString song;         // Label_file: the song's display text or a recording message
        QString positionText; // Label_time2
        QString lengthText;   // Label_time1: "/ " + length
        qint64 trackMax = 0;  // TrackBar1
        qint64 trackPosition = 0;
        bool playShown = true; // SpeedButton7 shown, SpeedButton8 hidden (and the reverse)
        bool playEnabled = true;
        bool pauseEnabled = false;
        bool stopEnabled = false;
        bool openEnabled = true;  // SpeedButton10
        bool recordShown = true;  // SpeedButton1 shown, SpeedButton2 hidden (and the reverse)
        bool animationOn = false; // Animate1: a take is being saved or converted
    };

    // Thirty minutes: the progress slider's range while recording, raised by
    // as much each time it is reached.
    static constexpr qint64 recordingSpan = 1800000;
    // Moving the slider by more than this seeks; less is the tick's own update.
    static constexpr qint64 seekThreshold = 10000;

    // The device is the player's own (not owned); it may be null when the
    // machine has none, and then nothing plays.
    explicit PlayerCore(MediaDevice* device, QObject* parent = nullptr);
    ~PlayerCore() override;

    const PlayList& list() const { return m_list; }
    const Display& display() const { return m_display; }
    MediaDevice* device() const { return m_device; }
    bool notifyOn() const { return m_notify; }
    bool continuous() const { return m_continuous; }
    bool repeatOne() const { return m_repeatOne; }
    int volume() const { return m_volume; }
    bool isRecording() const { return m_recording; }

    // The list.
    // Replaces the list with the songs of the folder. The folder is read on
    // a thread of its own (a network folder may hang): the list empties now
    // and is filled when the listing arrives, before any song appended
    // meanwhile. A newer listing or 清除全部 supersedes one still running.
    void loadFolder(const QString& folder);
    bool isListing() const { return m_listing != nullptr; }
    // Reads a folder for loadFolder (PlayList::folderSongs unless a test
    // installed another); called off the GUI thread.
    using FolderReader = std::function<QVector<PlayList::Entry>(const QString& folder)>;
    static void setFolderReader(FolderReader reader);
    // Appends songs at the end (the search window, a finished recording).
    void appendSongs(const QStringList& paths);
    void select(int index);
    void clearAll(); // 清除全部: playback goes on
    void clearOne(); // 清除一首: the selected entry

    // Playback.
    void play();                             // SpeedButton7, a double-click in the list
    void playAt(int index);                  // the double-click: select, then play
    void pause();                            // SpeedButton8
    void stop();                             // SpeedButton9
    void addFiles(const QStringList& paths); // 打开文件...: append, select the first, play
    void seekTo(qint64 ms);                  // TrackBar1 moved
    void setVolume(int level);               // TrackBar2, 0..1000
    void setContinuous(bool on);             // CheckBox2; unticks repeat-one
    void setRepeatOne(bool on);              // CheckBox1; unticks continuous play
    void songEnded();                        // the device's completion notice
    void tick();                             // Timer1, every second
    // The window closes: the song stops, a recording is saved (see below).
    void closing(const QString& folderForTake);

    // Recording.
    bool startRecording(); // SpeedButton1; false after "媒体设备初始化失败！"
    // SpeedButton2: ends the recording. The window then asks where to save
    // and calls saveRecording with the file, or with nothing when cancelled.
    void stopRecording();
    void saveRecording(const QString& mp3File);
    // A take still recording when the window closes is saved without a
    // question as "录音 yyyy-MM-dd hh-mm-ss.mp3" in this folder.
    static QString autoSaveName(const QString& folder, const QDateTime& when);

signals:
    void displayChanged();
    void listChanged();
    void selectionChanged(int index);
    void optionsChanged(); // continuous / repeat-one ticks

private:
    // Who started the song playing now: a failure found only once the file
    // is being read is then told (operator), skipped (continuous play) or
    // ends repeat-one quietly.
    enum class Starter { Operator, Continuous, Repeat };

    bool songExists(int index) const;
    // Continuous play: the entries after the selected one, the first that
    // plays. Missing and unplayable songs are skipped; after the last entry
    // playback stops.
    void playOnFromSelection();
    void deviceFailed(const QString& fileName);
    void lengthKnown(qint64 ms);
    void showLength(qint64 ms);
    // The start-song step: opens the selected song and plays it. False when
    // it cannot be opened or played (nothing is shown).
    bool startSelected();
    void showPlaying();
    void showStopped();
    void setSelected(int index);
    void takeFinished(bool ok, const QString& mp3File);
    // Back to idle after "媒体设备初始化失败！".
    void recordingRefused(const QString& why);
    void setAnimation();
    void changed() { emit displayChanged(); }

    MediaDevice* m_device;
    PlayList m_list;
    QObject* m_listing = nullptr; // watches the folder listing still to come
    Display m_display;
    bool m_notify = false;
    QString m_started; // the path of the song started last, until it fails or stops
    Starter m_starter = Starter::Operator;
    bool m_continuous = false;
    bool m_repeatOne = false;
    int m_volume = 1000;

    bool m_recording = false;
    QPointer<RecordingTake> m_take;          // the take being recorded or awaiting its file
    QList<QPointer<RecordingTake>> m_saving; // takes being saved or converted
};
