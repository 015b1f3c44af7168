#include "support/TestDatabase.h"

#include "app/Unit_main_vorn.h"
#include "shell/TrayIcon.h"

#include <QApplication>
#include <QMenu>
#include <QPixmap>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {
const char* buttonName(TrayButton b) {
    return b == TrayButton::Left ? "L" : b == TrayButton::Right ? "R" : "M";
}

// Records what the icon does instead of touching the desktop, and says
// whether a notification area exists.
class RecordingTray : public TTrayIcon {
public:
    explicit RecordingTray(QWidget* window = nullptr, bool available = true)
        : TTrayIcon(window), m_available(available) {
        OnMouseDown = [this](TrayButton b, Qt::KeyboardModifiers, QPoint) {
            log << QStringLiteral("down:") + QLatin1String(buttonName(b));
        };
        OnMouseUp = [this](TrayButton b, Qt::KeyboardModifiers, QPoint) {
            log << QStringLiteral("up:") + QLatin1String(buttonName(b));
        };
        OnMouseMove = [this](Qt::KeyboardModifiers, QPoint) { log << QStringLiteral("move"); };
    }
    void RestoreFromTray() override { log << QStringLiteral("restore"); }
    void ShowTrayMenu() override { log << QStringLiteral("menu"); }
    bool trayAvailable() const override { return m_available; }

    QStringList take() {
        const QStringList out = log;
        log.clear();
        return out;
    }
    QStringList log;

private:
    bool m_available;
};

// The real minimise/restore on a window, with a notification area or without.
class WindowTray : public TTrayIcon {
public:
    WindowTray(QWidget* window, bool available) : TTrayIcon(window), m_available(available) {}
    bool trayAvailable() const override { return m_available; }
    QList<int> frames;
    void SetIconFromIndex(int index) override {
        frames << index;
        TTrayIcon::SetIconFromIndex(index);
    }

private:
    bool m_available;
};

QIcon solidIcon(Qt::GlobalColor color) {
    QPixmap p(16, 16);
    p.fill(color);
    return QIcon(p);
}

QStringList list(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* i : items)
        out << QString::fromLatin1(i);
    return out;
}
} // namespace

TEST(TrayIcon, MainWindowSettingsClickAndMenu) {
    RecordingTray tray;
    tray.setRestoreOn(imNone);
    tray.setPopupMenuOn(imRightClickUp);
    tray.OnClick = [&tray] { tray.log << QStringLiteral("click"); };

    tray.TrayWndProc(TrayMouseMessage::LButtonDown);
    tray.TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_EQ(tray.take(), list({"down:L", "click", "up:L"})); // once, no menu
    tray.TrayWndProc(TrayMouseMessage::LButtonDblClk);
    EXPECT_EQ(tray.take(), QStringList()); // double click does nothing here
    tray.TrayWndProc(TrayMouseMessage::RButtonDown);
    tray.TrayWndProc(TrayMouseMessage::RButtonUp);
    EXPECT_EQ(tray.take(), list({"down:R", "up:R", "menu"}));
    tray.TrayWndProc(TrayMouseMessage::MouseMove);
    EXPECT_EQ(tray.take(), list({"move"}));
}

TEST(TrayIcon, RestoreComesBeforeMenuAndBothBeforeTheEvent) {
    RecordingTray tray;
    tray.setRestoreOn(imMouseUp);
    tray.setPopupMenuOn(imMouseUp);
    tray.TrayWndProc(TrayMouseMessage::MButtonUp);
    EXPECT_EQ(tray.take(), list({"restore", "menu", "up:M"}));

    tray.setRestoreOn(imMouseDown);
    tray.setPopupMenuOn(imMouseDown);
    tray.TrayWndProc(TrayMouseMessage::RButtonDown);
    EXPECT_EQ(tray.take(), list({"restore", "menu", "down:R"}));

    tray.setRestoreOn(imLeftClickUp);
    tray.setPopupMenuOn(imLeftClickUp);
    tray.TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_EQ(tray.take(), list({"up:L", "restore", "menu"}));
    tray.TrayWndProc(TrayMouseMessage::RButtonUp);
    EXPECT_EQ(tray.take(), list({"up:R"}));

    tray.setRestoreOn(imRightDoubleClick);
    tray.setPopupMenuOn(imLeftDoubleClick);
    tray.TrayWndProc(TrayMouseMessage::RButtonDblClk);
    tray.TrayWndProc(TrayMouseMessage::LButtonDblClk);
    EXPECT_EQ(tray.take(), list({"restore", "menu"}));
}

TEST(TrayIcon, ClickStepOnlyWhenOnClickIsSet) {
    RecordingTray tray;
    tray.setRestoreOn(imClick);
    tray.setPopupMenuOn(imClick);
    tray.TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_EQ(tray.take(), list({"up:L"}));

    tray.OnClick = [&tray] { tray.log << QStringLiteral("click"); };
    tray.TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_EQ(tray.take(), list({"restore", "menu", "click", "up:L"}));
}

TEST(TrayIcon, DoubleClickOfEveryButtonCounts) {
    RecordingTray tray;
    tray.setRestoreOn(imDoubleClick);
    tray.setPopupMenuOn(imNone);
    for (auto m : {TrayMouseMessage::LButtonDblClk, TrayMouseMessage::RButtonDblClk,
                   TrayMouseMessage::MButtonDblClk})
        tray.TrayWndProc(m);
    EXPECT_EQ(tray.take(), list({"restore", "restore", "restore"}));
}

TEST(TrayIcon, DesktopActivationsMapToMouseMessages) {
    RecordingTray tray;
    tray.setRestoreOn(imNone);
    tray.setPopupMenuOn(imRightClickUp);
    tray.OnClick = [&tray] { tray.log << QStringLiteral("click"); };
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(tray.take(), list({"down:L", "click", "up:L"}));
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_EQ(tray.take(), list({"click", "up:L"})) << "a double click's second release";
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(tray.take(), list({"down:R", "up:R", "menu"}));
    emit tray.systemTrayIcon()->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(tray.take(), list({"down:M", "up:M"}));
}

TEST(TrayIcon, RightClickMenuIsHandedToTheDesktop) {
    QMenu menu;
    RecordingTray tray;
    tray.setPopupMenu(&menu);
    tray.setPopupMenuOn(imRightClickUp);
    EXPECT_EQ(tray.systemTrayIcon()->contextMenu(), &menu);
    tray.setPopupMenuOn(imLeftClickUp);
    EXPECT_EQ(tray.systemTrayIcon()->contextMenu(), nullptr);
}

TEST(TrayIcon, HintIsShownWhole) {
    RecordingTray tray;
    // Far beyond the 63 bytes that older notification areas took.
    const QString hint =
        QStringLiteral("某某市第一实验中学红领巾广播站自动播音系统（教学楼一层） V2.3");
    tray.setHint(hint);
    EXPECT_EQ(tray.Hint(), hint);
    EXPECT_EQ(tray.systemTrayIcon()->toolTip(), hint);
    tray.setHint(QString());
    EXPECT_EQ(tray.systemTrayIcon()->toolTip(), QString());
}

TEST(TrayIcon, VisibleTogglesHide) {
    RecordingTray tray;
    tray.setHide(false);
    tray.setVisible(true);
    EXPECT_TRUE(tray.Visible());
    EXPECT_TRUE(tray.Hide());
    tray.setVisible(false);
    EXPECT_FALSE(tray.Visible());
    EXPECT_FALSE(tray.Hide());
}

TEST(TrayIcon, AnimationRunsThroughTheIconsInOrder) {
    QWidget window;
    WindowTray tray(&window, true);
    const QList<QIcon> icons = {solidIcon(Qt::red), solidIcon(Qt::green), solidIcon(Qt::blue)};

    tray.setAnimate(true); // no icon list yet: stays off
    EXPECT_FALSE(tray.Animate());

    tray.setIcons(icons);
    tray.setIconIndex(0);
    tray.loaded();
    EXPECT_EQ(tray.currentIcon().cacheKey(), icons[0].cacheKey());
    EXPECT_EQ(tray.AnimateInterval(), 1000);
    tray.frames.clear();
    tray.setAnimateInterval(5);
    tray.setAnimate(true);
    EXPECT_TRUE(tray.Animate());
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.frames.size() >= 4; }, 5000));
    tray.setAnimate(false);
    EXPECT_EQ(tray.frames.mid(0, 4), (QList<int>{1, 2, 0, 1}));
    EXPECT_EQ(tray.currentIcon().cacheKey(), icons[tray.IconIndex()].cacheKey());
    EXPECT_EQ(tray.systemTrayIcon()->icon().cacheKey(), icons[tray.IconIndex()].cacheKey());

    tray.setIcons({});
    tray.loaded();
    EXPECT_FALSE(tray.Animate());
}

TEST(TrayIcon, MinimisingHidesTheTaskbarEntryOnlyWithANotificationArea) {
    QWidget window;
    window.show();
    WindowTray tray(&window, true);
    int minimized = 0;
    int restored = 0;
    tray.OnMinimize = [&] { ++minimized; };
    tray.OnRestore = [&] { ++restored; };
    tray.setVisible(true);

    window.showMinimized(); // from the title bar
    ASSERT_TRUE(QTest::qWaitFor([&] { return minimized == 1; }, 2000));
    EXPECT_TRUE(window.isHidden());
    EXPECT_TRUE(tray.windowHiddenInTray());

    tray.RestoreFromTray();
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());

    // Taking the icon away while the window sits in the tray brings the
    // taskbar entry back, so the window is never lost.
    tray.MinimizeToTray();
    EXPECT_TRUE(window.isHidden());
    tray.setVisible(false);
    EXPECT_FALSE(window.isHidden());
    EXPECT_TRUE(window.isMinimized());

    QWidget plain;
    plain.show();
    WindowTray noArea(&plain, false);
    noArea.setVisible(true);
    noArea.MinimizeToTray();
    EXPECT_TRUE(plain.isMinimized());
    EXPECT_FALSE(plain.isHidden()); // still on the taskbar
}

TEST(TrayIcon, ALateMinimisedReportDoesNotHideTheRestoredWindow) {
    QWidget window;
    window.show();
    WindowTray tray(&window, true);
    tray.setVisible(true);
    tray.MinimizeToTray(); // a click on the icon
    EXPECT_TRUE(window.isHidden());
    tray.RestoreFromTray(); // the next click
    // Only now does the window manager report the first click's minimise.
    window.setWindowState(window.windowState() | Qt::WindowMinimized);
    QTest::qWait(50);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_FALSE(tray.windowHiddenInTray());
}

TEST(TrayIcon, MainWindowTrayClickToggles) {
    TestDatabase db;
    TForm_main_vorn main(db.dm());
    main.show();
    EXPECT_EQ(main.TrayIcon1->RestoreOn(), imNone);
    EXPECT_EQ(main.TrayIcon1->PopupMenuOn(), imRightClickUp);
    EXPECT_EQ(main.TrayIcon1->PopupMenu(), main.PopupMenu1);
    EXPECT_EQ(main.TrayIcon1->Icons().size(), 3);
    main.TrayIcon1->setVisible(true);
    main.setTitleText(QStringLiteral("测试"));
    EXPECT_EQ(main.TrayIcon1->Hint(), QStringLiteral("测试 V2.3"));

    main.TrayIcon1->TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_TRUE(main.isMinimized());
    // The test screen has no notification area: the window stays reachable.
    EXPECT_EQ(!main.isHidden(), !QSystemTrayIcon::isSystemTrayAvailable());
    main.TrayIcon1->TrayWndProc(TrayMouseMessage::LButtonUp);
    EXPECT_FALSE(main.isMinimized());
    EXPECT_TRUE(main.isVisible());

    main.TrayIcon1->MinimizeToTray();
    main.N1->trigger();
    EXPECT_FALSE(main.isMinimized());
}

TEST(TrayIcon, FollowsANotificationAreaThatComesLateOrGoes) {
    QWidget window;
    window.show();
    bool available = false;
    struct LateTray : TTrayIcon {
        LateTray(QWidget* w, bool& a) : TTrayIcon(w), available(a) {}
        bool trayAvailable() const override { return available; }
        bool& available;
    } tray(&window, available);
    tray.trayWatchTimer()->setInterval(5);
    tray.setVisible(true);
    EXPECT_FALSE(tray.systemTrayIcon()->isVisible());

    available = true; // the panel starts after the program
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray.systemTrayIcon()->isVisible(); }, 2000));
    tray.MinimizeToTray();
    EXPECT_TRUE(window.isHidden());

    available = false; // the panel goes away: the window comes back to the taskbar
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isHidden(); }, 2000));
    EXPECT_TRUE(window.isMinimized());
    EXPECT_FALSE(tray.windowHiddenInTray());
}
