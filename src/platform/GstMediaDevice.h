#pragma once

#include "platform/MediaDevice.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QSocketNotifier;
typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

// The media device of the program over GStreamer's playbin. One playbin per
// device, reused for every file it opens. open() and seek() wait (bounded) for
// the pipeline to settle; everything else returns at once. Bus messages are
// read on the thread the device lives on through a socket notifier on the
// bus's poll descriptor, so finished() always arrives from the event loop.
//
// The audio output is GStreamer's automatic sink, or the sink description in
// the environment variable VORN_AUDIO_SINK (for example "alsasink
// device=hw:1", or "fakesink sync=true" for tests).
class GstMediaDevice : public MediaDevice {
    Q_OBJECT
public:
    explicit GstMediaDevice(QObject* parent = nullptr);
    ~GstMediaDevice() override;

    bool open(const QString& fileName) override;
    QString errorString() const override { return m_error; }
    QString fileName() const override { return m_file; }
    bool play(bool notify) override;
    void pause() override;
    void resume() override;
    void stop() override;
    void close() override;
    void seek(qint64 ms) override;
    Mode mode() const override { return m_mode; }
    qint64 position() const override;
    qint64 length() const override { return m_length; }
    void setVolume(int level) override;
    int volume() const override { return m_targetVolume; }
    bool notifyEnabled() const override { return m_notify; }
    void setNotifyEnabled(bool on) override { m_notify = on; }

    // Checks the sound output the devices will use: empty when it reaches a
    // real output, otherwise a text for the operator.
    static QString checkAudioOutput();

    // Initialises GStreamer once per process.
    static void initGStreamer();

    // Length of an MP3 file counted from its frame headers, or -1 when the
    // file is not an MP3 stream or its VBR header already gives the decoder
    // the exact length. Tags and stretches of other data inside (songs joined
    // with their cover art, damage) are skipped however long they are; the
    // file is read in blocks, so one that changes meanwhile cannot crash it.
    static qint64 mp3LengthFromFrames(const QString& fileName);

private:
    bool ensurePipeline();
    void destroyPipeline();
    // Reads bus messages until one of the wanted kinds arrives or the time is
    // up; every message read is handled. Returns the type that ended the wait
    // (0 on time-out).
    int waitFor(int messageTypes, int timeoutMs);
    void handleMessage(GstMessage* message);
    void readBus();
    void songEnded();
    void deliverFinished();
    void updateLength();
    void checkOutput();
    void applyVolume(double linear);
    void rampStep();
    void finishRampBeforeHalt();
    void resetPlaybackState();
    void prerollAt(qint64 ms);
    void prerollAgainIfVolumeChanged();

    GstElement* m_playbin = nullptr;
    GstBus* m_bus = nullptr;
    QPointer<QSocketNotifier> m_busNotifier;

    QString m_file;
    QString m_error;
    QString m_outputProblem;
    Mode m_mode = Mode::NotOpen;
    qint64 m_length = 0;
    qint64 m_framesLength = -1; // length counted from the MP3 frames, if any
    mutable qint64 m_lastPosition = 0;
    bool m_atEnd = false;        // played to the end (or stopped by an error)
    bool m_needsRestart = false; // the stream stopped on an error
    bool m_notify = false;
    bool m_finishedPending = false;
    QString m_playError;

    int m_targetVolume = 1000;
    double m_appliedVolume = 1.0;
    double m_prerolledVolume = 1.0; // volume of the sound the sink holds
    double m_rampFrom = 1.0;
    QTimer m_rampTimer;
    QElapsedTimer m_rampClock;
};
