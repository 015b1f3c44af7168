#pragma once

#include "base/Services.h"

// A power control that only counts requests; installs itself while it lives.
class FakePowerControl : public PowerControl {
public:
    FakePowerControl() { Services::setPower(this); }
    ~FakePowerControl() override { Services::setPower(nullptr); }

    bool powerOff(QString* error = nullptr) override {
        ++calls;
        if (!accept && error)
            *error = refusal;
        return accept;
    }

    int calls = 0;
    bool accept = true;
    QString refusal = QStringLiteral("Interactive authentication required.");
};
