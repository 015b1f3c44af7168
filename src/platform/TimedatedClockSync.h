#pragma once

#include "platform/ClockSync.h"

// systemd-timedated's NTPSynchronized property, read over the system bus
// without waiting for the answer. No bus or no timedated: Unknown.
class TimedatedClockSync : public ClockSync {
    Q_OBJECT
public:
    using ClockSync::ClockSync;
    void refresh() override;
};
