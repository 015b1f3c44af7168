#pragma once

#include "base/Services.h"
#include "platform/Mixer.h"

#include <QList>
#include <QPair>

// Records mixer calls; answers with a fixed result. Installs itself while it lives.
class FakeMixer : public Mixer {
public:
    FakeMixer() { Services::setMixer(this); }
    ~FakeMixer() override { Services::setMixer(nullptr); }

    Result setVolume(int selector, int value) override {
        sets << qMakePair(selector, value);
        return result;
    }
    Result volume(int selector, int& value) override {
        reads << selector;
        value = current;
        return result;
    }

    Result result = Result::Ok;
    int current = 40000;
    QList<QPair<int, int>> sets;
    QList<int> reads;
};
