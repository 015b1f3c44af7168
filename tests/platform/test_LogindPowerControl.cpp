#include "platform/LogindPowerControl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>

namespace {
// Only command lines given to the class are ever run here, so the machine
// is never switched off.
struct Answer {
    bool ok = false;
    QString error;
};

// Starts a power-off and turns the event loop until it is answered,
// counting how often a 20 ms timer fired meanwhile.
std::optional<Answer> powerOff(LogindPowerControl& power, int* ticks = nullptr,
                               int waitMs = 10000) {
    std::optional<Answer> answer;
    QTimer heartbeat;
    int beats = 0;
    QObject::connect(&heartbeat, &QTimer::timeout, [&] { ++beats; });
    heartbeat.start(20);
    power.powerOff([&](bool ok, const QString& error) { answer = Answer{ok, error}; });
    EXPECT_FALSE(answer.has_value()) << "answered before the event loop ran";
    QElapsedTimer waited;
    waited.start();
    while (!answer && waited.elapsed() < waitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (ticks)
        *ticks = beats;
    return answer;
}

// Turns the event loop until every command run has ended; their number.
int runsLeftAfterDraining() {
    const auto runs = [] {
        return QCoreApplication::instance()->findChildren<ShellCommandRun*>().size();
    };
    QElapsedTimer waited;
    waited.start();
    while (runs() > 0 && waited.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return int(runs());
}
} // namespace

TEST(PowerCommand, SucceedingCommandIsRunAndReportsSuccess) {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("powered off"));
    LogindPowerControl power(QStringLiteral("touch '%1'").arg(marker));
    const auto answer = powerOff(power);
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->ok);
    EXPECT_TRUE(answer->error.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(marker));
}

TEST(PowerCommand, ClockKeepsTurningWhileTheCommandRunsAndFailuresAreReported) {
    LogindPowerControl failing(QStringLiteral("sleep 0.5; exit 3"));
    int ticks = 0;
    auto answer = powerOff(failing, &ticks);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->ok);
    EXPECT_TRUE(answer->error.contains(QStringLiteral("3")));
    EXPECT_GE(ticks, 10);

    LogindPowerControl missing(QStringLiteral("/no/such/program"));
    answer = powerOff(missing);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->ok);
    EXPECT_FALSE(answer->error.isEmpty());

    missing.powerOff({}); // nobody listening is fine too
    EXPECT_EQ(runsLeftAfterDraining(), 0);
}

TEST(PowerCommand, CommandPastItsTimeLimitIsKilledAndReported) {
    LogindPowerControl hanging(QStringLiteral("sleep 5"), 300);
    QElapsedTimer took;
    took.start();
    int ticks = 0;
    const auto answer = powerOff(hanging, &ticks);
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->ok);
    EXPECT_FALSE(answer->error.isEmpty());
    EXPECT_LT(took.elapsed(), 3000);
    EXPECT_GE(ticks, 5);
    // The killed process is reaped through the event loop too.
    EXPECT_EQ(runsLeftAfterDraining(), 0);
}
