#pragma once

#include "platform/ClockSync.h"

// A clock-synchronisation source the test sets; installs itself while it lives.
class FakeClockSync : public ClockSync {
    Q_OBJECT
public:
    FakeClockSync();
    ~FakeClockSync() override;
    void refresh() override { ++refreshes; }
    void set(State state) { setState(state); }
    int refreshes = 0;
};
