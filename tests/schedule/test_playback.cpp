#include "Eventually.h"
#include "ScheduleFixture.h"

#include "base/PlayText.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
const QString kInOrder = QStringLiteral("顺序播放");
const QString kRandom = QStringLiteral("随机播放");
const QString kSingle = QStringLiteral("单曲播放");
const QString kRandomSingle = QStringLiteral("随机单曲");

class PlaybackTest : public ScheduleFixture {
protected:
    // Today's entry at 08:00:00 with the given song or list, started as the clock would.
    bool start(const QString& songOrList, const QString& mode) {
        entry("08:00:00", "09:00:00", songOrList, mode);
        load();
        playback.prepareFadeIn();
        const bool started = playback.PlayEntry(QStringLiteral("08:00:00"));
        playback.startFadeIn();
        return started;
    }
    // Lets the playing song end n times.
    void finishSongs(int n) {
        for (int i = 0; i < n; ++i)
            device.finishSong();
    }
    QStringList abc() { return {song("A.mp3"), song("B.mp3"), song("C.mp3")}; }
};

TEST(PlayText, PlayTimeAndDisplayName) {
    EXPECT_EQ(FormatPlayTime(205000), QStringLiteral("3:25"));
    EXPECT_EQ(FormatPlayTime(7500), QStringLiteral("0:07"));
    EXPECT_EQ(FormatPlayTime(4530000), QStringLiteral("75:30"));
    EXPECT_EQ(FormatPlayTime(999), QStringLiteral("0:00"));
    EXPECT_EQ(FormatPlayTime(-5000), QStringLiteral("0:00"));
    EXPECT_EQ(SongDisplayName(QStringLiteral("/music/晨曲.mp3")), QStringLiteral("晨曲"));
    EXPECT_EQ(SongDisplayName(QStringLiteral("D:\\广播\\校歌.wav")), QStringLiteral("校歌"));
    EXPECT_EQ(SongDisplayName(QStringLiteral("/a\\b/c.mp3")), QStringLiteral("c"));
    EXPECT_EQ(SongDisplayName(QStringLiteral("song.mp3")), QStringLiteral("song"));
    EXPECT_EQ(SongDisplayName(QStringLiteral("/x/ab")), QString());
    EXPECT_EQ(SongDisplayName(QString()), QString());
}

TEST_F(PlaybackTest, InOrderPlaysTheListRoundAndRound) {
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    finishSongs(4);
    EXPECT_EQ(playedNames(), QStringList({"A.mp3", "B.mp3", "C.mp3", "A.mp3", "B.mp3"}));
    EXPECT_EQ(playback.currentIndex(), 1);
    EXPECT_EQ(playback.names(), QStringList({"A", "B", "C"}));
    EXPECT_EQ(device.calls.first(), QStringLiteral("cue:") + song("A.mp3"));
    EXPECT_TRUE(device.notifyEnabled());
}

TEST_F(PlaybackTest, InOrderPassesOverAMissingFirstSong) {
    ASSERT_TRUE(
        start(playlist("day.pl3", {missing("A.mp3"), song("B.mp3"), song("C.mp3")}), kInOrder));
    finishSongs(4);
    EXPECT_EQ(playedNames(), QStringList({"B.mp3", "C.mp3", "B.mp3", "C.mp3", "B.mp3"}));
    EXPECT_EQ(playback.paths().size(), 3); // the missing song stays listed
}

TEST_F(PlaybackTest, RandomDrawsAfterEverySongAndPassesOverMissingFiles) {
    const QStringList songs = {song("A.mp3"), missing("B.mp3"), song("C.mp3")};
    draws = {1, 1, 2, // first song: B missing twice, then C
             0,       // next: A
             1, 1,    // next: B missing, second draw not tested -> B fails to open
             2};      // … then C
    ASSERT_TRUE(start(playlist("day.pl3", songs), kRandom));
    finishSongs(2);
    EXPECT_EQ(playedNames(), QStringList({"C.mp3", "A.mp3", "C.mp3"}));
    EXPECT_TRUE(draws.empty());

    // Over the seeded generator every played song exists and comes from the list.
    finishSongs(40);
    EXPECT_EQ(device.played.size(), 43);
    EXPECT_FALSE(device.played.contains(songs[1]));
    EXPECT_TRUE(device.played.contains(songs[0]) && device.played.contains(songs[2]));
}

TEST_F(PlaybackTest, SingleModesPlayOneSongThenStaySilent) {
    ASSERT_TRUE(start(song("A.mp3"), kSingle));
    EXPECT_FALSE(device.notifyEnabled());
    finishSongs(1);
    EXPECT_EQ(playedNames(), QStringList({"A.mp3"}));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Stopped);

    // The stopped song clears the path label at the next progress tick.
    playback.processTick();
    EXPECT_TRUE(playback.display().nowPlaying.isEmpty());
    EXPECT_TRUE(playback.display().controlsVisible);
}

TEST_F(PlaybackTest, RandomSingleAndUnknownModes) {
    draws = {2};
    ASSERT_TRUE(start(playlist("r.pl3", abc()), kRandomSingle));
    EXPECT_FALSE(device.notifyEnabled());
    device.finishSong();
    EXPECT_EQ(playedNames(), QStringList({"C.mp3"}));

    // Any other text: drawn like random, notified, but nothing follows.
    db.exec(QStringLiteral("delete from sjb"));
    device.played.clear();
    draws = {1};
    ASSERT_TRUE(start(playlist("r.pl3", abc()), QStringLiteral("乱序")));
    EXPECT_TRUE(device.notifyEnabled());
    device.finishSong();
    EXPECT_EQ(playedNames(), QStringList({"B.mp3"}));
}

TEST_F(PlaybackTest, SingleSongModeWithAListPlaysItsFirstSongOnce) {
    ASSERT_TRUE(start(playlist("list.pl3", abc()), kSingle));
    finishSongs(2);
    EXPECT_EQ(playedNames(), QStringList({"A.mp3"}));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PlaybackTest, SingleSongModeWithMissingFileSaysSoAndPlaysNothing) {
    EXPECT_FALSE(start(missing("A.mp3"), kSingle));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("歌曲文件不存在!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("提示"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_TRUE(device.played.isEmpty());
}

TEST_F(PlaybackTest, SongEndLoopsGiveUpWhenNothingCanBeOpened) {
    const QStringList songs = abc();
    ASSERT_TRUE(start(playlist("day.pl3", songs), kInOrder));
    for (const QString& s : songs)
        device.unplayable.insert(s);
    device.calls.clear();
    device.finishSong();
    EXPECT_EQ(device.calls.filter(QStringLiteral("cue:")).size(), 3); // one full pass
    EXPECT_EQ(device.played.size(), 1);
    EXPECT_NE(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_TRUE(playback.display().nowPlaying.isEmpty());

    // Random: at most 2n draws (here every draw opens, none plays).
    db.exec(QStringLiteral("delete from sjb"));
    device.unplayable.clear();
    ASSERT_TRUE(start(playlist("day.pl3", songs), kRandom));
    for (const QString& s : songs)
        device.unplayable.insert(s);
    device.calls.clear();
    int drawn = 0;
    playback.setRandomSource([&](int n) { return drawn++ % n; });
    device.finishSong();
    EXPECT_EQ(drawn, 6);
    EXPECT_EQ(device.calls.filter(QStringLiteral("cue:")).size(), 6);
}

TEST_F(PlaybackTest, EmptyOrMissingListsFailWithoutPlaying) {
    EXPECT_THROW(start(playlist("empty.pl3", {}), kInOrder), PlaybackError);
    EXPECT_THROW(playback.LoadEntryPlaylist(missing("none.pl3")), PlaybackError);
    EXPECT_TRUE(playback.paths().isEmpty());
    EXPECT_TRUE(device.played.isEmpty());
    // No entry at that time: nothing changes.
    EXPECT_FALSE(playback.PlayEntry(QStringLiteral("10:00:00")));
}

TEST_F(PlaybackTest, ListExtensionInAnyCaseLoadsTheListAndEmptyLinesAreSongs) {
    const QString list = playlist("Mixed.Pl3", {song("A.mp3"), QString(), song("C.mp3")});
    ASSERT_TRUE(start(list, kInOrder));
    EXPECT_EQ(playback.paths(), QStringList({song("A.mp3"), QString(), song("C.mp3")}));
    finishSongs(2);
    EXPECT_EQ(playedNames(), QStringList({"A.mp3", "C.mp3", "A.mp3"}));
}

TEST_F(PlaybackTest, FadeLevelsStartInTheStartAndEndSeconds) {
    ASSERT_TRUE(start(song("A.mp3"), kInOrder));
    // The song is cued at the first fade-in level and heard at it.
    EXPECT_EQ(device.calls.mid(0, 2), QStringList({"cue:" + song("A.mp3"), "playCued:1"}));
    EXPECT_EQ(device.volume(), 200);
    playback.processTick(); // the progress tick leaves the fades alone
    for (int i = 0; i < 5; ++i)
        playback.stepFades();
    EXPECT_EQ(device.volumes, QList<int>({200, 400, 600, 800, 1000}));
    EXPECT_FALSE(playback.fadeInOn());

    device.volumes.clear();
    playback.startFadeOut(); // the end second: its first step at once
    EXPECT_EQ(device.volumes, QList<int>({600}));
    playback.stepFades();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_FALSE(playback.paths().isEmpty());
    playback.stepFades();
    EXPECT_EQ(device.volumes, QList<int>({600, 200, 0}));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_TRUE(playback.paths().isEmpty());
    EXPECT_FALSE(playback.display().controlsVisible);
    EXPECT_TRUE(playback.display().lengthText.isEmpty());
}

TEST_F(PlaybackTest, FadeOutStepComesBeforeFadeInInOneSecond) {
    ASSERT_TRUE(start(song("A.mp3"), kInOrder));
    playback.startFadeOut();
    device.volumes.clear();
    playback.stepFades();
    EXPECT_EQ(device.volumes, QList<int>({200, 400}));
}

TEST_F(PlaybackTest, ProgressDisplaysAndTheStartedEntryIsAnnounced) {
    entry("07:00:00", "07:30:00", song("early.mp3"));
    device.lengths.insert(song("A.mp3"), 205000);
    QStringList announced;
    QObject::connect(&playback, &ScheduledPlayback::entryStarted,
                     [&](const QString& t) { announced << t; });
    ASSERT_TRUE(start(song("A.mp3"), kInOrder));
    EXPECT_EQ(announced, QStringList{QStringLiteral("08:00:00")});
    const auto& d = playback.display();
    EXPECT_EQ(d.nowPlaying, QStringLiteral("正在播放：") + song("A.mp3"));
    EXPECT_EQ(d.lengthText, QStringLiteral("/ 3:25"));
    EXPECT_EQ(d.trackMax, 205000);
    EXPECT_TRUE(d.controlsVisible);
    device.setPosition(7500);
    playback.processTick();
    EXPECT_EQ(d.positionText, QStringLiteral("0:07"));
    EXPECT_EQ(d.trackPosition, 7500);
}

TEST_F(PlaybackTest, ManualStopKeepsTheListsUntilTheNextEndTime) {
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    playback.SpeedButton1Click();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_FALSE(device.notifyEnabled());
    EXPECT_EQ(playback.currentIndex(), -1);
    EXPECT_EQ(playback.paths().size(), 3);
    EXPECT_TRUE(playback.display().nowPlaying.isEmpty());
    EXPECT_TRUE(playback.display().controlsVisible);
    EXPECT_EQ(playback.display().trackPosition, 0);

    // A late song-end notice after the stop does not start anything.
    emit device.finished();
    EXPECT_EQ(device.played.size(), 1);

    playback.startFadeOut();
    for (int i = 0; i < 2; ++i)
        playback.stepFades();
    EXPECT_TRUE(playback.paths().isEmpty());
    EXPECT_FALSE(playback.display().controlsVisible);
}

TEST_F(PlaybackTest, DoubleClickPlaysTheChosenSongAndTheModeGoesOn) {
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    device.volumes.clear();
    playback.ListBox5DblClick(-1);
    EXPECT_EQ(device.played.size(), 1);
    playback.ListBox5DblClick(1);
    EXPECT_EQ(playedNames(), QStringList({"A.mp3", "B.mp3"}));
    EXPECT_EQ(device.volumes, QList<int>({1000}));
    EXPECT_TRUE(device.notifyEnabled());
    EXPECT_EQ(playback.display().nowPlaying, QStringLiteral("正在播放：") + song("B.mp3"));
    device.finishSong();
    EXPECT_EQ(playedNames().constLast(), QStringLiteral("C.mp3"));
}

TEST_F(PlaybackTest, SongPickedByHandPlaysAtFullVolumeWhateverFadeWasLeft) {
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    playback.stepFades(); // 400
    playback.SpeedButton1Click();
    playback.ListBox5DblClick(1);
    EXPECT_EQ(device.fileName(), song("B.mp3"));
    EXPECT_EQ(device.volume(), 1000);
    for (int i = 0; i < 4; ++i)
        playback.stepFades();
    EXPECT_EQ(device.volume(), 1000);
    EXPECT_EQ(device.volumes, QList<int>({200, 400, 1000}));
}

TEST_F(PlaybackTest, NextSongIsHandedOverWhileTheSongPlaysSkippingMissingOnes) {
    // In order: B is missing, so C is the next one, set while A still plays.
    ASSERT_TRUE(
        start(playlist("day.pl3", {song("A.mp3"), missing("B.mp3"), song("C.mp3")}), kInOrder));
    EXPECT_EQ(device.nextFile(), song("C.mp3"));
    EXPECT_EQ(playback.currentIndex(), 0); // the display moves when C is heard
    device.finishSong();
    EXPECT_EQ(playback.currentIndex(), 2);
    EXPECT_EQ(playback.display().nowPlaying, QStringLiteral("正在播放：") + song("C.mp3"));
    EXPECT_EQ(device.nextFile(), song("A.mp3"));
    EXPECT_TRUE(device.calls.filter(QStringLiteral("open:")).isEmpty()); // no new stream

    // Random: the draw for the next song is made while the song plays.
    db.exec(QStringLiteral("delete from sjb"));
    draws = {0, 1, 1, 2};
    ASSERT_TRUE(
        start(playlist("r.pl3", {song("A.mp3"), missing("B.mp3"), song("C.mp3")}), kRandom));
    EXPECT_EQ(device.fileName(), song("A.mp3"));
    EXPECT_EQ(device.nextFile(), song("C.mp3"));
    EXPECT_TRUE(draws.empty());

    // A next song the device cannot play is passed over too.
    db.exec(QStringLiteral("delete from sjb"));
    device.unplayable << song("B.mp3");
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    EXPECT_EQ(device.nextFile(), song("C.mp3"));
}

TEST_F(PlaybackTest, SearchThroughManyBrokenSongsLetsTheEventLoopRun) {
    QStringList songs{song("good.mp3")};
    for (int i = 0; i < 1000; ++i)
        songs << missing(QStringLiteral("gone%1.mp3").arg(i));
    for (int i = 0; i < 200; ++i) {
        songs << song(QStringLiteral("bad%1.mp3").arg(i));
        device.unplayable << songs.constLast();
    }
    ASSERT_TRUE(start(playlist("broken.pl3", songs), kInOrder));
    // The search for the next song looks at a bounded number of places per
    // turn of the event loop; the rest follows after the waiting events.
    EXPECT_LE(device.calls.filter(QStringLiteral("next:")).size(), ScheduledPlayback::searchBudget);
    EXPECT_TRUE(device.nextFile().isEmpty());
    bool tickedBetween = false;
    QTimer::singleShot(0, [&] { tickedBetween = device.nextFile().isEmpty(); });
    EXPECT_EVENTUALLY_WITHIN(device.nextFile() == song("good.mp3"), 5000);
    EXPECT_TRUE(tickedBetween);
    device.finishSong();
    EXPECT_EQ(playedNames(), QStringList({"good.mp3", "good.mp3"}));
}

TEST_F(PlaybackTest, SameStartTimeTakesTheFirstEntryAndStaleNoticesAreIgnored) {
    entry("08:00:00", "09:00:00", song("first.mp3"));
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    EXPECT_EQ(playedNames(), QStringList({"first.mp3"}));
    // A notice that arrives while a song is playing belongs to an older song.
    emit device.finished();
    EXPECT_EQ(device.played.size(), 1);
    // A device that still says "playing" at the very end has finished the song.
    device.setPosition(device.length() - 200);
    emit device.finished();
    EXPECT_EQ(device.played.size(), 2);
}

TEST_F(PlaybackTest, NoDeviceMeansTheEntryFailsWithoutCrashing) {
    playback.setDevice(nullptr);
    EXPECT_THROW(start(song("A.mp3"), kInOrder), PlaybackError);
    playback.startFadeOut();
    for (int i = 0; i < 3; ++i)
        playback.stepFades();
    playback.SpeedButton1Click();
    playback.ListBox5DblClick(0);
    EXPECT_TRUE(playback.paths().isEmpty());
}
} // namespace

TEST_F(PlaybackTest, SignalsSayWhatHappenedToTheEntry) {
    QStringList events;
    auto note = [&events](const char* what) {
        return [&events, what](const QString& path = QString()) {
            events << QString::fromLatin1(what) + QLatin1Char(' ') + QFileInfo(path).fileName();
        };
    };
    QObject::connect(&playback, &ScheduledPlayback::entryStarting, &playback, note("starting"));
    QObject::connect(&playback, &ScheduledPlayback::songChanged, &playback, note("song"));
    QObject::connect(&playback, &ScheduledPlayback::pickedByHand, &playback, note("pick"));
    QObject::connect(&playback, &ScheduledPlayback::stoppedByHand, &playback, note("stop"));
    QObject::connect(&playback, &ScheduledPlayback::entryEnded, &playback,
                     [&] { events << "ended"; });
    QObject::connect(&playback, &ScheduledPlayback::failed, &playback,
                     [&](const QString& path, const QString&) {
                         events << QStringLiteral("failed ") + QFileInfo(path).fileName();
                     });
    device.unplayable << song("B.mp3");
    ASSERT_TRUE(start(playlist("day.pl3", abc()), kInOrder));
    finishSongs(1); // B cannot be opened, C plays
    playback.ListBox5DblClick(0);
    playback.SpeedButton1Click();
    playback.SpeedButton1Click(); // nothing playing: no second stop
    playback.StopEntryPlayback();
    EXPECT_EQ(events, QStringList({"starting 08:00:00", "failed B.mp3", "song C.mp3", "pick A.mp3",
                                   "stop A.mp3", "ended"}));
}
