#pragma once

#include <QObject>
#include <QString>
#include <memory>

class SoundRecorder;
class Mp3Encoder;

// One recording, from the microphone to its MP3 file. The sound goes into a
// private temporary WAV file of its own (created new in the user's temporary
// folder, never a fixed name), which is finalised when the recording stops,
// converted, and removed once the MP3 has been written. A take lives on its
// own (it outlives the player window that started it) and deletes itself when
// it is done.
class RecordingTake : public QObject {
    Q_OBJECT
public:
    enum class Stage { New, Recording, Stopping, Stopped, Converting, Done, Failed, Discarded };

    explicit RecordingTake(QObject* parent = nullptr);
    ~RecordingTake() override;

    // Creates the temporary file with its header and starts recording into
    // it. False, with the reason in *error, when that fails (nothing is left).
    bool start(QString* error);
    // Milliseconds recorded so far.
    qint64 position() const;
    // The input's first sound has reached the file: the take records.
    bool hasSound() const;
    // Ends the recording without waiting; the file is finalised when the
    // recorder confirms the end.
    void stop();
    // Converts the take to mp3File once it is finalised (stopping it first if
    // need be). finished() follows; on failure the error message has been
    // shown. The take deletes itself afterwards.
    void saveAs(const QString& mp3File);
    // Drops the take: its file is removed and the take deletes itself.
    void discard();

    Stage stage() const { return m_stage; }

    // Whether the take is on its way to its MP3 (or to being dropped): it
    // needs the event loop a little longer before the program may end.
    bool isFinishing() const;
    // For the program's end, once nothing else is left to run: turns the
    // event loop until no take is finishing any more, or limitMs have passed.
    // True when every take got to its end.
    static bool finishAll(int limitMs);
    QString wavFile() const { return m_wavFile; }
    QString target() const { return m_target; }

signals:
    // hasSound() has become true.
    void soundArrived();
    // The finalised WAV is being converted ("正在保存为MP3格式，请稍等......").
    void converting();
    // ok: mp3File exists and holds what the encoder wrote.
    void finished(bool ok, const QString& mp3File);
    // The input broke off during the recording (what came is kept).
    void inputFailed(const QString& error);
    // The input refused to open: nothing was recorded, the take is gone.
    void startFailed(const QString& error);

private:
    void recorderStopped(bool ok);
    void convert();
    void conversionDone(bool ok, const QString& error);
    void fail(const QString& why);
    void removeWav();
    // The take is over and goes.
    void end();

    Stage m_stage = Stage::New;
    QString m_wavFile;
    QString m_target;
    bool m_finalised = false;
    bool m_ended = false;
    std::unique_ptr<SoundRecorder> m_recorder;
    std::unique_ptr<Mp3Encoder> m_encoder;
};
