#include "base/Resources.h"
#include "shell/StartupWarmUp.h"

#include <QApplication>
#include <QBackingStore>
#include <QFontDatabase>
#include <QPixmap>
#include <QWidget>
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {
QImage shown(const QIcon& icon) {
    return icon.pixmap(16).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// How many of the pages under `image`'s pixels are in memory.
std::pair<size_t, size_t> residentPages(const QImage& image) {
    const auto page = quintptr(sysconf(_SC_PAGESIZE));
    const quintptr begin = quintptr(image.constBits()) & ~(page - 1);
    const quintptr end = quintptr(image.constBits()) + quintptr(image.sizeInBytes());
    std::vector<unsigned char> resident((end - begin + page - 1) / page);
    if (mincore(reinterpret_cast<void*>(begin), end - begin, resident.data()) != 0)
        return {0, resident.size()};
    size_t in = 0;
    for (unsigned char r : resident)
        in += r & 1;
    return {in, resident.size()};
}
} // namespace

TEST(StartupWarmUp, AShownWindowsBufferIsInMemoryBeforeItsFirstPaint) {
    QWidget never;
    StartupWarmUp warmUp;
    warmUp.windowShown(never); // no buffer of its own yet: nothing to do
    QWidget window;
    window.resize(700, 500);
    window.show(); // painted only once events are processed
    warmUp.windowShown(window);
    warmUp.finish();
    const QPaintDevice* device = window.backingStore()->paintDevice();
    ASSERT_TRUE(device && device->devType() == QInternal::Image);
    const auto& buffer = *static_cast<const QImage*>(device);
    EXPECT_EQ(buffer.size(), window.size()) << "the buffer the first paint uses";
    const auto [in, all] = residentPages(buffer);
    EXPECT_EQ(in, all);
}

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
    const QString chinese = pickedFont(text).family;
    if (chinese.isEmpty())
        GTEST_SKIP() << "no font for Chinese text is installed";
    EXPECT_TRUE(QFontDatabase::families().contains(chinese)) << qPrintable(chinese);
    EXPECT_TRUE(QFontDatabase::writingSystems(chinese).contains(QFontDatabase::SimplifiedChinese));
    EXPECT_EQ(pickedFont({chinese, text.language}).family, chinese) << "already the one";
    const FontFor digits{QStringLiteral("Serif"), QStringLiteral("en")};
    EXPECT_TRUE(QFontDatabase::families().contains(pickedFont(digits).family));

    // One family only: with a second one Qt sorts every font again for the
    // font's fallbacks.
    const auto families = [](const FontFor& wanted) {
        QFont font;
        StartupWarmUp::setPicked(font, wanted);
        return font.families();
    };
    EXPECT_EQ(families(text), QStringList{chinese}) << "picked now";
    {
        StartupWarmUp warmUp({digits, text});
        warmUp.applicationReady({});
        EXPECT_EQ(families(text), QStringList{chinese}) << "picked ahead";
        EXPECT_EQ(families(digits), QStringList{pickedFont(digits).family});
    }
    EXPECT_EQ(families({QStringLiteral("Serif"), QStringLiteral("xx-no-such")}),
              QStringList{QStringLiteral("Serif")})
        << "no font for the language: as named";
}

TEST(StartupWarmUp, AFontConfiguredUnhintedIsDrawnUnhinted) {
    const FontFor digits{QStringLiteral("Serif"), QStringLiteral("en")};
    const PickedFont serif = pickedFont(digits);
    if (serif.family.isEmpty() || !serif.hinted)
        GTEST_SKIP() << "no hinted serif font is installed";
    QFont hinted;
    StartupWarmUp::setPicked(hinted, digits);
    EXPECT_EQ(hinted.hintingPreference(), QFont::PreferDefaultHinting);

    // The rule a font package ships for a font that is not to be hinted.
    const QByteArray rule = "<?xml version=\"1.0\"?><fontconfig><match target=\"font\">"
                            "<test name=\"family\"><string>" +
                            serif.family.toUtf8() +
                            "</string></test><edit name=\"hinting\" mode=\"assign\">"
                            "<bool>false</bool></edit></match></fontconfig>";
    ASSERT_TRUE(FcConfigParseAndLoadFromMemory(
        FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(rule.constData()), FcTrue));
    EXPECT_EQ(pickedFont(digits), (PickedFont{serif.family, false}));
    QFont unhinted;
    StartupWarmUp::setPicked(unhinted, digits);
    EXPECT_EQ(unhinted.families(), QStringList{serif.family});
    EXPECT_EQ(unhinted.hintingPreference(), QFont::PreferNoHinting);
}
