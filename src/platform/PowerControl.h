#pragma once

#include <QString>

// Switches the machine off. The real one asks logind; tests use a fake.
class PowerControl {
public:
    virtual ~PowerControl() = default;
    // Returns false with a readable text when the request was refused.
    virtual bool powerOff(QString* error = nullptr) = 0;
};
