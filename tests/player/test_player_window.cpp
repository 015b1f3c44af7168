// The player window: opening, the folder question, what the controls show,
// the menus, and a cancelled recording.
#include "Eventually.h"
#include "FakeFileManager.h"
#include "FakeMediaDevice.h"
#include "PlayerFakes.h"
#include "RecordingMessageService.h"
#include "TestDatabase.h"
#include "app/Unit_main_vorn.h"
#include "base/FolderDialog.h"
#include "platform/MediaDevice.h"
#include "player/PlayerCore.h"
#include "player/PlayerDialogs.h"
#include "player/Unit_player.h"
#include "search/Unit_findsong.h"

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
class FakePlayerDialogs : public PlayerDialogs, public FolderDialog {
public:
    FakePlayerDialogs() {
        PlayerDialogs::install(this);
        FolderDialog::install(this);
    }
    ~FakePlayerDialogs() override {
        PlayerDialogs::install(nullptr);
        FolderDialog::install(nullptr);
    }
    QString chooseFolder(QWidget*, const QString& prompt) override {
        ++folderAsked;
        folderPrompt = prompt;
        return folder;
    }
    QStringList chooseSongs(QWidget*) override { return songs; }
    QString chooseRecordingFile(QWidget*, const QString& startDir) override {
        saveStartDir = startDir;
        return recordingFile;
    }
    QString folder, folderPrompt, recordingFile, saveStartDir;
    QStringList songs;
    int folderAsked = 0;
};

class PlayerWindowTest : public ::testing::Test {
protected:
    PlayerWindowTest() {
        for (const char* name : {"b.mp3", "a.mp3", "c.MP3", "d.wav"}) {
            QFile f(QDir(music.path()).filePath(name));
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
    }
    ~PlayerWindowTest() override {
        for (TForm_player* p : players)
            delete p;
    }
    TForm_player* open() {
        auto* p = new TForm_player(db.dm());
        players << p;
        p->FormCreate();
        listed(p);
        return p;
    }
    // The folder is read on a thread of its own; its songs arrive later.
    static void listed(TForm_player* p) {
        EXPECT_TRUE(QTest::qWaitFor([p] { return !p->core().isListing(); }, 5000));
    }
    FakeMediaDevice* deviceOf(TForm_player* p) {
        return static_cast<FakeMediaDevice*>(p->MediaPlayer1);
    }

    RecordingMessageService messages;
    TestDatabase db;
    FakeMediaFactory media;
    FakeRecordingFactory recording;
    FakeFileManager files;
    FakeRecordingControl control;
    FakePlayerDialogs dialogs;
    QTemporaryDir music;
    QList<QPointer<TForm_player>> players;
};
} // namespace

TEST_F(PlayerWindowTest, WithoutAFolderTheQuestionComesAtEachOpening) {
    messages.nextAnswer(MessageService::Answer::No);
    TForm_player* p = open();
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "还未设置常用乐曲路径，要设置常用乐曲路径吗?");
    EXPECT_EQ(messages.last().buttons, MessageService::Buttons::YesNo);
    EXPECT_EQ(p->ListBox3->count(), 0);
    EXPECT_TRUE(db.setting("常用乐曲路径").isEmpty());
    EXPECT_EQ(dialogs.folderAsked, 0);

    dialogs.folder = music.path();
    messages.nextAnswer(MessageService::Answer::Yes);
    TForm_player* second = open();
    EXPECT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(db.setting("常用乐曲路径"), music.path());
    EXPECT_EQ(dialogs.folderPrompt, "请选择文件夹");
    EXPECT_EQ(second->ListBox3->count(), 3);
    EXPECT_EQ(Form_player, second);

    // The next opening lists the folder without asking.
    TForm_player* third = open();
    EXPECT_EQ(messages.shown().size(), 2);
    QStringList names;
    for (int i = 0; i < third->ListBox3->count(); ++i)
        names << third->ListBox3->item(i)->text();
    EXPECT_EQ(names, QStringList({"a", "b", "c"}));
    EXPECT_EQ(third->ListBox4->item(2)->text(), QDir(music.path()).filePath("c.MP3"));

    // Each window has its own device; closing the newest makes the one
    // before it the newest.
    EXPECT_NE(third->MediaPlayer1, second->MediaPlayer1);
    third->close();
    EXPECT_EQ(Form_player, second);
    second->close();
    p->close();
    EXPECT_EQ(Form_player, nullptr);
}

TEST_F(PlayerWindowTest, ControlsFollowPlayPauseStopAndTheTicks) {
    db.setSetting("常用乐曲路径", music.path());
    TForm_player* p = open();
    p->show();
    EXPECT_TRUE(p->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(p->windowTitle(), "音乐播放器");
    EXPECT_TRUE(p->SpeedButton7->isVisible());
    EXPECT_FALSE(p->SpeedButton8->isVisible());
    EXPECT_FALSE(p->SpeedButton9->isEnabled());
    EXPECT_EQ(p->TrackBar2->value(), 1000);

    p->ListBox3->setCurrentRow(1);
    p->ListBox3DblClick();
    FakeMediaDevice* device = deviceOf(p);
    EXPECT_EQ(device->played, QStringList({QDir(music.path()).filePath("b.mp3")}));
    EXPECT_EQ(p->Label_file0->text(), "正在播放：");
    EXPECT_EQ(p->Label_file->text(), "b");
    EXPECT_EQ(p->Label_time1->text(), "/ 3:00");
    EXPECT_FALSE(p->SpeedButton7->isVisible());
    EXPECT_TRUE(p->SpeedButton8->isVisible() && p->SpeedButton8->isEnabled());
    EXPECT_TRUE(p->SpeedButton9->isEnabled());

    // The tick moves the slider without seeking; a long drag seeks.
    device->setPosition(42000);
    p->Timer1Timer();
    EXPECT_EQ(p->TrackBar1->value(), 42000);
    EXPECT_EQ(p->Label_time2->text(), "0:42");
    EXPECT_FALSE(device->calls.join(",").contains("seek"));
    p->TrackBar1->setValue(120000);
    EXPECT_TRUE(device->calls.contains("seek:120000"));
    // While the handle is held, the tick leaves it alone and nothing seeks;
    // letting go seeks once.
    device->setPosition(121000);
    p->TrackBar1->setSliderDown(true);
    p->TrackBar1->setSliderPosition(20000);
    p->TrackBar1->setSliderPosition(30000);
    device->setPosition(122000);
    p->Timer1Timer();
    EXPECT_EQ(p->TrackBar1->sliderPosition(), 30000);
    EXPECT_FALSE(device->calls.contains("seek:20000"));
    p->TrackBar1->setSliderDown(false);
    EXPECT_TRUE(device->calls.contains("seek:30000"));
    p->TrackBar2->setValue(300);
    EXPECT_EQ(device->volume(), 300);

    p->CheckBox2->click();
    p->CheckBox1->click();
    EXPECT_FALSE(p->CheckBox2->isChecked());
    EXPECT_TRUE(p->core().repeatOne());

    p->SpeedButton8->click();
    EXPECT_EQ(p->Label_file0->text(), "暂停播放：");
    EXPECT_TRUE(p->SpeedButton7->isVisible());
    p->SpeedButton9->click();
    EXPECT_EQ(p->Label_file0->text(), "停止播放：");
    EXPECT_EQ(p->Label_file->text(), "b");
    EXPECT_TRUE(p->Label_time1->text().isEmpty());
    EXPECT_EQ(p->ListBox3->currentRow(), -1);
    EXPECT_EQ(device->mode(), MediaDevice::Mode::NotOpen);

    // Closing stops what plays.
    p->SpeedButton7->click();
    p->close();
    EXPECT_EQ(device->mode(), MediaDevice::Mode::NotOpen);
}

TEST_F(PlayerWindowTest, MenusAddSongsShowFoldersAndAskForTheSearch) {
    db.setSetting("常用乐曲路径", music.path());
    TForm_player* p = open();
    const QString extra = QDir(music.path()).filePath("d.wav");
    dialogs.songs = {extra};
    p->N1->trigger();
    EXPECT_EQ(p->ListBox3->count(), 4);
    EXPECT_EQ(p->ListBox3->item(3)->text(), "d");
    EXPECT_EQ(p->ListBox3->currentRow(), 3);
    EXPECT_EQ(deviceOf(p)->played, QStringList({extra}));
    p->appendSongs({"/elsewhere/found.mp3"});
    EXPECT_EQ(p->ListBox4->item(4)->text(), "/elsewhere/found.mp3");

    p->N7->trigger();
    EXPECT_EQ(files.shown, QStringList({extra}));
    p->ListBox3->setCurrentRow(-1);
    p->N7->trigger();
    EXPECT_EQ(files.shown.size(), 1);

    // The top menu opens from the picture and from the labels drawn over it.
    for (QWidget* part : std::initializer_list<QWidget*>{p->Image2, p->Label_file, p->Label4}) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(3, 3),
                                part->mapToGlobal(QPoint(3, 3)));
        QApplication::sendEvent(part, &event);
        EXPECT_TRUE(p->PopupMenu1->isVisible()) << qPrintable(part->objectName());
        p->PopupMenu1->hide();
    }

    control.installed = false;
    p->N4->trigger();
    EXPECT_EQ(control.opened, 1);
    EXPECT_EQ(messages.last().text, "install pavucontrol");

    // Nobody offers a search window yet: a notice; once one does, it is asked.
    p->N2->trigger();
    EXPECT_EQ(messages.shown().size(), 2);
    TForm_player* asked = nullptr;
    QObject::connect(p, &TForm_player::searchRequested, [&](TForm_player* w) { asked = w; });
    p->N2->trigger();
    EXPECT_EQ(asked, p);

    p->ListBox3->setCurrentRow(0);
    p->N6->trigger();
    EXPECT_EQ(p->ListBox3->count(), 4);
    EXPECT_EQ(p->ListBox4->item(0)->text(), QDir(music.path()).filePath("b.mp3"));
    p->N5->trigger();
    EXPECT_EQ(p->ListBox3->count(), 0);
    EXPECT_EQ(p->ListBox4->count(), 0);

    // 常用乐曲路径设置, cancelled and confirmed.
    p->N3->trigger();
    EXPECT_EQ(p->ListBox3->count(), 0);
    dialogs.folder = music.path();
    p->N3->trigger();
    listed(p);
    EXPECT_EQ(p->ListBox3->count(), 3);
}

TEST_F(PlayerWindowTest, ACancelledSaveAppendsNothingAndTheButtonsComeBack) {
    db.setSetting("常用乐曲路径", music.path());
    TForm_player* p = open();
    p->show();
    p->SpeedButton1->click();
    EXPECT_EQ(p->Label_file->text(), "正在录音中......");
    EXPECT_FALSE(p->SpeedButton1->isVisible());
    EXPECT_TRUE(p->SpeedButton2->isVisible());
    EXPECT_FALSE(p->SpeedButton7->isEnabled() || p->SpeedButton10->isEnabled());
    EXPECT_EQ(p->TrackBar1->maximum(), 1800000);

    dialogs.recordingFile.clear();
    p->SpeedButton2->click();
    EXPECT_EQ(dialogs.saveStartDir, music.path());
    EXPECT_TRUE(p->Label_file->text().isEmpty());
    EXPECT_EQ(p->ListBox3->count(), 3);
    EXPECT_TRUE(p->SpeedButton1->isVisible());
    EXPECT_TRUE(p->SpeedButton7->isEnabled() && p->SpeedButton10->isEnabled());
    EXPECT_FALSE(p->Animate1->isVisible());
    QTest::qWait(50);
    EXPECT_TRUE(recording.encoders.isEmpty());
}

TEST_F(PlayerWindowTest, TheToolbarButtonOpensANewPlayerEachTime) {
    db.setSetting("常用乐曲路径", music.path());
    TForm_main_vorn desk(db.dm());
    ASSERT_TRUE(desk.FormCreate());
    ASSERT_TRUE(desk.ToolButton2->isEnabled());
    desk.ToolButton2->click();
    TForm_player* first = Form_player;
    ASSERT_NE(first, nullptr);
    players << first;
    listed(first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->ListBox3->count(), 3);
    desk.ToolButton2->click();
    players << Form_player;
    listed(Form_player);
    EXPECT_NE(Form_player, first);
    // The desk's device and the players' are three different ones.
    EXPECT_EQ(media.made.size(), 3);
    EXPECT_NE(desk.MediaPlayer2, first->MediaPlayer1);

    // "搜索歌曲..." opens the song search, whose found songs go to the newest
    // player, or to a new one when none is open.
    first->N2->trigger();
    QPointer<TForm_findsong> search = TForm_findsong::newest();
    ASSERT_NE(search, nullptr);
    search->Location->setText(music.path());
    search->Filename->setText("a");
    search->FindButtonClick();
    EXPECT_EVENTUALLY(search->FindButton->isEnabled());
    ASSERT_EQ(search->foundRows()->rowCount(), 1);
    search->FoundFiles->setCurrentIndex(search->foundRows()->index(0, 0));
    search->N1Click();
    ASSERT_EQ(Form_player->ListBox4->count(), 4);
    EXPECT_EQ(Form_player->ListBox4->item(3)->text(), QDir(music.path()).filePath("a.mp3"));
    EXPECT_EQ(first->ListBox3->count(), 3);

    players[1]->close();
    first->close();
    ASSERT_EQ(Form_player, nullptr);
    search->N1Click();
    ASSERT_NE(Form_player, nullptr);
    players << Form_player;
    listed(Form_player);
    EXPECT_EQ(Form_player->ListBox3->count(), 4);
    delete search.data();
}

TEST_F(PlayerWindowTest, QuittingTheDeskSavesTheTakeOfARecordingPlayerBeforeTheEnd) {
    QTemporaryDir tmp;
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmp.path().toLocal8Bit());
    db.setSetting("常用乐曲路径", music.path());
    TForm_main_vorn desk(db.dm());
    desk.ToolButton2->click();
    QPointer<TForm_player> player = Form_player;
    ASSERT_NE(player, nullptr);
    players << player;
    player->SpeedButton1->click();
    recording.recorders.last()->record(300);
    const QString wav = recording.recorders.last()->m_file;

    // The encoder takes its time; the quit path must wait for it.
    QTimer encoding;
    QObject::connect(&encoding, &QTimer::timeout, [&] {
        for (FakeMp3Encoder* e : recording.encoders)
            if (e && e->isRunning())
                e->finish(true);
    });
    encoding.start(200);
    QTimer::singleShot(0, qApp, &QCoreApplication::quit); // the tray's "退出" ends the same way
    qApp->exec();

    EXPECT_FALSE(desk.Timer1->isActive());
    EXPECT_FALSE(desk.Timer_process->isActive());
    EXPECT_TRUE(player.isNull() || !player->isVisible());
    const QStringList saved = QDir(music.path()).entryList({"录音 *.mp3"}, QDir::Files);
    EXPECT_EQ(saved.size(), 1);
    EXPECT_FALSE(QFile::exists(wav));
    if (oldTmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", oldTmp);
}
