#pragma once

#include <QList>
#include <QObject>
#include <QString>

// One sound output the operator can choose: the sound server's outputs and
// the sound cards.
struct AudioOutput {
    QString name; // for the operator ("Built-in Audio Analog Stereo")
    QString sink; // how the program reaches it, e.g. "pulsesink device=NAME"

    bool operator==(const AudioOutput&) const = default;
};

// The sound outputs of the machine and the one the program plays to. Nothing
// here waits on the caller's thread: listing and the test sound run in the
// background and answer with signals.
class AudioOutputs : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~AudioOutputs() override = default;

    // Looks for the outputs; listed() answers.
    virtual void list() = 0;

    // The output the program plays to from its next song on; empty: the
    // system's default.
    virtual void use(const QString& sink) = 0;
    virtual QString current() const = 0;

    // The output forced from outside the program (VORN_AUDIO_SINK), which
    // wins over the choice; empty when there is none.
    virtual QString forced() const = 0;

    // Plays a short tone to the output (empty: the system's default);
    // testToneDone() answers with an empty text when it was played.
    virtual void playTestTone(const QString& sink) = 0;

signals:
    void listed(const QList<AudioOutput>& outputs);
    void testToneDone(const QString& problem);
};
