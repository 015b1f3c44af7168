#include "FakeClockSync.h"

#include "base/Services.h"

FakeClockSync::FakeClockSync() {
    Services::setClockSync(this);
}

FakeClockSync::~FakeClockSync() {
    Services::setClockSync(nullptr);
}
