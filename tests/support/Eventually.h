#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <gtest/gtest.h>

// Runs the event loop (deferred deletions too) until `condition` holds;
// false when `timeoutMs` passed first. Qt's own QTRY_ macros report to
// QTest's log, which a gtest test never hears of.
template <typename Condition> bool eventually(Condition condition, int timeoutMs = 5000) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QThread::msleep(1);
    }
    return true;
}

#define EXPECT_EVENTUALLY(condition)                                                               \
    EXPECT_TRUE(eventually([&] { return bool(condition); })) << "never came true: " #condition
#define EXPECT_EVENTUALLY_WITHIN(condition, timeoutMs)                                             \
    EXPECT_TRUE(eventually([&] { return bool(condition); }, timeoutMs))                            \
        << "never came true: " #condition
