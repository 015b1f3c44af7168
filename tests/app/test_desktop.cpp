#include "FakeMediaDevice.h"
#include "RecordingMessageService.h"
#include "TestDatabase.h"
#include "app/DeskActivation.h"
#include "app/QtMessageService.h"
#include "app/QtTranslations.h"
#include "app/Unit_main_vorn.h"
#include "shell/AboutLinks.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

TEST(QtTexts, StandardButtonsSpeakChineseOnceTheTranslationsAreInstalled) {
    ASSERT_TRUE(installQtTranslations(*qApp)) << "qt6-translations-l10n is not installed";
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));

    const auto box =
        QtMessageService::makeBox(QStringLiteral("保存列表成功。"), QStringLiteral("提示"),
                                  MessageService::Icon::None, MessageService::Buttons::YesNoCancel);
    ASSERT_EQ(box->buttons().size(), 3);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
}

TEST(QtTexts, MessageBoxesAreWideEnoughForTheirCaption) {
    for (const QString& caption :
         {QStringLiteral("提示"), QStringLiteral("数据库写入出错，请检查磁盘")}) {
        const auto box =
            QtMessageService::makeBox(QStringLiteral("好。"), caption, MessageService::Icon::Error,
                                      MessageService::Buttons::Ok);
        box->adjustSize();
        EXPECT_GE(box->width(), QtMessageService::minimumWidthFor(caption))
            << caption.toStdString();
        EXPECT_GT(QtMessageService::minimumWidthFor(caption),
                  box->fontMetrics().horizontalAdvance(caption));
    }
}

namespace {
// A second start asks the running desk to show itself: true when the desk
// heard it once and the second start got its answer. The second start runs
// in its own process; here a thread stands in for it.
bool aSecondStartAsks(DeskActivation& running, const QString& key) {
    QSignalSpy asked(&running, &DeskActivation::showRequested);
    bool answered = false;
    std::thread second([&] { answered = DeskActivation(key).askRunningDeskToShow(5000); });
    const bool heard = asked.wait(5000);
    second.join();
    return heard && answered && asked.size() == 1;
}
} // namespace

TEST(OneDesk, ASecondStartBringsTheRunningDeskOutOfTheTray) {
    const QString key = QStringLiteral("vorn-test-desk-%1").arg(QCoreApplication::applicationPid());
    DeskActivation running(key);
    ASSERT_TRUE(running.listen());

    RecordingMessageService messages;
    FakeMediaFactory devices;
    TestDatabase db;
    TForm_main_vorn desk(db.dm());
    ASSERT_TRUE(desk.FormCreate());
    QObject::connect(&running, &DeskActivation::showRequested, &desk,
                     &TForm_main_vorn::bringToFront);
    desk.show();
    // Hidden in the tray, as the tray icon leaves it (where there is a tray).
    desk.setWindowState(Qt::WindowMinimized);
    desk.hide();

    EXPECT_TRUE(aSecondStartAsks(running, key));
    EXPECT_TRUE(desk.isVisible());
    EXPECT_FALSE(desk.isMinimized());

    EXPECT_FALSE(DeskActivation(key + "-none").askRunningDeskToShow(200))
        << "nobody listening: the second start just ends";
}

namespace {
// A socket bound to `path`; -1 when it cannot be. Closing it leaves the file
// behind, as a desk that crashed does.
int boundSocket(const QString& path, bool connectInstead) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::copy(native.begin(), native.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const auto* where = reinterpret_cast<const sockaddr*>(&address);
    if (connectInstead ? ::connect(fd, where, sizeof(address)) : ::bind(fd, where, sizeof(address)))
        return ::close(fd), -1;
    return fd;
}
} // namespace

TEST(OneDesk, ALeftOverSocketIsReplacedAndASilentCallerHoldsNobodyUp) {
    const QString key =
        QStringLiteral("vorn-test-stale-%1").arg(QCoreApplication::applicationPid());
    const QString path = DeskActivation(key).socketPath();
    ::close(boundSocket(path, false));
    ASSERT_TRUE(QFileInfo::exists(path));

    DeskActivation running(key);
    ASSERT_TRUE(running.listen());
    EXPECT_EQ(QFileInfo(path).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions())
        << "only the desk's own user may ask it";
    const int silent = boundSocket(path, true);
    ASSERT_GE(silent, 0);
    EXPECT_TRUE(aSecondStartAsks(running, key));
    ::close(silent);
}

TEST(DeskLook, ToolbarButtonsHaveIconsAndHintsAndF1OpensTheHelp) {
    RecordingMessageService messages;
    FakeMediaFactory devices;
    TestDatabase db;
    TForm_main_vorn desk(db.dm());
    ASSERT_TRUE(desk.FormCreate());
    for (QToolButton* b : desk.ControlBar2->findChildren<QToolButton*>()) {
        if (b->objectName().startsWith(QLatin1String("ToolButton"))) {
            EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
            EXPECT_FALSE(b->toolTip().isEmpty()) << b->objectName().toStdString();
        }
    }
    EXPECT_FALSE(desk.SpeedButton1->icon().isNull());
    EXPECT_EQ(desk.SpeedButton1->toolTip(), QStringLiteral("停止自动播放歌曲"));

    QList<QUrl> opened;
    AboutLinks::setOpener([&](const QUrl& url) {
        opened << url;
        return true;
    });
    desk.show();
    desk.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&desk));
    QTest::keyClick(&desk, Qt::Key_F1);
    AboutLinks::setOpener(nullptr);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], AboutLinks::helpUrl());
}
