#pragma once

#include <QString>
#include <functional>

// Switches the machine off. The real one asks logind; tests use a fake.
class PowerControl {
public:
    // The answer: true when the machine is going down, else false with a
    // readable text.
    using Result = std::function<void(bool ok, const QString& error)>;

    virtual ~PowerControl() = default;
    // Asks for the power-off and returns at once: the answer comes later
    // from the event loop, so the caller's clock keeps running meanwhile.
    // A control that knows the answer at once may call `done` before it
    // returns. `done` may be empty.
    virtual void powerOff(Result done) = 0;
};
