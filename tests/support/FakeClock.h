#pragma once

#include "base/Clock.h"
#include "base/Services.h"

// A clock the test sets and advances; installs itself while it lives.
class FakeClock : public Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 12, 7), QTime(8, 0, 0)))
        : m_now(std::move(start)) {
        Services::setClock(this);
    }
    ~FakeClock() override { Services::setClock(nullptr); }

    QDateTime now() const override { return m_now; }
    void set(const QDateTime& t) { m_now = t; }
    void setTime(const QTime& t) { m_now.setTime(t); }
    void advance(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
