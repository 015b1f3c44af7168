#include "platform/SingleInstance.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

TEST(SingleInstance, OnlyOneHoldsTheKeyAndItIsFreeOnceTheHolderIsGone) {
    const QString key = QStringLiteral("single-%1").arg(::getpid());
    auto first = std::make_unique<SingleInstance>(key);
    ASSERT_TRUE(first->acquire()) << qPrintable(first->lockPath());
    EXPECT_TRUE(first->acquire()) << "already held by this one";
    SingleInstance second(key);
    EXPECT_FALSE(second.acquire());
    EXPECT_TRUE(SingleInstance(key + QStringLiteral("-other")).acquire()) << "another key";

    // The file a holder leaves behind (or one that crashed) does not count.
    first.reset();
    ASSERT_TRUE(QFile::exists(second.lockPath()));
    EXPECT_TRUE(second.acquire());
    QFile note(second.lockPath());
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll().trimmed().toLongLong(), qint64(::getpid()));
}
