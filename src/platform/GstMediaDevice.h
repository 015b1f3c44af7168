#pragma once

#include "platform/MediaDevice.h"

#include <QElapsedTimer>
#include <QTimer>
#include <array>
#include <memory>

class QThread;
typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;

// The media device of the program over GStreamer's playbin.
//
// Nothing here waits for GStreamer on the caller's thread. Every state
// change, seek and pipeline build runs in order on a thread of the device's
// own; the bus messages come back to the caller's thread as queued calls.
// The device keeps two playbins: the one that plays and a spare, in which a
// file is cued (opened and prerolled ahead) so that it can start on the spot;
// opening a file also goes to the spare, so the song that stops can finish
// its fade while the new one starts. Songs set with setNext() follow without
// a gap (playbin's about-to-finish); each is first tried in the background.
//
// The audio output is GStreamer's automatic sink, the output chosen with
// setOutput(), or the sink description in the environment variable
// VORN_AUDIO_SINK (for example "alsasink device=hw:1", or "fakesink
// sync=true" for tests), which wins over both. When the output fails while a
// song plays or is opened (the sound server restarts, a USB card is pulled),
// the device says so with outputProblem() and tries again: at once, then
// four times a second while a song is due or playing (every two seconds
// while one is only held). A song goes on where it was last heard; one that
// was due while the output was away starts from its beginning. A stream
// that found no real output, or was built for another output than the one
// chosen now, is built anew with the next file. With watchOutput() the
// output is also checked while nothing plays, so that an outage shows while
// it lasts, and while a song plays on a stream that found none: once the
// output answers, the song moves there (from its beginning).
class GstMediaDevice : public MediaDevice {
    Q_OBJECT
public:
    explicit GstMediaDevice(QObject* parent = nullptr);
    ~GstMediaDevice() override;

    bool open(const QString& fileName) override;
    QString errorString() const override { return m_error; }
    QString fileName() const override;
    bool play(bool notify) override;
    void pause() override;
    void resume() override;
    void stop() override;
    void close() override;
    void seek(qint64 ms) override;
    Mode mode() const override;
    qint64 position() const override;
    qint64 length() const override;
    void setVolume(int level) override;
    int volume() const override { return m_targetVolume; }
    bool notifyEnabled() const override { return m_notify; }
    void setNotifyEnabled(bool on) override { m_notify = on; }
    bool cue(const QString& fileName, int volume) override;
    bool playCued(bool notify) override;
    bool setNext(const QString& fileName) override;

    // Builds the sound streams now (in the background) rather than with the
    // first file. The main window calls it once it is on screen.
    void warmUp() override;
    void watchOutput() override;

    // Checks the sound output the devices will use: empty when it reaches a
    // real output, otherwise a text for the operator. Waits for the sound
    // system: never on the thread that runs the schedule.
    static QString checkAudioOutput();

    // Initialises GStreamer once per process (any thread).
    static void initGStreamer();

    // The output the devices play to: a sink description such as
    // "pulsesink device=NAME" or "alsasink device=hw:CARD=X", or empty for
    // the system's default. Taken by each stream when it is next built;
    // devices rebuild their streams at the next file.
    static void setOutput(const QString& sinkDescription);
    static QString output();

    // A new sink for the chosen output (as setOutput() takes it; empty: the
    // system's default), or for VORN_AUDIO_SINK when that is set. Null with
    // a text for the operator when it cannot be made.
    static GstElement* makeSink(const QString& chosen, QString* error);
    // True when an automatic sink in `sink` found no sound server and no
    // card and fell back to a sink that plays nowhere.
    static bool sinkFellBack(GstElement* sink);
    // Whether the output the streams use is there: empty when it is, else a
    // text for the operator. Cheap and never opens a sound card the streams
    // may hold; waits for the sound server (never on the schedule's thread).
    static QString probeOutput();

    // Length of an MP3 file counted from its frame headers, or -1 when the
    // file is not a plain MP3 stream. Used when the file has no VBR header,
    // for which the decoder only estimates the length.
    static qint64 mp3LengthFromFrames(const QString& fileName);

    struct Stream; // one playbin, shared with the device's thread
    struct Slot;   // what this side knows of a stream

private:
    // Runs fn on the device's thread, after everything posted before.
    void post(std::function<void()> fn);
    Slot& active() { return *m_slots[m_active]; }
    const Slot& active() const { return *m_slots[m_active]; }
    Slot& spare() { return *m_slots[1 - m_active]; }
    void startOpen(Slot& slot, const QString& fileName, int volume);
    void halt(Slot& slot, bool close);
    void startPlaying(Slot& slot);
    void handleMessage(int slotIndex, int generation, GstMessage* message);
    void handleOpened(int slotIndex, int generation, bool ok, const QString& why,
                      qint64 framesLength, bool noRealOutput);
    void slotFailed(Slot& slot, Failure why, const QString& text);
    void songEnded(Slot& slot);
    void updateLength(Slot& slot);
    void reportOutput(const QString& problem);
    void outputLost(Slot& slot, const QString& why);
    void retryOutput();
    void checkOutput();
    bool playsNowhere() const;
    void paceWatch();
    void leaveNowhere();
    void releaseOutput();
    static void releaseOutputEverywhere();
    void probeNext(const QString& fileName, int token);
    void applyVolumeTo(Slot& slot, double linear);
    void settleVolume(Slot& slot);
    void rampStep();
    int rampRemainingMs() const;
    bool checkFile(const QString& fileName);

    QThread* m_thread = nullptr;
    QObject* m_worker = nullptr; // lives on m_thread
    std::array<std::unique_ptr<Slot>, 2> m_slots;
    int m_active = 0;

    QString m_error;
    QString m_outputProblem;
    bool m_notify = false;
    int m_nextToken = 0; // which setNext() a probe answers

    int m_targetVolume = 1000;
    Slot* m_rampSlot = nullptr; // the stream a fade is running on
    double m_rampFrom = 1.0;
    double m_rampTo = 1.0;
    QTimer m_rampTimer;
    QElapsedTimer m_rampClock;
    QTimer m_retryTimer; // output recovery
    QTimer m_watchTimer; // output checks while nothing plays
    bool m_checking = false;
    QString m_lastCheck;      // what the last check of the output found
    bool m_hadOutput = false; // a real output answered since the start
};
