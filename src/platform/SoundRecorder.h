#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// Records the default sound input (the sound server's default source) into a
// WAV file whose 44-byte header the caller has already written: the samples,
// 16-bit little-endian mono at 44100 per second, are appended after it. One
// take per object.
class SoundRecorder : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SoundRecorder() override = default;

    static constexpr int sampleRate = 44100;
    static constexpr int channels = 1;
    static constexpr int bitsPerSample = 16;

    // Starts appending to the file. False, with errorString(), when no input
    // can be made. Returns at once; the input is opened and the sound arrives
    // on other threads. An input that then refuses to open ends the take with
    // stopped(false) before started() has become true.
    virtual bool start(const QString& wavFile) = 0;
    // The input has opened and its first sound has reached the file: only
    // from here on may the operator be told that the take records.
    virtual bool started() const = 0;
    // Ends the take without waiting: stopped() follows once every sample
    // taken up to this call (including what the sound server still held) is
    // in the file.
    virtual void stop() = 0;
    virtual bool isRecording() const = 0;
    // Milliseconds of sound in the file so far.
    virtual qint64 position() const = 0;
    virtual QString errorString() const = 0;

signals:
    // started() has become true.
    void soundArrived();
    // The take has ended and the file holds all of it (ok), or the input
    // failed on the way (not ok; what was written stays in the file).
    // Delivered from the event loop, never from inside a call.
    void stopped(bool ok);
};

// Converts one WAV file to an MP3 file at a constant 128 kbit/s, without
// waiting. One conversion per object.
class Mp3Encoder : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Mp3Encoder() override = default;

    // Starts the conversion; finished() always follows, from the event loop.
    virtual void start(const QString& wavFile, const QString& mp3File) = 0;
    virtual bool isRunning() const = 0;

signals:
    // ok only when the encoder itself reported success; otherwise error says why.
    void finished(bool ok, const QString& error);
};

using SoundRecorderFactory = std::function<std::unique_ptr<SoundRecorder>(QObject* parent)>;
using Mp3EncoderFactory = std::function<std::unique_ptr<Mp3Encoder>(QObject* parent)>;
