#include "Eventually.h"
#include "FakeClock.h"
#include "FakeMediaDevice.h"
#include "FakeMixer.h"
#include "GridChecks.h"
#include "ModalHelper.h"
#include "RecordingMessageService.h"
#include "TestDatabase.h"

#include "app/QtMessageService.h"
#include "app/Unit_main_vorn.h"
#include "app/VornApplication.h"
#include "base/Services.h"
#include "data/datamodule.h"
#include "schedule/ScheduleClock.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

// Start-up on a test database: the main window's creation sequence.
class StartupTest : public ::testing::Test {
protected:
    RecordingMessageService messages;
    FakeClock clock{QDateTime(QDate(2026, 12, 7), QTime(7, 59, 0))}; // a Monday
    FakeMixer mixer;
    FakeMediaFactory devices;
    TestDatabase db;

    std::unique_ptr<TForm_main_vorn> start() {
        auto w = std::make_unique<TForm_main_vorn>(db.dm());
        EXPECT_TRUE(w->FormCreate());
        return w;
    }
};

TEST_F(StartupTest, CaptionIsTitleBlankVersionEvenWhenTitleIsEmpty) {
    db.setSetting("软件标题", "");
    auto w = start();
    EXPECT_EQ(w->windowTitle(), " V2.3");
    db.setSetting("软件标题", "实验中学广播站");
    auto w2 = start();
    EXPECT_EQ(w2->windowTitle(), "实验中学广播站 V2.3");
}

TEST_F(StartupTest, ShutdownTimesAreReadOnlyWhenSwitchedOn) {
    db.setSetting("定时关机1", "1");
    db.setSetting("关机时间1", "11:30:00");
    db.setSetting("定时关机2", "0");
    db.setSetting("关机时间2", "17:00:00");
    db.setSetting("定时关机3", "yes");
    db.setSetting("关机时间3", "21:00:00");
    auto w = start();
    EXPECT_EQ(w->schedule().shutdownTime(0), "11:30:00");
    EXPECT_EQ(w->schedule().shutdownTime(1), "25:00:00");
    EXPECT_EQ(w->schedule().shutdownTime(2), "25:00:00");
}

TEST_F(StartupTest, StartupVolumeSetsSpeakersThenWaveOutput) {
    db.setSetting("自动设置音量", "65535");
    start();
    EXPECT_EQ(mixer.sets, (QList<QPair<int, int>>{{0, 65535}, {2, 65535}}));
    EXPECT_TRUE(mixer.reads.isEmpty());
}

TEST_F(StartupTest, StartupVolumeZeroOrLowBitsZeroOnlyReadsWaveOutput) {
    for (const char* value : {"0", "65536"}) {
        mixer.sets.clear();
        mixer.reads.clear();
        db.setSetting("自动设置音量", value);
        start();
        EXPECT_TRUE(mixer.sets.isEmpty()) << value;
        EXPECT_EQ(mixer.reads, QList<int>{2}) << value;
    }
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(StartupTest, MixerFailuresShowTheirPlainMessages) {
    db.setSetting("自动设置音量", "13107");
    mixer.result = Mixer::Result::Refused;
    start();
    EXPECT_EQ(messages.texts(),
              QStringList({"SetControlDetails Error", "SetControlDetails Error"}));
    messages.clear();
    mixer.result = Mixer::Result::NoMixer;
    start();
    EXPECT_TRUE(messages.shown().isEmpty()) << "no sound card: start-up goes on silently";
    db.setSetting("自动设置音量", "0");
    mixer.result = Mixer::Result::NoControl;
    start();
    EXPECT_EQ(messages.texts(), QStringList({"GetLineInfo Error"}));
}

TEST_F(StartupTest, VolumeThatIsNotANumberIsReportedAndStartupGoesOn) {
    db.setSetting("星期一", "正常作息");
    db.addEntry("正常作息", "08:00:00", "08:20:00", "/m/a.mp3");
    for (const char* value : {"", "abc", "12.5"}) {
        messages.clear();
        db.setSetting("自动设置音量", value);
        auto w = start();
        ASSERT_EQ(messages.shown().size(), 1) << value;
        EXPECT_EQ(messages.last().caption, "错误");
        EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
        EXPECT_TRUE(messages.last().text.contains("not a valid integer"));
        EXPECT_TRUE(mixer.sets.isEmpty());
        EXPECT_EQ(w->schedule().startTimes(), QStringList{"08:00:00"});
    }
}

TEST_F(StartupTest, AnEntryDueWhileAStartupBoxIsOpenStartsAtItsSecond) {
    db.setSetting("星期一", "正常作息");
    const QString song = db.writeFile("早操.mp3");
    db.addEntry("正常作息", "08:00:00", "08:20:00", song);
    db.setSetting("自动设置音量", "abc");
    clock.setTime(QTime(7, 59, 59, 500));
    auto w = std::make_unique<TForm_main_vorn>(db.dm());
    bool clockRan = false;
    QStringList playedWhileOpen;
    messages.onShow = [&](const RecordingMessageService::Shown&) {
        // The operator is away: the box stays open past 08:00:00.
        clockRan = w->Timer1->isActive() && w->Timer_process->isActive();
        clock.setTime(QTime(8, 0, 0, 10));
        (void)QTest::qWaitFor(
            [&] { return !devices.made.isEmpty() && !devices.made[0]->played.isEmpty(); }, 3000);
        if (!devices.made.isEmpty())
            playedWhileOpen = devices.made[0]->played;
    };
    ASSERT_TRUE(w->FormCreate());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_TRUE(clockRan);
    EXPECT_EQ(playedWhileOpen, QStringList{song});
}

TEST_F(StartupTest, ShowsTodaysDateAndTimetableWithItsColumns) {
    db.setSetting("星期一", "正常作息");
    db.setSetting("星期二", "周末");
    db.addEntry("正常作息", "12:00:00", "12:30:00", "/m/noon.mp3");
    db.addEntry("正常作息", "07:30:00", "07:45:00", "/m/morning.pl3");
    db.addEntry("周末", "09:00:00", "09:30:00", "/m/other.mp3");
    auto w = start();
    w->show();
    EXPECT_EQ(w->Label_date->text(), "2026年12月07日 星期一");
    EXPECT_EQ(w->schedule().todaySjb(), "正常作息");
    EXPECT_EQ(w->schedule().startTimes(), QStringList({"07:30:00", "12:00:00"}));
    EXPECT_EQ(w->schedule().endTimes(), QStringList({"07:45:00", "12:30:00"}));
    QTableView* grid = w->DBGrid1;
    ASSERT_EQ(grid->model()->rowCount(), 2);
    EXPECT_TRUE(grid->isColumnHidden(0));
    EXPECT_TRUE(grid->isColumnHidden(7));
    for (int c = 1; c <= 6; ++c)
        EXPECT_FALSE(grid->isColumnHidden(c));
    EXPECT_EQ(grid->model()->headerData(4, Qt::Horizontal).toString(), "歌曲列表或歌曲");
    EXPECT_EQ(db.dm().qry_show->currentRow(), 0) << "the grid shows the day from its top";
}

TEST_F(StartupTest, GridShowsEveryColumnWholeAtTheDefaultSizeAndGrowsWithTheWindow) {
    db.setSetting("星期一", "正常作息");
    db.addEntry("正常作息", "09:40:00", "10:00:00", "/home/broadcast/音乐/歌曲列表/课间音乐.pl3",
                "随机播放", "课间音乐播放");
    db.addEntry("正常作息", "13:50:00", "14:00:00", "/home/broadcast/音乐/预备.mp3", "随机单曲",
                "下午预备铃音乐");
    auto w = start();
    w->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(w->size(), TForm_main_vorn::defaultSize);
    // No toolbar button is pushed into the overflow menu.
    for (QToolButton* b : w->ToolBar2->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        const bool overflow = b->objectName() == QLatin1String("qt_toolbar_ext_button");
        EXPECT_EQ(b->isVisible(), !overflow) << qPrintable(b->objectName());
    }
    QTableView* grid = w->DBGrid1;
    expectColumnsReadable(grid);
    EXPECT_GE(grid->columnWidth(4),
              grid->fontMetrics().horizontalAdvance("/home/broadcast/音乐/歌曲列表/课间音乐.pl3"));

    const QSize before = grid->size();
    const QSize listBefore = w->ListBox5->size();
    w->resize(TForm_main_vorn::defaultSize + QSize(300, 200));
    QCoreApplication::processEvents();
    EXPECT_GT(grid->width(), before.width());
    EXPECT_GT(grid->height(), before.height());
    EXPECT_GT(w->ListBox5->height(), listBefore.height());
    expectColumnsReadable(grid);
}

TEST_F(StartupTest, ToolbarHasSevenButtonsWithCaptionsAndHints) {
    auto w = start();
    const QList<std::tuple<const char*, const char*, const char*>> expected = {
        {"ToolButton5", "时间表编辑", "时间表编辑"},
        {"ToolButton10", "歌曲列表编辑", "歌曲列表(内容为一些歌名集合的文件)编辑"},
        {"ToolButton1", "时间表设置", "设置各天对应的时间表"},
        {"ToolButton13", "密码设置", "设置和修改密码"},
        {"ToolButton14", "系统设置", "自启动、定时关机、控制音量等设置"},
        {"ToolButton2", "常用乐曲播放", "音乐播放器"},
        {"ToolButton3", "关于", "作者相关信息"},
    };
    for (const auto& [name, caption, hint] : expected) {
        auto* b = w->findChild<QToolButton*>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption);
        EXPECT_EQ(b->toolTip(), hint);
    }
}

TEST_F(StartupTest, ToolbarButtonsStayOutOfTheOverflowMenuAsTheWindowNarrows) {
    auto w = start();
    w->show();
    const auto expectAllShown = [&](int width) {
        QTest::qWait(50); // the bars lay themselves out
        // A button pushed into the overflow menu is hidden in its bar.
        for (QToolBar* bar : {w->ToolBar2, w->ToolBar_desk})
            for (QToolButton* b : bar->findChildren<QToolButton*>(QRegularExpression("^ToolButton"),
                                                                  Qt::FindDirectChildrenOnly))
                EXPECT_TRUE(b->isVisible()) << qPrintable(b->objectName()) << " " << width;
    };
    // Wide: one row with the captions beside the icons.
    w->resize(1800, 700);
    expectAllShown(1800);
    EXPECT_EQ(w->ToolBar_desk->y(), w->ToolBar2->y());
    EXPECT_EQ(w->ToolButton_log->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    // Narrower: the desk's buttons go to a second row, then the captions
    // go under the icons.
    const int oneRow = w->ToolBar2->width() + w->ToolBar_desk->width();
    w->resize(oneRow, 700);
    expectAllShown(oneRow);
    EXPECT_GT(w->ToolBar_desk->y(), w->ToolBar2->y());
    EXPECT_EQ(w->ToolButton5->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    const int narrow = w->ToolBar2->width() * 9 / 10 + w->Label_time->width();
    w->resize(narrow, 700);
    expectAllShown(narrow);
    EXPECT_EQ(w->ToolButton5->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    // And back.
    w->resize(1800, 700);
    expectAllShown(1800);
    EXPECT_EQ(w->ToolBar_desk->y(), w->ToolBar2->y());
    EXPECT_EQ(w->ToolButton_exceptions->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
}

TEST_F(StartupTest, UnreadableDatabaseEndsStartupWithTheMessage) {
    auto w = std::make_unique<TForm_main_vorn>(db.dm());
    Services::setProgramDir(db.dir() + "/elsewhere");
    EXPECT_FALSE(w->FormCreate());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "数据库联接出错!");
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
}

// The program shows the window first and reads the day right after its first
// paint; a window that is never painted (started hidden) still starts.
TEST_F(StartupTest, DayIsReadAfterTheFirstPaintOrWithoutOneAfterAMoment) {
    db.setSetting("星期一", "正常作息");
    db.addEntry("正常作息", "12:00:00", "12:30:00", "/m/noon.mp3");
    auto shown = std::make_unique<TForm_main_vorn>(db.dm());
    shown->startOnceShown();
    shown->show();
    EXPECT_FALSE(shown->started());
    EXPECT_FALSE(shown->Timer_process->isActive());
    EXPECT_EVENTUALLY_WITHIN(shown->started(), 5000);
    EXPECT_TRUE(shown->Timer_process->isActive());
    EXPECT_EQ(shown->schedule().startTimes(), QStringList{"12:00:00"});

    auto hidden = std::make_unique<TForm_main_vorn>(db.dm());
    hidden->startOnceShown();
    EXPECT_EVENTUALLY_WITHIN(hidden->started(), 5000);
    EXPECT_EQ(hidden->schedule().startTimes(), QStringList{"12:00:00"});
    EXPECT_TRUE(messages.shown().isEmpty());

    // A database that cannot be opened is told, and the program is asked to end.
    Services::setProgramDir(db.dir() + "/elsewhere");
    auto broken = std::make_unique<TForm_main_vorn>(db.dm());
    bool failed = false;
    QObject::connect(broken.get(), &TForm_main_vorn::startFailed, [&failed] { failed = true; });
    broken->startOnceShown();
    broken->show();
    EXPECT_EVENTUALLY_WITHIN(failed, 5000);
    EXPECT_FALSE(broken->started());
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "数据库联接出错!");
}

TEST_F(StartupTest, WeekdayNamesRunFromSunday) {
    const QStringList names = {"星期日", "星期一", "星期二", "星期三",
                               "星期四", "星期五", "星期六"};
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(ScheduleClock::weekdayName(QDate(2026, 12, 6).addDays(i)), names[i]);
}

TEST_F(StartupTest, MissingSoundOutputIsShownOnTheDesk) {
    Services::setAudioOutputCheck(
        [] { return QStringLiteral("没有可用的声音输出设备，广播将没有声音！"); });
    auto w = start();
    Services::setAudioOutputCheck({});
    auto* status = w->findChild<QLabel*>("Label_output");
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isHidden());
    EXPECT_TRUE(status->text().contains("没有可用的声音输出设备"));
    EXPECT_TRUE(messages.shown().isEmpty()) << "a status on the desk, not a box to click away";

    auto quiet = start();
    EXPECT_TRUE(quiet->findChild<QLabel*>("Label_output")->isHidden());
}

namespace {
class Failing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw DbError("disk I/O error");
        return QObject::event(e);
    }
};
} // namespace

TEST(GeneralErrorReport, AFailureNoWindowHandledIsShownAndTheProgramGoesOn) {
    RecordingMessageService messages;
    Failing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::sendPostedEvents(&target, QEvent::User);
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, "disk I/O error");
    EXPECT_EQ(messages.last().caption, "错误");
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
}

TEST(ApplicationTitle, BoxesWithoutACaptionOfTheirOwnShowIt) {
    QtMessageService service;
    QString caption;
    whenModal([&](QWidget* box) {
        caption = box->windowTitle();
        box->close();
    });
    service.show("GetLineInfo Error", QString(), MessageService::Icon::None);
    EXPECT_EQ(caption, "播音系统 ");
}
