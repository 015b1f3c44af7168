#include "app/RealServices.h"
#include "app/Unit_main_vorn.h"
#include "data/AsRunLog.h"
#include "editing/PlaylistFile.h"
#include "platform/SoundModule.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"
#include "settings/Unit_closepc.h"
#include "support/FakeClock.h"
#include "support/FakeMediaDevice.h"
#include "support/FakePowerControl.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
class MainPlaybackTest : public ::testing::Test {
protected:
    MainPlaybackTest() : clock(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 59, 5))) {
        db.setSetting(QStringLiteral("星期一"), QStringLiteral("工作日"));
        Services::setMediaDeviceFactory([this](QObject* parent) {
            auto device = std::make_unique<FakeMediaDevice>(parent);
            created = device.get();
            return std::unique_ptr<MediaDevice>(std::move(device));
        });
    }
    ~MainPlaybackTest() override { Services::setMediaDeviceFactory({}); }

    std::unique_ptr<TForm_main_vorn> makeWindow() {
        auto w = std::make_unique<TForm_main_vorn>(db.dm());
        EXPECT_TRUE(w->FormCreate());
        return w;
    }

    TestDatabase db;
    FakeClock clock;
    RecordingMessageService messages;
    FakeMediaDevice* created = nullptr;
};

TEST_F(MainPlaybackTest, TickAtTheStartSecondFillsTheSongListAndShowsProgress) {
    const QString a = db.writeFile(QStringLiteral("早操.mp3"));
    const QString b = db.writeFile(QStringLiteral("校歌.mp3"));
    const QString list = QDir(db.dir()).filePath(QStringLiteral("morning.pl3"));
    WritePlaylistFile(list, {a, b});
    db.addEntry(QStringLiteral("工作日"), "07:00:00", "07:10:00", a);
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00", list);
    auto w = makeWindow();
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(w->MediaPlayer2, created);
    EXPECT_TRUE(messages.shown().isEmpty());

    // Timer1 is a single-shot timer aimed just past the next second.
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_TRUE(w->Timer1->isSingleShot());
    EXPECT_LE(w->Timer1->remainingTime(), 1005);
    EXPECT_TRUE(w->Timer_process->isActive());

    w->Timer1Timer();
    EXPECT_EQ(w->ListBox5->count(), 0);
    EXPECT_TRUE(w->SpeedButton1->isHidden());
    clock.advance(1000);
    w->Timer1Timer();
    ASSERT_EQ(w->ListBox5->count(), 2);
    EXPECT_EQ(w->ListBox5->item(0)->text(), QStringLiteral("早操"));
    EXPECT_EQ(w->ListBox6->item(1)->text(), b);
    EXPECT_EQ(w->ListBox5->currentRow(), 0);
    EXPECT_FALSE(w->SpeedButton1->isHidden());
    EXPECT_FALSE(w->TrackBar2->isHidden());
    EXPECT_EQ(w->TrackBar2->maximum(), 180000);
    EXPECT_EQ(w->Label8->text(), QStringLiteral("正在播放：") + a);
    EXPECT_EQ(w->Label_alltime2->text(), QStringLiteral("/ 3:00"));
    EXPECT_EQ(db.dm().qry_show->currentRow(), 1);
    EXPECT_TRUE(w->DBGrid1->selectionModel()->isRowSelected(1, {}));

    created->setPosition(65000);
    w->Timer_processTimer();
    EXPECT_EQ(w->Label_nowtime2->text(), QStringLiteral("1:05"));
    EXPECT_EQ(w->TrackBar2->value(), 65000);
    EXPECT_EQ(created->volume(), 200);

    // Double-click the second song, then the stop button.
    w->ListBox5->setCurrentRow(1);
    w->ListBox5DblClick();
    EXPECT_EQ(created->fileName(), b);
    w->SpeedButton1->click();
    EXPECT_EQ(created->mode(), MediaDevice::Mode::NotOpen);
    EXPECT_TRUE(w->Label8->text().isEmpty());
    EXPECT_EQ(w->ListBox5->currentRow(), -1);
    EXPECT_EQ(w->ListBox5->count(), 2);
    EXPECT_FALSE(w->SpeedButton1->isHidden());
}

TEST_F(MainPlaybackTest, CountdownOpensWithoutHoldingUpTheEntryOfItsSecond) {
    FakePowerControl power;
    db.setSetting(QStringLiteral("关机提示"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("08:00:00"));
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00",
                db.writeFile(QStringLiteral("a.mp3")));
    auto w = makeWindow();
    w->Timer1Timer();
    clock.advance(1000);
    w->Timer1Timer();
    ASSERT_NE(Form_closepc, nullptr);
    EXPECT_TRUE(Form_closepc->isVisible());
    EXPECT_TRUE(Form_closepc->isModal());
    EXPECT_EQ(Form_closepc->Label2->text(), QStringLiteral("30"));
    EXPECT_EQ(created->mode(), MediaDevice::Mode::Playing);
    EXPECT_EQ(power.calls, 0);
    Form_closepc->Button1->click();
    EXPECT_EQ(Form_closepc, nullptr);
}

TEST_F(MainPlaybackTest, ClockKeepsTickingBehindAMessageBoxOpenedInATick) {
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00",
                QDir(db.dir()).filePath(QStringLiteral("gone.mp3")), QStringLiteral("单曲播放"));
    auto w = makeWindow();
    clock.setTime(QTime(8, 0, 0, 5));
    bool armedDuringBox = false;
    messages.onShow = [&](const RecordingMessageService::Shown&) {
        armedDuringBox = w->Timer1->isActive();
    };
    w->Timer1->start(0);
    QElapsedTimer waited;
    waited.start();
    while (messages.shown().isEmpty() && waited.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("歌曲文件不存在!"));
    EXPECT_TRUE(armedDuringBox);
}

TEST_F(MainPlaybackTest, OutputProblemsAndFailedEntriesAreVisible) {
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00",
                QDir(db.dir()).filePath(QStringLiteral("gone.pl3")));
    auto w = makeWindow();
    EXPECT_TRUE(w->Label_output->isHidden());
    emit created->outputProblem(QStringLiteral("没有声卡，声音送到了空设备"));
    EXPECT_FALSE(w->Label_output->isHidden());
    EXPECT_TRUE(w->Label_output->text().contains(QStringLiteral("没有声卡")));
    emit created->outputProblem(QString());
    EXPECT_TRUE(w->Label_output->isHidden());

    w->Timer1Timer();
    clock.advance(1000);
    w->Timer1Timer();
    EXPECT_FALSE(w->Label_output->isHidden());
    EXPECT_TRUE(w->Label_output->text().contains(QStringLiteral("08:00:00")));
}

TEST_F(MainPlaybackTest, WithoutAMediaDeviceTheOperatorIsToldOnceAndTheScheduleRuns) {
    Services::setMediaDeviceFactory({});
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00",
                db.writeFile(QStringLiteral("a.mp3")));
    auto w = makeWindow();
    EXPECT_EQ(w->MediaPlayer2, nullptr);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_FALSE(w->Label_output->isHidden());
    for (int i = 0; i < 30; ++i) {
        w->Timer1Timer();
        w->Timer_processTimer();
        clock.advance(1000);
    }
    EXPECT_EQ(messages.shown().size(), 1);
    // The entry's songs are listed, nothing plays, and the status says why.
    EXPECT_EQ(w->ListBox5->count(), 1);
    EXPECT_TRUE(w->Label8->text().isEmpty());
    EXPECT_TRUE(w->Label_output->text().contains(QStringLiteral("08:00:00")));
}

TEST_F(MainPlaybackTest, WithoutTheSoundModuleTheDeskRunsLogsTheEntryAndSaysWhatIsMissing) {
    SoundModule missing({QDir(db.dir()).filePath(QStringLiteral("vorn-gstreamer.so"))});
    installSoundServices(missing);
    const QString song = db.writeFile(QStringLiteral("a.mp3"));
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00", song);
    auto w = makeWindow();
    Services::setAudioOutputCheck({});
    Services::setSoundRecorderFactory({});
    Services::setMp3EncoderFactory({});
    Services::setSongLengthProbeFactory({});

    EXPECT_FALSE(missing.loaded());
    ASSERT_NE(w->MediaPlayer2, nullptr);
    EXPECT_TRUE(messages.shown().isEmpty()) << "a notice on the desk, not a box to click away";
    EXPECT_FALSE(w->Label_output->isHidden());
    EXPECT_TRUE(w->Label_output->text().contains(QStringLiteral("vorn-gstreamer.so")))
        << qPrintable(w->Label_output->text());

    for (int i = 0; i < 3; ++i) {
        w->Timer1Timer();
        clock.advance(1000);
    }
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_TRUE(w->Label_output->text().contains(song));
    EXPECT_TRUE(w->Label_output->text().contains(QStringLiteral("vorn-gstreamer.so")));
    const QDate day(2026, 12, 7);
    const QList<LogRow> failures = w->asRunLog().rows(day, day, {LogKind::failure});
    ASSERT_FALSE(failures.isEmpty());
    for (const LogRow& failure : failures) {
        EXPECT_EQ(failure.start, QStringLiteral("08:00:00"));
        EXPECT_EQ(failure.path, song);
        EXPECT_EQ(failure.detail, mediaFailureReason(MediaDevice::Failure::Output));
    }
    EXPECT_TRUE(messages.shown().isEmpty());
}
} // namespace
