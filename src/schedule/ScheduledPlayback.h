#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

class MediaDevice;
class ScheduleClock;
class TDataModule1;

// Starting an entry failed (no list, empty list, a song that cannot be opened).
// The schedule clock swallows it; the next second goes on.
class PlaybackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Plays the entries of today's timetable on the main window's media device:
// the now-playing lists, the play modes, the fades and what the progress
// displays show. The main window mirrors this state through the signals.
class ScheduledPlayback : public QObject {
    Q_OBJECT
public:
    // Draws a position 0 … n-1; tests install a seeded one.
    using RandomSource = std::function<int(int n)>;

    // What the main window's playback controls show.
    struct Display {
        QString nowPlaying;   // Label8: "正在播放：" + path
        QString lengthText;   // Label_alltime2: "/ " + m:ss
        QString positionText; // Label_nowtime2: m:ss
        int trackMax = 0;     // TrackBar2 range 0 … length
        int trackPosition = 0;
        bool controlsVisible = false; // TrackBar2 and SpeedButton1
    };

    ScheduledPlayback(TDataModule1& dm, const ScheduleClock& schedule, QObject* parent = nullptr);
    ~ScheduledPlayback() override;

    // The device the entries play on (MediaPlayer2); not owned. May be null
    // when the machine has no media device: entries then fail to start.
    void setDevice(MediaDevice* device);
    MediaDevice* device() const { return m_device; }
    void setRandomSource(RandomSource random);

    // Plays today's entry starting at t. True when a song started; false when
    // there is no such entry or a "单曲播放" song is missing (after its message).
    // Throws PlaybackError or DbError when the entry cannot be started.
    bool PlayEntry(const QString& t);
    // Replaces the lists with the songs of the playlist file. Throws
    // PlaybackError (lists left empty) when the file cannot be read.
    void LoadEntryPlaylist(const QString& path);

    // The song-end handler (the device's finished()).
    void MediaPlayer2Notify();
    // One second of Timer_process: progress, fade-out step, fade-in step.
    void processTick();
    // Ends the scheduled playback and clears the displays.
    void StopEntryPlayback();
    // Stop by hand (SpeedButton1): the lists stay.
    void SpeedButton1Click();
    // Plays the song at index at once (a double-click on ListBox5); -1 does nothing.
    void ListBox5DblClick(int index);

    // Fades, as the schedule clock drives them.
    void prepareFadeIn() { m_fadeinLevel = 0; }
    void startFadeIn() { m_fadeinOn = true; }
    void startFadeOut();
    void cancelFadeOut() { m_fadeoutOn = false; }
    bool fadeInOn() const { return m_fadeinOn; }
    bool fadeOutOn() const { return m_fadeoutOn; }
    int fadeInLevel() const { return m_fadeinLevel; }
    int fadeOutLevel() const { return m_fadeoutLevel; }

    const QStringList& paths() const { return m_paths; }
    const QStringList& names() const { return m_names; }
    int currentIndex() const { return m_current; }
    QString playMode() const { return m_playMode; }
    const Display& display() const { return m_display; }

signals:
    // Today's entry at startTime was found and is about to be started.
    void entryStarting(const QString& startTime);
    // Today's entry starting at startTime is playing (the grid marks its row).
    void entryStarted(const QString& startTime);
    // The song-end handler went on to another song of the running entry.
    void songChanged(const QString& path);
    // The operator played a song of the list by hand (double-click).
    void pickedByHand(const QString& path);
    // The operator stopped the scheduled song by hand.
    void stoppedByHand(const QString& path);
    // The fade-out of an end time stopped a running entry and cleared its lists.
    void entryEnded();
    // A song or song list of the entry could not be played; path names the file.
    void failed(const QString& path, const QString& reason);
    void listsChanged();
    void currentIndexChanged(int index);
    void displayChanged();

private:
    void setLists(const QStringList& paths);
    void setCurrent(int index);
    bool songExists(int index) const;
    int draw(int n);
    // Opens the song at index and starts it; throws PlaybackError on failure.
    void openSong(int index, bool notify, bool setFadeInVolume);
    bool tryOpenSong(int index, bool notify);
    void showSongStarted();
    void closeDevice();
    void clearTexts();
    void nextRandomSong();
    void nextSequentialSong();

    TDataModule1& m_dm;
    const ScheduleClock& m_schedule;
    MediaDevice* m_device = nullptr;
    RandomSource m_random;

    QStringList m_paths; // ListBox6
    QStringList m_names; // ListBox5
    int m_current = -1;
    QString m_playMode;

    int m_fadeinLevel = 0;
    bool m_fadeinOn = false;
    int m_fadeoutLevel = 1000;
    bool m_fadeoutOn = false;

    Display m_display;
};
