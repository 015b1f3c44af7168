#include "platform/LogindPowerControl.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Only the command path is ever exercised: the variable is always set here,
// so the machine is never switched off.
class PowerCommand : public ::testing::Test {
protected:
    void SetUp() override { m_old = qgetenv("VORN_POWEROFF_COMMAND"); }
    void TearDown() override {
        qputenv("VORN_POWEROFF_COMMAND", m_old.isNull() ? QByteArray("false") : m_old);
    }
    static void setCommand(const QString& command) {
        qputenv("VORN_POWEROFF_COMMAND", command.toLocal8Bit());
        ASSERT_TRUE(qEnvironmentVariableIsSet("VORN_POWEROFF_COMMAND"));
    }
    QByteArray m_old;
};
} // namespace

TEST_F(PowerCommand, SucceedingCommandIsRunAndReportsSuccess) {
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("powered off"));
    setCommand(QStringLiteral("touch '%1'").arg(marker));
    LogindPowerControl power;
    QString error = QStringLiteral("unchanged");
    EXPECT_TRUE(power.powerOff(&error));
    EXPECT_TRUE(QFileInfo::exists(marker));
    EXPECT_EQ(error, QStringLiteral("unchanged"));
}

TEST_F(PowerCommand, FailingCommandReportsItsExitStatus) {
    LogindPowerControl power;
    setCommand(QStringLiteral("false"));
    QString error;
    EXPECT_FALSE(power.powerOff(&error));
    EXPECT_FALSE(error.isEmpty());

    setCommand(QStringLiteral("exit 3"));
    EXPECT_FALSE(power.powerOff(&error));
    EXPECT_TRUE(error.contains(QStringLiteral("3")));
    EXPECT_FALSE(power.powerOff()); // no place for the text is fine too

    setCommand(QStringLiteral("/no/such/program"));
    EXPECT_FALSE(power.powerOff(&error));
}
