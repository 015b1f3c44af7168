#include "base/Resources.h"
#include "shell/StartupWarmUp.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPixmap>
#include <gtest/gtest.h>

namespace {
QImage shown(const QIcon& icon) {
    return icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}
} // namespace

TEST(StartupWarmUp, PreparedIconsLookLikeIconsReadFromTheirFiles) {
    initVornResources();
    const QString prepared = QStringLiteral(":/vorn/icons/player.png");
    const QString other = QStringLiteral(":/vorn/icons/stop.png");
    {
        StartupWarmUp warmUp;
        warmUp.applicationReady({prepared, QStringLiteral(":/no/such.png")});
        EXPECT_EQ(shown(StartupWarmUp::icon(prepared)), shown(QIcon(prepared)));
        EXPECT_EQ(shown(StartupWarmUp::icon(other)), shown(QIcon(other))) << "not prepared: read";
        EXPECT_TRUE(StartupWarmUp::icon(QStringLiteral(":/no/such.png")).pixmap(16).isNull());
        warmUp.finish();
        EXPECT_FALSE(QFontDatabase::families().isEmpty());
    }
    EXPECT_EQ(shown(StartupWarmUp::icon(prepared)), shown(QIcon(prepared))) << "after it ended";
    // Ended before the application came (a second start that only says so).
    StartupWarmUp never;
}
