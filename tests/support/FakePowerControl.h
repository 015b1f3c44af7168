#pragma once

#include "base/Services.h"

#include <QList>

// A power control that only counts requests; installs itself while it lives.
// It answers at once, or, with `hold` set, keeps the answers back until
// answerHeld() (as the real one does while logind thinks).
class FakePowerControl : public PowerControl {
public:
    FakePowerControl() { Services::setPower(this); }
    ~FakePowerControl() override { Services::setPower(nullptr); }

    void powerOff(Result done) override {
        ++calls;
        if (hold)
            held.append(std::move(done));
        else if (done)
            done(accept, accept ? QString() : refusal);
    }

    void answerHeld() {
        const QList<Result> waiting = std::exchange(held, {});
        for (const Result& done : waiting)
            if (done)
                done(accept, accept ? QString() : refusal);
    }

    int calls = 0;
    bool accept = true;
    bool hold = false;
    QList<Result> held;
    QString refusal = QStringLiteral("Interactive authentication required.");
};
