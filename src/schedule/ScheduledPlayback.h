#pragma once

#include "platform/MediaDevice.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <stdexcept>

class ScheduleClock;
struct TodayEntry;
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
//
// An entry due in a few seconds is prepared ahead (its list read, its first
// song chosen and cued on the device), so that its sound starts in its very
// second. While a song of a continuing list plays, the next one is chosen and
// handed to the device, which joins them without a gap. The search for a
// playable song looks at a bounded number of list places per turn of the
// event loop, so a list of broken files never holds the schedule.
class ScheduledPlayback : public QObject {
    Q_OBJECT
public:
    // The fade levels: up from the first level in the start second, down
    // from the first step in the end second.
    static constexpr int firstFadeInLevel = 200;
    static constexpr int fadeInStep = 200;
    static constexpr int fadeOutStep = 400;
    // List places a song search looks at before it lets the event loop run.
    static constexpr int searchBudget = 64;

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

    // Reads today's entry starting at t, its list and its first song, and
    // cues that song on the device, without touching what plays now. Done
    // again only when the entry changed. PlayEntry(t) then starts it at once;
    // an entry edited or deleted meanwhile is taken as it is then.
    void prepareEntry(const QString& t);
    QString preparedTime() const { return m_prepared ? m_prepared->time : QString(); }

    // The song-end handler (the device's finished()).
    void MediaPlayer2Notify();
    // One second of Timer_process: the progress displays.
    void processTick();
    // One second of the schedule: the fade-out step, then the fade-in step.
    void stepFades();
    // Ends the scheduled playback and clears the displays.
    void StopEntryPlayback();
    // Stop by hand (SpeedButton1): the lists stay.
    void SpeedButton1Click();
    // Plays the song at index at once (a double-click on ListBox5); -1 does nothing.
    void ListBox5DblClick(int index);

    // Fades, as the schedule clock drives them.
    void prepareFadeIn() { m_fadeinLevel = firstFadeInLevel; }
    void startFadeIn() { m_fadeinOn = true; }
    // Starts the fade-out with its first step, in the end second itself.
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
    // What an entry will play, read ahead of its second.
    struct Prepared {
        QString time;
        qint64 id = 0;
        QString song;
        QString mode;
        QDateTime listModified; // of a .pl3 list, to see it was not changed
        qint64 listSize = -1;
        QStringList paths;
        int index = -1; // the first song
        bool notify = true;
        QString cued;         // the song cued on the device
        QString failedFile;   // what cannot be played (the list, or a
        QString failedWhat;   //   missing single song), why,
        QString failedReason; //   and both in one text
        bool missingSingle = false;
    };
    Prepared readEntry(const TodayEntry& entry, const QString& t) const;
    bool stillValid(const Prepared& p, const TodayEntry& entry) const;
    static bool continuing(const QString& mode);

    void setLists(const QStringList& paths);
    void setCurrent(int index);
    bool songExists(int index) const;
    int draw(int n) const;
    int firstSong(const QStringList& paths, const QString& mode) const;
    // Starts the song at index on the device at the given volume.
    bool startSong(int index, bool notify, int volume);
    void showSongStarted();
    void closeDevice();
    void clearTexts();

    // The song search: from the current place, by the play mode.
    void startSearch(bool gapless);
    void continueSearch();
    void cancelSearch();
    void songFailed(const QString& path, MediaDevice::Failure why, const QString& text);
    void onDeviceFailed(const QString& path, MediaDevice::Failure why, const QString& text);
    void onNextStarted(const QString& path);
    void onNextFailed(const QString& path, MediaDevice::Failure why, const QString& text);
    void onLengthChanged(qint64 ms);

    struct Search {
        bool active = false;
        bool gapless = false; // handing the song to the device as the next one
        int position = -1;    // last place looked at
        int looked = 0;       // places looked at (in order), or draws (random)
        int waitingFor = -1;  // a next song the device is trying
        int token = 0;
    };

    TDataModule1& m_dm;
    const ScheduleClock& m_schedule;
    MediaDevice* m_device = nullptr;
    RandomSource m_random;

    QStringList m_paths; // ListBox6
    QStringList m_names; // ListBox5
    int m_current = -1;
    QString m_playMode;

    std::optional<Prepared> m_prepared;
    Search m_search;
    QSet<QString> m_reportedFailures; // songs of this entry already told
    int m_nextIndex = -1;             // the song handed to the device as the next one

    int m_fadeinLevel = firstFadeInLevel;
    bool m_fadeinOn = false;
    int m_fadeoutLevel = 1000;
    bool m_fadeoutOn = false;

    Display m_display;
};
