#include "shell/DialogsInView.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

// A box asked while a window that stays on top is open comes above it too;
// otherwise boxes keep their ordinary place.
TEST(DialogsInView, BoxesComeAboveAWindowThatStaysOnTopOnlyWhileOneIsOpen) {
    DialogsInView filter;
    qApp->installEventFilter(&filter);
    const auto onTop = [](QWidget& w) {
        return w.windowHandle() && w.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
    };

    QMessageBox before(QMessageBox::Critical, QStringLiteral("提示"), QStringLiteral("错误"));
    before.show();
    EXPECT_FALSE(onTop(before));
    before.hide();

    QWidget player(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    player.show();
    QMessageBox box(QMessageBox::Question, QStringLiteral("提示"), QStringLiteral("退出?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.open();
    EXPECT_TRUE(onTop(box));
    EXPECT_TRUE(box.isVisible());
    box.hide();

    player.hide();
    QMessageBox after(QMessageBox::Information, QStringLiteral("提示"), QStringLiteral("好"));
    after.show();
    EXPECT_FALSE(onTop(after));
    qApp->removeEventFilter(&filter);
}
