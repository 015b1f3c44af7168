#pragma once

#include "platform/AudioOutputs.h"

#include <memory>

// The sound outputs as GStreamer's device monitor sees them (the sound
// server's outputs and every ALSA card), and the choice the media devices
// play to (GstMediaDevice::setOutput()).
class GstAudioOutputs : public AudioOutputs {
    Q_OBJECT
public:
    explicit GstAudioOutputs(QObject* parent = nullptr);
    ~GstAudioOutputs() override;

    void list() override;
    void use(const QString& sink) override;
    QString current() const override;
    QString forced() const override;
    void playTestTone(const QString& sink) override;

    // The outputs, found now: waits for the sound system (never call it on
    // the thread that runs the schedule).
    static QList<AudioOutput> findOutputs();
    // Plays the test tone now and waits for its end: empty when it was heard.
    static QString playToneNow(const QString& sink);

    struct Receiver; // where the background work answers

private:
    std::shared_ptr<Receiver> m_receiver;
};
