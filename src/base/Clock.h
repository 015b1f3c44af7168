#pragma once

#include <QDateTime>

// Where the schedule takes the time of day from. Tests drive a fake one.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
