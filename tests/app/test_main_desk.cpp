// The desk's view of the day: next up, row states, clock trust, the pre-air check.
#include "app/Unit_main_vorn.h"
#include "desk/DayStatus.h"
#include "desk/DeskWidgets.h"
#include "desk/DeskWindows.h"
#include "support/Eventually.h"
#include "support/FakeClock.h"
#include "support/FakeClockSync.h"
#include "support/FakeMediaDevice.h"
#include "support/RecordingMessageService.h"
#include "support/TestDatabase.h"

#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {
class MainDeskTest : public ::testing::Test {
protected:
    MainDeskTest() : clock(QDateTime(QDate(2026, 12, 7), QTime(7, 59, 50, 5))) {
        db.setSetting(QStringLiteral("星期一"), QStringLiteral("工作日"));
        db.setSetting(QStringLiteral("定时关机1"), QStringLiteral("1"));
        db.setSetting(QStringLiteral("关机时间1"), QStringLiteral("17:30:00"));
        Services::setMediaDeviceFactory(
            [](QObject* parent) { return std::make_unique<FakeMediaDevice>(parent); });
    }
    ~MainDeskTest() override { Services::setMediaDeviceFactory({}); }
    void tick() {
        clock.advance(1000);
        w->Timer1Timer();
        w->Timer_processTimer();
    }
    QString rowHeader(int row) {
        return w->DBGrid1->model()->headerData(row, Qt::Vertical).toString();
    }

    TestDatabase db;
    FakeClock clock;
    FakeClockSync sync;
    RecordingMessageService messages;
    std::unique_ptr<TForm_main_vorn> w;
};
} // namespace

TEST_F(MainDeskTest, NextUpRowStatesAndShutdownTimesFollowTheDay) {
    db.addEntry(QStringLiteral("工作日"), "07:00:00", "07:10:00", db.writeFile("a.mp3"),
                QStringLiteral("顺序播放"), QStringLiteral("早读"));
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00", db.writeFile("b.mp3"),
                QStringLiteral("顺序播放"), QStringLiteral("升旗"));
    db.addEntry(QStringLiteral("工作日"), "09:00:00", "09:10:00", db.writeFile("c.mp3"),
                QStringLiteral("顺序播放"), QStringLiteral("眼操"));
    w = std::make_unique<TForm_main_vorn>(db.dm());
    ASSERT_TRUE(w->FormCreate());

    EXPECT_EQ(w->NextUpPanel1->Label_nextup->text(),
              QStringLiteral("下一个：08:00:00 升旗（还有 0:00:10）"));
    EXPECT_EQ(w->NextUpPanel1->Label_todaysjb->text(), QStringLiteral("今日时间表：工作日"));
    EXPECT_EQ(w->Label_shutdowns->text(), QStringLiteral("今日关机：17:30:00"));
    EXPECT_EQ(rowHeader(0), QStringLiteral("– 错过")); // the program was not running at 07:00
    EXPECT_EQ(rowHeader(1), QStringLiteral("待播"));
    for (int i = 0; i < 10; ++i)
        tick();
    EXPECT_EQ(rowHeader(1), QStringLiteral("▶ 正在播放"));
    EXPECT_TRUE(w->DBGrid1->model()->index(1, 1).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(w->NextUpPanel1->Label_nextup->text(),
              QStringLiteral("下一个：09:00:00 眼操（还有 1:00:00）"));
    w->SpeedButton1Click();
    EXPECT_EQ(rowHeader(1), QStringLiteral("✓ 已播"));

    // The log window lists the day, filters by kind and exports what it shows.
    auto* logWindow = qobject_cast<AsRunLogWindow*>(w->openAsRunLog());
    ASSERT_NE(logWindow, nullptr);
    EXPECT_EQ(logWindow->Grid_log->rowCount(), 3); // missed, start, stop
    logWindow->ComboBox_kind->setCurrentIndex(logWindow->ComboBox_kind->findData("missed"));
    ASSERT_EQ(logWindow->Grid_log->rowCount(), 1);
    EXPECT_EQ(logWindow->Grid_log->item(0, 4)->text(), QStringLiteral("早读"));
    const QString csv = QDir(db.dir()).filePath("out.csv");
    AsRunLogWindow::setSaveChooser([csv](QWidget*, const QString&) { return csv; });
    EXPECT_TRUE(logWindow->exportCsv());
    AsRunLogWindow::setSaveChooser({});
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 2);
    // It opens inside the screen and Esc closes it, as it closes the dialogs.
    logWindow->show();
    EXPECT_TRUE(logWindow->screen()->availableGeometry().contains(logWindow->frameGeometry()));
    QPointer<QWidget> alive(logWindow);
    logWindow->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(logWindow));
    QTest::keyClick(logWindow, Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
}

TEST_F(MainDeskTest, ClockTrustAndTheCheckPanelTellWithoutABox) {
    db.exec(QStringLiteral("insert into sjbmc(name) values('工作日')"));
    db.addEntry(QStringLiteral("工作日"), "08:00:00", "08:20:00",
                QDir(db.dir()).filePath("missing.mp3"), QStringLiteral("顺序播放"),
                QStringLiteral("升旗"));
    w = std::make_unique<TForm_main_vorn>(db.dm());
    ASSERT_TRUE(w->FormCreate());
    EXPECT_EVENTUALLY(sync.refreshes >= 1); // asked once the window is out
    sync.set(ClockSync::State::NotSynchronized);
    EXPECT_EQ(w->Label_clocksync->text(), QStringLiteral("未同步"));
    EXPECT_TRUE(w->Label_clocksync->styleSheet().contains(QStringLiteral("red")));
    sync.set(ClockSync::State::Synchronized);
    EXPECT_NE(w->Label_clocksync->text(), QStringLiteral("未同步"));

    EXPECT_EVENTUALLY(w->CheckPanel1->findingCount() == 1);
    EXPECT_TRUE(w->CheckPanel1->text().contains(QStringLiteral("1 个问题")));
    EXPECT_TRUE(w->CheckPanel1->toolTip().contains(QStringLiteral("升旗")));
    EXPECT_TRUE(messages.shown().isEmpty()) << "findings never open a message box";
}
