#pragma once

#include "base/Services.h"
#include "platform/AudioOutputs.h"

#include <QStringList>

// Sound outputs for tests: list() and playTestTone() are recorded and answered
// only when the test says so (answerList(), answerTone()), as the real ones
// answer later. Installs itself while it lives.
class FakeAudioOutputs : public AudioOutputs {
public:
    FakeAudioOutputs() { Services::setAudioOutputs(this); }
    ~FakeAudioOutputs() override { Services::setAudioOutputs(nullptr); }

    void list() override { ++lists; }
    void use(const QString& sink) override {
        used << sink;
        chosen = sink;
    }
    QString current() const override { return chosen; }
    QString forced() const override { return forcedSink; }
    void playTestTone(const QString& sink) override { tones << sink; }

    void answerList() { emit listed(outputs); }
    void answerTone(const QString& problem = {}) { emit testToneDone(problem); }

    QList<AudioOutput> outputs;
    QString chosen;
    QString forcedSink;
    int lists = 0;
    QStringList used;
    QStringList tones;
};
