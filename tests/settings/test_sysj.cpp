#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include "app/Unit_main_vorn.h"
#include "platform/XdgAutostart.h"
#include "schedule/ScheduleClock.h"
#include "settings/SystemSettings.h"
#include "settings/Unit_sysj.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <gtest/gtest.h>

namespace {
class SysjTest : public ::testing::Test {
protected:
    TestDatabase db;
    RecordingMessageService messages;
    SystemSettings settings{db.dm()};

    SystemSettingsValues loaded() {
        SystemSettingsValues v;
        settings.load(v);
        settings.loadTimes(v);
        return v;
    }
};

// Autostart folders inside a temporary directory.
struct TempAutostart {
    QTemporaryDir tmp;
    XdgAutostart autostart{tmp.filePath(QStringLiteral("system")),
                           tmp.filePath(QStringLiteral("user"))};
    TempAutostart() { QDir().mkpath(tmp.filePath(QStringLiteral("system"))); }
    QString entry() const { return tmp.filePath(QStringLiteral("system/vorn.desktop")); }
};
} // namespace

TEST_F(SysjTest, LoadsEveryKey) {
    db.setSetting(QStringLiteral("开机自启动"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("定时关机2"), QStringLiteral("0"));
    db.setSetting(QStringLiteral("定时关机3"), QStringLiteral("yes")); // only "1" is on
    db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("07:30:00"));
    db.setSetting(QStringLiteral("关机时间2"), QStringLiteral("00:00:00"));
    db.setSetting(QStringLiteral("关机时间3"), QStringLiteral("23:59:59"));
    db.setSetting(QStringLiteral("关机提示"), QString());
    db.setSetting(QStringLiteral("自动设置音量"), QStringLiteral("30000"));
    db.setSetting(QStringLiteral("软件标题"), QStringLiteral(" 实验小学广播站 "));

    const SystemSettingsValues v = loaded();
    EXPECT_TRUE(v.autostart);
    EXPECT_EQ(v.shutdownOn, (std::array<bool, 3>{true, false, false}));
    EXPECT_EQ(v.shutdownTime[0], QTime(7, 30, 0));
    EXPECT_EQ(v.shutdownTime[1], QTime(0, 0, 0)); // shown although unticked
    EXPECT_EQ(v.shutdownTime[2], QTime(23, 59, 59));
    EXPECT_FALSE(v.countdown);
    EXPECT_TRUE(v.volumeOn);
    EXPECT_EQ(v.volumePosition, 2);
    EXPECT_EQ(v.title, QStringLiteral(" 实验小学广播站 ")); // as stored
}

TEST_F(SysjTest, VolumeStepsAndRounding) {
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("30000")), 2);
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("13106")), 0);
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("13107")), 1);
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("65535")), 5);
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("99999")), 5);
    EXPECT_EQ(SystemSettings::positionFromStored(QStringLiteral("-20000")), 0);
    EXPECT_THROW(SystemSettings::positionFromStored(QStringLiteral("")), std::exception);
    EXPECT_THROW(SystemSettings::positionFromStored(QStringLiteral("12.5")), std::exception);

    EXPECT_EQ(SystemSettings::storedFromPosition(true, 2), QStringLiteral("26214"));
    EXPECT_EQ(SystemSettings::storedFromPosition(true, 5), QStringLiteral("65535"));
    EXPECT_EQ(SystemSettings::storedFromPosition(true, 0), QStringLiteral("0"));
    EXPECT_EQ(SystemSettings::storedFromPosition(false, 4), QStringLiteral("0"));

    // 30000 shows 2; saving untouched stores 26214.
    db.setSetting(QStringLiteral("自动设置音量"), QStringLiteral("30000"));
    settings.save(loaded(), nullptr, QString());
    EXPECT_EQ(db.setting(QStringLiteral("自动设置音量")), QStringLiteral("26214"));

    // Ticked with the slider at 0 stores "0", which reads back unticked.
    SystemSettingsValues v = loaded();
    v.volumeOn = true;
    v.volumePosition = 0;
    settings.save(v, nullptr, QString());
    EXPECT_EQ(db.setting(QStringLiteral("自动设置音量")), QStringLiteral("0"));
    EXPECT_FALSE(loaded().volumeOn);
}

TEST_F(SysjTest, SaveStoresEveryValueAndReturnsTheTitle) {
    SystemSettingsValues v;
    v.title = QStringLiteral("\t 新标题 \"quoted\" \r\n");
    v.autostart = false;
    v.shutdownOn = {true, false, true};
    v.shutdownTime = {QTime(11, 45, 0), QTime(17, 5, 9), QTime(0, 0, 0)};
    v.countdown = true;
    v.volumeOn = true;
    v.volumePosition = 4;

    const SavedSystemSettings saved = settings.save(v, nullptr, QString());
    const QString title = saved.title;
    EXPECT_TRUE(messages.shown().isEmpty());
    EXPECT_EQ(title, QStringLiteral("新标题 \"quoted\""));
    EXPECT_EQ(db.setting(QStringLiteral("软件标题")), title);
    EXPECT_EQ(db.setting(QStringLiteral("开机自启动")), QStringLiteral("0"));
    EXPECT_EQ(db.setting(QStringLiteral("定时关机1")), QStringLiteral("1"));
    EXPECT_EQ(db.setting(QStringLiteral("定时关机2")), QStringLiteral("0"));
    EXPECT_EQ(db.setting(QStringLiteral("定时关机3")), QStringLiteral("1"));
    EXPECT_EQ(db.setting(QStringLiteral("关机提示")), QStringLiteral("1"));
    EXPECT_EQ(db.setting(QStringLiteral("自动设置音量")), QStringLiteral("52428"));
    // An unticked shutdown still stores its time; in memory it is off.
    EXPECT_EQ(db.setting(QStringLiteral("关机时间1")), QStringLiteral("11:45:00"));
    EXPECT_EQ(db.setting(QStringLiteral("关机时间2")), QStringLiteral("17:05:09"));
    EXPECT_EQ(db.setting(QStringLiteral("关机时间3")), QStringLiteral("00:00:00"));
    EXPECT_EQ(saved.shutdownTimes[0], QStringLiteral("11:45:00"));
    EXPECT_EQ(saved.shutdownTimes[1], QStringLiteral("25:00:00"));
    EXPECT_EQ(saved.shutdownTimes[2], QStringLiteral("00:00:00")); // midnight is a time

    const SystemSettingsValues back = loaded();
    EXPECT_EQ(back.shutdownTime[1], QTime(17, 5, 9));
    EXPECT_FALSE(back.shutdownOn[1]);
    EXPECT_EQ(back.volumePosition, 4);
}

TEST_F(SysjTest, FailedWriteIsShownAndTheNextWritesGoOn) {
    db.exec(QStringLiteral("create trigger no_countdown before update on system1 "
                           "when new.name1='关机提示' begin select raise(abort, 'locked'); end"));
    SystemSettingsValues v;
    v.title = QStringLiteral("标题");
    v.countdown = true;
    v.volumeOn = true;
    v.volumePosition = 1;
    v.shutdownOn = {true, true, true};
    v.shutdownTime = {QTime(6, 0), QTime(7, 0), QTime(8, 0)};

    const SavedSystemSettings saved = settings.save(v, nullptr, QString());
    EXPECT_EQ(saved.title, QStringLiteral("标题"));
    ASSERT_EQ(messages.shown().size(), 1);
    EXPECT_EQ(messages.last().text, QStringLiteral("数据库写入出错!"));
    EXPECT_EQ(messages.last().caption, QStringLiteral("错误"));
    EXPECT_EQ(messages.last().icon, MessageService::Icon::Error);
    EXPECT_EQ(db.setting(QStringLiteral("关机提示")), QStringLiteral("1")); // default kept
    EXPECT_EQ(db.setting(QStringLiteral("自动设置音量")), QStringLiteral("13107"));
    EXPECT_EQ(db.setting(QStringLiteral("关机时间3")), QStringLiteral("08:00:00"));
    EXPECT_EQ(saved.shutdownTimes[2], QStringLiteral("08:00:00"));
}

TEST_F(SysjTest, BadStoredValuesStopLoadingAtThatValue) {
    db.setSetting(QStringLiteral("开机自启动"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("自动设置音量"), QStringLiteral("loud"));
    db.setSetting(QStringLiteral("软件标题"), QStringLiteral("不会读到"));
    SystemSettingsValues v;
    EXPECT_THROW(settings.load(v), std::exception);
    EXPECT_TRUE(v.autostart);      // read before the failure
    EXPECT_EQ(v.title, QString()); // after it: untouched

    db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("06:15"));
    db.setSetting(QStringLiteral("关机时间2"), QStringLiteral("25:61:00"));
    EXPECT_THROW(settings.loadTimes(v), std::exception);
    EXPECT_EQ(v.shutdownTime[0], QTime(6, 15));
    EXPECT_EQ(v.shutdownTime[2], QTime(0, 0));
}

TEST_F(SysjTest, AutostartEntryWrittenAndRemovedOnSave) {
    TempAutostart temp;
    SystemSettingsValues v = loaded();
    v.autostart = true;
    settings.save(v, &temp.autostart, QStringLiteral("/opt/vorn/vorn"));
    EXPECT_EQ(db.setting(QStringLiteral("开机自启动")), QStringLiteral("1"));
    QFile entry(temp.entry());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=\"/opt/vorn/vorn\"\n"));
    entry.close();

    v.autostart = false;
    settings.save(v, &temp.autostart, QStringLiteral("/opt/vorn/vorn"));
    EXPECT_FALSE(QFile::exists(temp.entry()));
    // Unticked again with no entry: silent.
    settings.save(v, &temp.autostart, QStringLiteral("/opt/vorn/vorn"));
    EXPECT_TRUE(messages.shown().isEmpty());
}

TEST_F(SysjTest, WindowShowsStoredValuesAndFollowsItsTicks) {
    db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
    db.setSetting(QStringLiteral("定时关机2"), QStringLiteral("0"));
    db.setSetting(QStringLiteral("关机时间2"), QStringLiteral("18:30:00"));
    db.setSetting(QStringLiteral("自动设置音量"), QStringLiteral("0"));
    TForm_sysj form(db.dm(), nullptr);
    form.FormShow();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("系统设置"));
    EXPECT_EQ(Form_sysj, &form);
    EXPECT_TRUE(form.DateTimePicker1->isEnabled());
    EXPECT_FALSE(form.DateTimePicker2->isEnabled());
    EXPECT_EQ(form.DateTimePicker2->time(), QTime(18, 30));
    EXPECT_FALSE(form.CheckBox4->isChecked());
    EXPECT_TRUE(form.TrackBar1->isHidden());
    EXPECT_TRUE(form.Label4->isHidden());
    EXPECT_EQ(form.TrackBar1->maximum(), 5);
    EXPECT_EQ(form.TrackBar1->pageStep(), 1);

    form.CheckBox4->click();
    EXPECT_FALSE(form.TrackBar1->isHidden());
    EXPECT_FALSE(form.Label4->isHidden());
    form.CheckBox5->click();
    EXPECT_TRUE(form.DateTimePicker2->isEnabled());
}

TEST_F(SysjTest, OkUpdatesTheMainWindowAndCloses) {
    TForm_main_vorn main(db.dm());
    TForm_sysj* form = main.openSystemSettings();
    QPointer<TForm_sysj> watch(form);
    form->Edit1->setText(QStringLiteral("  东风小学  "));
    form->CheckBox1->setChecked(true);
    form->DateTimePicker1->setTime(QTime(16, 40, 0));
    form->CheckBox5->setChecked(false);
    form->DateTimePicker2->setTime(QTime(12, 0, 0));

    form->Button1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
    EXPECT_EQ(Form_sysj, nullptr);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("东风小学 V2.3"));
    EXPECT_EQ(main.schedule().shutdownTime(0), QStringLiteral("16:40:00"));
    EXPECT_EQ(main.schedule().shutdownTime(1), QStringLiteral("25:00:00"));
    EXPECT_EQ(db.setting(QStringLiteral("关机时间2")), QStringLiteral("12:00:00"));
}

TEST_F(SysjTest, CancelStoresNothing) {
    TForm_main_vorn main(db.dm());
    main.setTitleText(QStringLiteral("旧"));
    TForm_sysj* form = main.openSystemSettings();
    form->Edit1->setText(QStringLiteral("新"));
    form->Button2->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main.windowTitle(), QStringLiteral("旧 V2.3"));
    EXPECT_EQ(db.setting(QStringLiteral("软件标题")), QStringLiteral("广播站播音系统"));
}
