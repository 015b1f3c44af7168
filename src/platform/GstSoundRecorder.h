#pragma once

#include "platform/SoundRecorder.h"

#include <QPointer>
#include <QTimer>
#include <memory>

class QSocketNotifier;
typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

// Recording over a GStreamer pipeline: the input, converted to 16-bit mono at
// 44100 per second, appended to the file. The input is GStreamer's automatic
// source (the sound server's default source) or the source description in the
// environment variable VORN_AUDIO_SOURCE (for example "audiotestsrc
// is-live=true" for tests). Bus messages are read from the event loop.
//
// The caller's thread never waits for the sound system: the pipeline is
// started, ended and torn down on GStreamer's own threads, and stopped() is
// emitted only once the file has been closed.
class GstSoundRecorder : public SoundRecorder {
    Q_OBJECT
public:
    explicit GstSoundRecorder(QObject* parent = nullptr);
    ~GstSoundRecorder() override;

    bool start(const QString& wavFile) override;
    bool started() const override { return m_started; }
    void stop() override;
    bool isRecording() const override { return m_recording; }
    qint64 position() const override;
    QString errorString() const override { return m_error; }

    struct Shared; // what GStreamer's threads may reach of the recorder

private:
    void readBus();
    void handleMessage(GstMessage* message);
    void finish(bool ok);
    // Lets go of the pipeline; it is brought down on another thread.
    void releasePipeline(bool report, bool ok);

    GstElement* m_pipeline = nullptr;
    GstBus* m_bus = nullptr;
    QPointer<QSocketNotifier> m_busNotifier;
    QTimer m_stopTimeout;
    std::shared_ptr<Shared> m_shared;
    QString m_error;
    bool m_recording = false;
    bool m_started = false;
    bool m_stopping = false;
};

// Converts with the LAME encoder program ("lame", CBR 128 kbit/s) as a child
// process. The MP3 is written beside the target under a temporary name and
// renamed over the target only when lame has ended with status 0 and left a
// non-empty file; a failed conversion leaves an existing target as it was.
// A conversion is never waited for: one still running when its encoder object
// (or the program) goes completes on its own.
class LameMp3Encoder : public Mp3Encoder {
    Q_OBJECT
public:
    explicit LameMp3Encoder(QObject* parent = nullptr);
    ~LameMp3Encoder() override;

    void start(const QString& wavFile, const QString& mp3File) override;
    bool isRunning() const override;

    // The program run (tests point it at a failing one).
    static void setProgram(const QString& program);

private:
    void done(bool ok, const QString& error);

    class Private;
    Private* d;
};
