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

TEST(StartupWarmUp, FontsAreSetInTheFamiliesPickedForTheirText) {
    const FontFor text{QStringLiteral("Sans Serif"), QStringLiteral("zh-cn")};
    const QString chinese = pickedFamily(text);
    if (chinese.isEmpty())
        GTEST_SKIP() << "no font for Chinese text is installed";
    EXPECT_TRUE(QFontDatabase::families().contains(chinese)) << qPrintable(chinese);
    EXPECT_TRUE(QFontDatabase::writingSystems(chinese).contains(QFontDatabase::SimplifiedChinese));
    EXPECT_EQ(pickedFamily({chinese, text.language}), chinese) << "already the one";
    const FontFor digits{QStringLiteral("Serif"), QStringLiteral("en")};
    EXPECT_TRUE(QFontDatabase::families().contains(pickedFamily(digits)));

    const QStringList expected{chinese, text.family};
    EXPECT_EQ(StartupWarmUp::families(text), expected) << "picked now";
    {
        StartupWarmUp warmUp;
        warmUp.applicationReady({}, {digits, text});
        EXPECT_EQ(StartupWarmUp::families(text), expected) << "picked ahead";
        EXPECT_EQ(StartupWarmUp::families(digits).value(1), digits.family);
    }
    EXPECT_EQ(StartupWarmUp::families({chinese, text.language}), QStringList{chinese});
    EXPECT_EQ(StartupWarmUp::families({QStringLiteral("Serif"), QStringLiteral("xx-no-such")}),
              QStringList{QStringLiteral("Serif")})
        << "no font for the language: as named";
}
