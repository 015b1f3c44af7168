// The player's decisions with a fake device: playing, pausing, stopping,
// seeking, continuous play and repeat-one, and recording with fake input.
#include "FakeClock.h"
#include "FakeMediaDevice.h"
#include "PlayerFakes.h"
#include "RecordingMessageService.h"
#include "player/PlayerCore.h"
#include "player/RecordingTake.h"
#include "player/WavFile.h"

#include <QDir>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <gtest/gtest.h>

namespace {
const QString kMissing = QStringLiteral("您选择的歌曲不存在，请检查歌曲的路径和文件名是否正确。");
const QString kCannotPlay =
    QStringLiteral("您选择的歌曲不能播放，请确认您的机子是否安装了相关驱动。");

class PlayerCoreTest : public ::testing::Test {
protected:
    PlayerCoreTest() : core(&device) {}
    // Songs a.mp3, b.mp3, ... in the folder; those named in `missing` are
    // listed but absent.
    void makeList(const QStringList& names, const QStringList& missing = {}) {
        QStringList paths;
        for (const QString& n : names) {
            const QString p = QDir(dir.path()).filePath(n);
            if (!missing.contains(n)) {
                QFile f(p);
                f.open(QIODevice::WriteOnly);
                f.write("x");
            }
            paths << p;
        }
        core.appendSongs(paths);
    }
    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    QTemporaryDir dir;
    RecordingMessageService messages;
    FakeMediaDevice device;
    PlayerCore core;
};
} // namespace

TEST_F(PlayerCoreTest, PlayPauseResumeAndStopFollowTheDevice) {
    makeList({"a.mp3", "b.mp3"});
    device.lengths[path("a.mp3")] = 205000;
    core.setVolume(700);
    core.play();
    EXPECT_EQ(core.list().selected(), 0); // nothing selected: the first
    EXPECT_EQ(device.played, QStringList({path("a.mp3")}));
    EXPECT_EQ(device.volume(), 700);
    EXPECT_TRUE(core.notifyOn());
    auto d = core.display();
    EXPECT_EQ(d.status, "正在播放：");
    EXPECT_EQ(d.song, "a");
    EXPECT_EQ(d.lengthText, "/ 3:25");
    EXPECT_EQ(d.trackMax, 205000);
    EXPECT_FALSE(d.playShown);
    EXPECT_TRUE(d.pauseEnabled && d.stopEnabled);

    device.setPosition(65000);
    core.tick();
    EXPECT_EQ(core.display().positionText, "1:05");
    EXPECT_EQ(core.display().trackPosition, 65000);

    core.pause();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Paused);
    EXPECT_EQ(core.display().status, "暂停播放：");
    EXPECT_TRUE(core.display().playShown);
    // Dragging while paused does nothing; play (or a double-click on
    // another entry) resumes the paused song and starts nothing else.
    core.seekTo(150000);
    EXPECT_FALSE(device.calls.contains("seek:150000"));
    core.playAt(1);
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    EXPECT_EQ(device.played.size(), 1);
    EXPECT_EQ(core.display().status, "正在播放：");

    core.stop();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen);
    EXPECT_FALSE(core.notifyOn());
    EXPECT_EQ(core.list().selected(), -1);
    d = core.display();
    EXPECT_EQ(d.status, "停止播放：");
    EXPECT_EQ(d.song, "a"); // the name stays
    EXPECT_TRUE(d.lengthText.isEmpty() && d.positionText.isEmpty());
    EXPECT_TRUE(d.playShown);
    EXPECT_FALSE(d.stopEnabled || d.pauseEnabled);
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PlayerCoreTest, SeekingNeedsMoreThanTenSecondsWhilePlaying) {
    makeList({"a.mp3"});
    core.play();
    device.setPosition(60000);
    core.seekTo(69000); // the tick's own updates and small drags
    core.seekTo(50000);
    EXPECT_FALSE(device.calls.join(",").contains("seek"));
    core.seekTo(70001);
    EXPECT_TRUE(device.calls.contains("seek:70001"));
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
}

TEST_F(PlayerCoreTest, MissingAndUnplayableSongsAreReported) {
    makeList({"a.mp3", "gone.mp3", "bad.mp3"}, {"gone.mp3"});
    device.unplayable << path("bad.mp3");
    core.playAt(1);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, kMissing);
    EXPECT_EQ(messages.last().caption, "提示");
    EXPECT_EQ(messages.last().icon, MessageService::Icon::None);
    EXPECT_TRUE(device.played.isEmpty());

    core.playAt(2);
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.last().text, kCannotPlay);
    EXPECT_EQ(messages.last().caption, "出错");
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_TRUE(core.display().playShown);

    // An empty list: play does nothing at all.
    core.clearAll();
    core.play();
    EXPECT_EQ(messages.shown().size(), 2);
}

TEST_F(PlayerCoreTest, ContinuousPlaySkipsMissingSongsAndStopsAfterTheLast) {
    makeList({"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}, {"b.mp3", "c.mp3"});
    core.setContinuous(true);
    core.playAt(0);
    device.finishSong();
    EXPECT_EQ(device.played.last(), path("d.mp3")); // two missing ones skipped
    EXPECT_EQ(core.list().selected(), 3);
    EXPECT_EQ(core.display().song, "d");
    device.finishSong();
    EXPECT_EQ(device.played.last(), path("e.mp3"));
    device.finishSong(); // the last one: no wrap-around
    EXPECT_EQ(device.played.size(), 3);
    core.tick();
    EXPECT_EQ(core.display().status, "停止播放：");
    EXPECT_TRUE(core.display().playShown);
    EXPECT_TRUE(messages.shown().isEmpty()); // skipping is silent

    // The operator picks another entry while a song plays: the one after it follows.
    core.playAt(0);
    core.select(2);
    device.finishSong();
    EXPECT_EQ(device.played.last(), path("d.mp3"));
}

TEST_F(PlayerCoreTest, ContinuousPlayEndsWhenOnlyMissingSongsFollow) {
    makeList({"a.mp3", "b.mp3", "c.mp3"}, {"b.mp3", "c.mp3"});
    core.setContinuous(true);
    core.playAt(0);
    device.finishSong();
    EXPECT_EQ(device.played.size(), 1);
    EXPECT_FALSE(core.notifyOn());
    EXPECT_TRUE(core.display().playShown);
}

TEST_F(PlayerCoreTest, RepeatOneAndTheTicksExcludeEachOther) {
    makeList({"a.mp3", "b.mp3"});
    core.setContinuous(true);
    core.setRepeatOne(true);
    EXPECT_FALSE(core.continuous());
    core.playAt(1);
    device.finishSong();
    device.finishSong();
    EXPECT_EQ(device.played, QStringList({path("b.mp3"), path("b.mp3"), path("b.mp3")}));
    core.setContinuous(true);
    EXPECT_FALSE(core.repeatOne());

    // A song that can no longer be played ends the repeat without a message.
    device.unplayable << path("b.mp3");
    core.setRepeatOne(true);
    device.finishSong();
    EXPECT_FALSE(core.notifyOn());
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(PlayerCoreTest, SongEndIsIgnoredWithoutNotifyFlagTickOrList) {
    makeList({"a.mp3", "b.mp3"});
    core.playAt(0);
    device.finishSong(); // neither box ticked
    EXPECT_EQ(device.played.size(), 1);

    core.setContinuous(true);
    core.playAt(0);
    core.stop(); // notify flag off
    emit device.finished();
    EXPECT_EQ(device.played.size(), 2);

    // A late notice while the song plays far from its end.
    core.playAt(0);
    device.setPosition(1000);
    emit device.finished();
    EXPECT_EQ(device.played.size(), 3);

    // 清除全部 during continuous play: the song goes on and nothing follows.
    core.clearAll();
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);
    device.finishSong();
    EXPECT_EQ(device.played.size(), 3);
}

TEST_F(PlayerCoreTest, SongsFoundUnplayableOnlyWhileBeingReadAreToldOrSkipped) {
    makeList({"a.mp3", "b.mp3", "c.mp3"});
    // The device turns a file down only after reading it, as a real one does.
    const auto turnDown = [this](const QString& name) {
        device.close();
        emit device.failed(path(name), MediaDevice::Failure::Undecodable, "no decoder");
    };
    device.lengths[path("a.mp3")] = 0; // not known yet
    core.playAt(0);
    EXPECT_TRUE(core.display().lengthText.isEmpty());
    emit device.lengthChanged(205000);
    EXPECT_EQ(core.display().lengthText, "/ 3:25");
    EXPECT_EQ(core.display().trackMax, 205000);

    // Another file's failure is none of this player's business.
    emit device.failed(path("other.mp3"), MediaDevice::Failure::Undecodable, "x");
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(core.display().status, "正在播放：");

    // Picked by the operator: the cannot-play message, and the player stops.
    turnDown("a.mp3");
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, kCannotPlay);
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_FALSE(core.notifyOn());
    EXPECT_TRUE(core.display().playShown);
    EXPECT_TRUE(core.display().lengthText.isEmpty());

    // Reached by continuous play: skipped without a word, the next one plays.
    core.setContinuous(true);
    core.playAt(0);
    device.finishSong();
    EXPECT_EQ(device.played.last(), path("b.mp3"));
    turnDown("b.mp3");
    EXPECT_EQ(device.played.last(), path("c.mp3"));
    EXPECT_EQ(core.list().selected(), 2);
    EXPECT_EQ(core.display().song, "c");
    // The last one fails too: playback ends quietly.
    turnDown("c.mp3");
    EXPECT_FALSE(core.notifyOn());
    EXPECT_TRUE(core.display().playShown);

    // Repeat-one ends quietly as well.
    core.setRepeatOne(true);
    core.playAt(1);
    device.finishSong();
    const int starts = device.played.size();
    turnDown("b.mp3");
    EXPECT_EQ(device.played.size(), starts);
    EXPECT_FALSE(core.notifyOn());
    EXPECT_EQ(messages.shown().size(), 1);
}

TEST_F(PlayerCoreTest, AddedFilesAreAppendedSelectedAndPlayedOrResumeAPausedSong) {
    makeList({"z.mp3"});
    makeList({}); // nothing
    QFile(path("z.mp3")).copy(path("new1.mp3"));
    QFile(path("z.mp3")).copy(path("new2.mp3"));
    core.addFiles({path("new1.mp3"), path("new2.mp3")});
    EXPECT_EQ(core.list().names(), QStringList({"z", "new1", "new2"}));
    EXPECT_EQ(core.list().selected(), 1);
    EXPECT_EQ(device.played, QStringList({path("new1.mp3")}));

    core.pause();
    core.addFiles({path("z.mp3")});
    EXPECT_EQ(core.list().count(), 4);
    EXPECT_EQ(device.played.size(), 1); // the paused song resumed
    EXPECT_EQ(device.mode(), MediaDevice::Mode::Playing);

    core.select(0);
    core.clearOne();
    EXPECT_EQ(core.list().names(), QStringList({"new1", "new2", "z"}));
    core.clearOne(); // nothing selected now
    EXPECT_EQ(core.list().count(), 3);
}

TEST_F(PlayerCoreTest, TheFolderIsReadOffTheGuiThreadAndASilentOneHoldsNothingUp) {
    for (const char* name : {"b.mp3", "a.MP3", "notes.txt", ".hidden.mp3"}) {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
    }
    QSemaphore answer;
    std::atomic<int> offGuiThread{0};
    QThread* gui = QThread::currentThread();
    PlayerCore::setFolderReader([&](const QString& folder) {
        if (QThread::currentThread() != gui)
            ++offGuiThread;
        answer.acquire(); // a network folder that keeps us waiting
        return PlayList::folderSongs(folder);
    });

    makeList({"old.mp3"});
    core.loadFolder(dir.path());
    EXPECT_TRUE(core.isListing());
    EXPECT_TRUE(core.list().isEmpty());
    core.appendSongs({path("found.mp3")}); // from the song search meanwhile
    core.select(0);
    QTest::qWait(30); // the event loop turns while the folder is silent
    EXPECT_EQ(core.list().names(), QStringList({"found"}));
    answer.release();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !core.isListing(); }, 5000));
    EXPECT_EQ(core.list().names(), QStringList({"a", "b", "old", "found"}));
    EXPECT_EQ(core.list().selected(), 3); // still "found"

    // A newer listing, or 清除全部, supersedes one that has not answered.
    core.loadFolder(QStringLiteral("/no/such/folder"));
    core.loadFolder(dir.path());
    answer.release(2);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !core.isListing(); }, 5000));
    EXPECT_EQ(core.list().names(), QStringList({"a", "b", "old"}));
    core.loadFolder(dir.path());
    core.clearAll();
    answer.release();
    EXPECT_TRUE(QTest::qWaitFor([&] { return offGuiThread == 4; }, 5000));
    QTest::qWait(30);
    EXPECT_TRUE(core.list().isEmpty());
    PlayerCore::setFolderReader({});
}

TEST(WavFile, HeaderIsTheFortyFourBytesOfAnEmptyPcmFile) {
    const QByteArray h = WavFile::header(1, 16, 44100);
    ASSERT_EQ(h.size(), 44);
    auto u32 = [&h](int at) { return qFromLittleEndian<quint32>(h.constData() + at); };
    auto u16 = [&h](int at) { return qFromLittleEndian<quint16>(h.constData() + at); };
    EXPECT_EQ(h.mid(0, 4), "RIFF");
    EXPECT_EQ(u32(4), 36u);
    EXPECT_EQ(h.mid(8, 4), "WAVE");
    EXPECT_EQ(h.mid(12, 4), "fmt ");
    EXPECT_EQ(u32(16), 16u);
    EXPECT_EQ(u16(20), 1u);
    EXPECT_EQ(u16(22), 1u);
    EXPECT_EQ(u32(24), 44100u);
    EXPECT_EQ(u32(28), 88200u);
    EXPECT_EQ(u16(32), 2u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(h.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 0u);

    // Finalising writes the sizes of what follows, in whole frames.
    QTemporaryDir dir;
    const QString p = dir.filePath("t.wav");
    QFile f(p);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(h + QByteArray(1001, '\1'));
    f.close();
    ASSERT_TRUE(WavFile::finalise(p));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray done = f.readAll();
    EXPECT_EQ(qFromLittleEndian<quint32>(done.constData() + 4), 36u + 1000u);
    EXPECT_EQ(qFromLittleEndian<quint32>(done.constData() + 40), 1000u);
    EXPECT_FALSE(WavFile::finalise(dir.filePath("none.wav")));
}

namespace {
// The takes' temporary files go to a folder of the test's own.
class RecordingTest : public PlayerCoreTest {
protected:
    RecordingTest() : m_hadTmp(qEnvironmentVariableIsSet("TMPDIR")), m_oldTmp(qgetenv("TMPDIR")) {
        qputenv("TMPDIR", tmp.path().toLocal8Bit());
    }
    ~RecordingTest() override {
        if (m_hadTmp)
            qputenv("TMPDIR", m_oldTmp);
        else
            qunsetenv("TMPDIR");
    }
    QTemporaryDir tmp;
    bool m_hadTmp;
    QByteArray m_oldTmp;
    FakeSoundRecorder* recorder() { return factory.recorders.last(); }
    FakeMp3Encoder* encoder() {
        return factory.encoders.isEmpty() ? nullptr : factory.encoders.last().data();
    }
    FakeRecordingFactory factory;
    FakeClock clock;
};
} // namespace

TEST_F(RecordingTest, ATakeIsFinalisedConvertedAppendedAndItsTemporaryFileRemoved) {
    makeList({"a.mp3"});
    core.setContinuous(true);
    core.playAt(0);
    ASSERT_TRUE(core.startRecording());
    EXPECT_FALSE(core.continuous());                      // unticked
    EXPECT_EQ(device.mode(), MediaDevice::Mode::NotOpen); // the song stopped
    auto d = core.display();
    EXPECT_EQ(d.song, "正在录音中......");
    EXPECT_EQ(d.trackMax, PlayerCore::recordingSpan);
    EXPECT_EQ(d.positionText, "0:00");
    EXPECT_FALSE(d.recordShown || d.playEnabled || d.openEnabled || d.stopEnabled);

    // A private file per take in the temporary folder, with its header.
    const QString wav = recorder()->m_file;
    EXPECT_EQ(QFileInfo(wav).absolutePath(), QFileInfo(tmp.path()).absoluteFilePath());
    EXPECT_EQ(QFileInfo(wav).permissions() & (QFile::ReadOther | QFile::WriteOther), 0);
    EXPECT_EQ(QFileInfo(wav).size(), 44);

    // The slider grows by 30 minutes when the recording reaches its end.
    recorder()->record(1000);
    core.tick();
    EXPECT_EQ(core.display().positionText, "0:01");
    recorder()->advance(PlayerCore::recordingSpan);
    core.tick();
    EXPECT_EQ(core.display().trackMax, 2 * PlayerCore::recordingSpan);

    core.stopRecording();
    EXPECT_TRUE(core.display().song.isEmpty());
    const QString target = path("take one.mp3");
    core.saveRecording(target);
    EXPECT_EQ(core.display().song, "正在保存录音，请稍等......");
    EXPECT_TRUE(core.display().animationOn);
    EXPECT_TRUE(core.display().recordShown && core.display().playEnabled);
    ASSERT_TRUE(QTest::qWaitFor([this] { return encoder() != nullptr; }, 2000));
    EXPECT_EQ(core.display().song, "正在保存为MP3格式，请稍等......");
    // The encoder reads a finalised file: sizes right.
    const QByteArray header = encoder()->wavAtStart.left(44);
    const quint32 data = quint32(encoder()->wavAtStart.size() - 44);
    EXPECT_EQ(qFromLittleEndian<quint32>(header.constData() + 40), data);
    EXPECT_EQ(qFromLittleEndian<quint32>(header.constData() + 4), data + 36);
    EXPECT_EQ(encoder()->mp3, target);

    encoder()->finish(true);
    EXPECT_EQ(core.display().song, "保存录音完毕!");
    EXPECT_FALSE(core.display().animationOn);
    EXPECT_EQ(core.list().paths().last(), target);
    EXPECT_EQ(core.list().names().last(), "take one");
    EXPECT_FALSE(QFile::exists(wav));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(RecordingTest, AFailedConversionAppendsNothingAndKeepsTheTake) {
    for (const bool writes : {false, true}) {
        const int before = core.list().count();
        ASSERT_TRUE(core.startRecording());
        recorder()->record(500);
        const QString wav = recorder()->m_file;
        core.stopRecording();
        core.saveRecording(path("x.mp3"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return encoder() && encoder()->isRunning(); }, 2000));
        // Non-zero exit without a file; "success" that left an empty file.
        if (writes)
            encoder()->finish(true, false);
        else
            encoder()->finish(false);
        EXPECT_EQ(messages.last().text, "保存声音文件出错!");
        EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
        EXPECT_EQ(core.list().count(), before);
        EXPECT_NE(core.display().song, "保存录音完毕!");
        EXPECT_TRUE(QFile::exists(wav));
        QFile::remove(wav);
        factory.encoders.clear();
    }
}

TEST_F(RecordingTest, CancelledSaveDiscardsAndANewTakeNeverTouchesOneBeingConverted) {
    ASSERT_TRUE(core.startRecording());
    const QString first = recorder()->m_file;
    core.stopRecording();
    core.saveRecording(QString()); // the dialog was cancelled
    EXPECT_TRUE(core.display().song.isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists(first); }, 2000));
    EXPECT_TRUE(factory.encoders.isEmpty());
    EXPECT_EQ(core.list().count(), 0);

    ASSERT_TRUE(core.startRecording());
    recorder()->record(300);
    const QString second = recorder()->m_file;
    core.stopRecording();
    core.saveRecording(path("two.mp3"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return encoder() != nullptr; }, 2000));
    FakeMp3Encoder* converting = encoder();
    const QByteArray secondBytes = converting->wavAtStart;

    ASSERT_TRUE(core.startRecording()); // while "two" is still being converted
    const QString third = recorder()->m_file;
    EXPECT_NE(third, second);
    recorder()->record(700);
    QFile f(second);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), secondBytes);
    converting->finish(true);
    EXPECT_EQ(core.display().song, "正在录音中......"); // the recording's text stays
    EXPECT_EQ(core.list().names(), QStringList({"two"}));
}

TEST_F(RecordingTest, ARecordingStillRunningWhenTheProgramEndsIsKeptAsItStands) {
    // The player's window went without closing (the desk was quit).
    const auto before = QCoreApplication::instance()->findChildren<RecordingTake*>();
    auto* player = new PlayerCore(nullptr);
    ASSERT_TRUE(player->startRecording());
    recorder()->record(500);
    const QString wav = recorder()->m_file;
    delete player;
    QList<RecordingTake*> takes = QCoreApplication::instance()->findChildren<RecordingTake*>();
    takes.removeIf([&](RecordingTake* t) { return before.contains(t); });
    ASSERT_EQ(takes.size(), 1) << "nobody would end a take without a parent";

    qDeleteAll(takes); // what the application does when it goes
    QFile f(wav);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_EQ(bytes.size(), 44 + 44100);
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 40), 44100u) << "data size";
}

TEST_F(RecordingTest, ClosingWhileRecordingSavesTheTakeByDateAndTime) {
    ASSERT_TRUE(core.startRecording());
    recorder()->record(400);
    clock.set(QDateTime(QDate(2026, 3, 9), QTime(14, 5, 7)));
    core.closing(dir.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return encoder() != nullptr; }, 2000));
    EXPECT_EQ(encoder()->mp3, path("录音 2026-03-09 14-05-07.mp3"));
    EXPECT_TRUE(messages.shown().isEmpty()); // nobody was asked
    encoder()->finish(true);
    EXPECT_TRUE(QFile::exists(path("录音 2026-03-09 14-05-07.mp3")));
    // A second take in the same second does not overwrite the first.
    EXPECT_EQ(PlayerCore::autoSaveName(dir.path(), clock.now()),
              path("录音 2026-03-09 14-05-07 (2).mp3"));
}

TEST_F(RecordingTest, AnInputThatCannotOpenShowsTheInitialisationMessage) {
    factory.refuse = true;
    EXPECT_FALSE(core.startRecording());
    EXPECT_EQ(messages.last().text, "媒体设备初始化失败！");
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_TRUE(core.display().recordShown && core.display().playEnabled);
    EXPECT_FALSE(core.isRecording());
    ASSERT_EQ(factory.files.size(), 1);
    EXPECT_FALSE(QFile::exists(factory.files.first())); // nothing left behind

    // An input that refuses only while it is being opened: the same message,
    // back to idle, nothing left behind, and a later take works.
    factory.refuse = false;
    factory.opensLate = true;
    ASSERT_TRUE(core.startRecording());
    EXPECT_TRUE(core.isRecording());
    const QString wav = recorder()->m_file;
    recorder()->refuseLate();
    EXPECT_FALSE(core.isRecording());
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.last().text, "媒体设备初始化失败！");
    EXPECT_TRUE(core.display().recordShown && core.display().playEnabled);
    EXPECT_TRUE(core.display().song.isEmpty());
    EXPECT_FALSE(QFile::exists(wav));
    factory.opensLate = false;
    EXPECT_TRUE(core.startRecording());
}

TEST_F(RecordingTest, TheWindowSaysItRecordsOnlyOnceTheInputsSoundArrives) {
    factory.opensLate = true;
    ASSERT_TRUE(core.startRecording());
    EXPECT_TRUE(core.isRecording());
    EXPECT_FALSE(core.display().recordShown); // the stop button is there at once
    EXPECT_EQ(core.display().song, "正在打开录音输入......");
    recorder()->open();
    EXPECT_EQ(core.display().song, "正在录音中......");
    core.stopRecording();
    core.saveRecording(QString());
}
