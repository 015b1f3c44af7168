#include "app/QtMessageService.h"
#include "app/QtTranslations.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>
#include <gtest/gtest.h>

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
