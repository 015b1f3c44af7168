#include "settings/Unit_closepc.h"
#include "support/FakePowerControl.h"
#include "support/RecordingMessageService.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
TEST(ShutdownCountdown, CountsThirtyToZeroThenPowersOffOnce) {
    FakePowerControl power;
    ShutdownCountdown countdown;
    EXPECT_EQ(countdown.labelText(), QStringLiteral("30"));
    countdown.tick();
    EXPECT_EQ(countdown.labelText(), QStringLiteral("29"));
    for (int i = 2; i < 30; ++i)
        countdown.tick();
    EXPECT_EQ(countdown.labelText(), QStringLiteral("1"));
    EXPECT_EQ(power.calls, 0);
    EXPECT_EQ(countdown.interval(), 1000);
    countdown.tick();
    EXPECT_EQ(countdown.labelText(), QStringLiteral("0"));
    EXPECT_EQ(power.calls, 1);
    EXPECT_EQ(countdown.interval(), 60000);
}

TEST(ShutdownCountdown, RefusedPowerOffIsRetriedEveryMinuteAndReported) {
    FakePowerControl power;
    power.accept = false;
    ShutdownCountdown countdown;
    QSignalSpy failures(&countdown, &ShutdownCountdown::powerOffFailed);
    for (int i = 0; i < 32; ++i)
        countdown.tick();
    EXPECT_EQ(countdown.labelText(), QStringLiteral("-2"));
    EXPECT_EQ(power.calls, 3);
    EXPECT_EQ(failures.count(), 3);
    EXPECT_EQ(countdown.lastError(), power.refusal);
}

TEST(ShutdownCountdown, NoPowerControlInstalledIsARefusalNotACrash) {
    Services::setPower(nullptr);
    QString error;
    bool answered = false;
    ClosePC([&](bool ok, const QString& text) {
        answered = true;
        EXPECT_FALSE(ok);
        error = text;
    });
    EXPECT_TRUE(answered);
    EXPECT_FALSE(error.isEmpty());
    ClosePC();
}

TEST(ShutdownCountdown, SlowAnswerNeitherHoldsTheCountNorDoublesTheRequest) {
    FakePowerControl power;
    power.hold = true;
    power.accept = false;
    {
        ShutdownCountdown countdown;
        QSignalSpy spy(&countdown, &ShutdownCountdown::powerOffFailed);
        for (int i = 0; i < 30; ++i)
            countdown.tick();
        ASSERT_EQ(power.calls, 1);
        EXPECT_TRUE(spy.isEmpty()); // nothing known yet
        countdown.tick();           // a minute on, still unanswered: no second request
        EXPECT_EQ(countdown.labelText(), QStringLiteral("-1"));
        EXPECT_EQ(power.calls, 1);
        power.answerHeld();
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(countdown.lastError(), power.refusal);
        countdown.tick();
        EXPECT_EQ(power.calls, 2);
    }
    // The window was closed before the answer came: nobody is told.
    power.answerHeld();
}

TEST(Form_closepc, WindowCountsDownAndPowersOffAtZero) {
    FakePowerControl power;
    power.accept = false;
    TForm_closepc w;
    EXPECT_EQ(Form_closepc, &w);
    EXPECT_EQ(w.windowTitle(), QStringLiteral("关机提示："));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("计算机将在"));
    EXPECT_EQ(w.Label2->text(), QStringLiteral("30"));
    EXPECT_EQ(w.Label3->text(), QStringLiteral("秒后自动关闭。"));
    EXPECT_EQ(w.Button1->text(), QStringLiteral("取消关机"));
    EXPECT_EQ(w.findChild<QLabel*>(QStringLiteral("Label2")), w.Label2);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Timer1->interval(), 1000);

    for (int i = 0; i < 30; ++i)
        w.Timer1Timer();
    EXPECT_EQ(w.Label2->text(), QStringLiteral("0"));
    EXPECT_EQ(power.calls, 1);
    EXPECT_EQ(w.Timer1->interval(), 60000);
    EXPECT_FALSE(w.Label_error->isHidden());
    EXPECT_TRUE(w.Label_error->text().contains(power.refusal));
}

TEST(Form_closepc, CancelOrTitleBarCloseStopsEveryAttempt) {
    FakePowerControl power;
    {
        TForm_closepc w;
        w.show();
        for (int i = 0; i < 30; ++i)
            w.Timer1Timer();
        ASSERT_EQ(power.calls, 1);
        w.Button1->click();
        EXPECT_FALSE(w.Timer1->isActive());
        EXPECT_FALSE(w.isVisible());
        EXPECT_EQ(Form_closepc, nullptr);
    }
    TForm_closepc w;
    w.show();
    w.close();
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(Form_closepc, nullptr);
    EXPECT_EQ(power.calls, 1);
}
} // namespace
