#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// A media device owning at most one open file at a time, addressed by its file
// name, with positions and lengths in milliseconds. The main window, the entry
// dialogs and the player each own one.
//
// No call waits for the sound system: a file is opened (read, decoded up to
// its first sound) in the background. open() refuses at once what is plainly
// not playable (missing, not a regular file, unreadable); a file that turns
// out not to decode is reported later with failed(). Commands given before
// the file is ready (play, seek, volume) take effect as soon as it is.
class MediaDevice : public QObject {
    Q_OBJECT
public:
    enum class Mode { NotOpen, Stopped, Playing, Paused, Recording, Other };
    Q_ENUM(Mode)

    // Why a file could not be played.
    enum class Failure {
        None,
        Missing,     // no such file (or not a regular file)
        Unreadable,  // no permission
        Undecodable, // nothing can decode it
        Output,      // the sound output refused it
        Other,
    };
    Q_ENUM(Failure)

    using QObject::QObject;
    ~MediaDevice() override = default;

    // Opens the file, closing any file still open first. False with a
    // readable errorString() and failure() for a file that is plainly not
    // playable; true when it is being opened.
    virtual bool open(const QString& fileName) = 0;
    virtual QString errorString() const = 0;
    virtual Failure failure() const { return m_failure; }
    virtual QString fileName() const = 0;

    // Starts playing from the current position. With notify on, finished() is
    // emitted once the file has played to its end. Returns false on failure.
    virtual bool play(bool notify) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;
    virtual void close() = 0;
    virtual void seek(qint64 ms) = 0;

    virtual Mode mode() const = 0;
    virtual qint64 position() const = 0;
    // 0 until the open file's length is known (lengthChanged()).
    virtual qint64 length() const = 0;

    // Volume of the open file, 0 (silent) to 1000 (full).
    virtual void setVolume(int level) = 0;
    virtual int volume() const = 0;

    // The completion notification is wanted for the song playing now.
    virtual bool notifyEnabled() const = 0;
    virtual void setNotifyEnabled(bool on) = 0;

    // Gets the sound output ready in the background (a device may otherwise
    // do it with its first file).
    virtual void warmUp() {}
    // Keeps an eye on the sound output from now on, also while nothing
    // plays, and tells of an outage and its end with outputProblem().
    virtual void watchOutput() {}

    // Preparing ahead. cue() opens a file in the background at the given
    // volume without touching what plays now; playCued() then closes the open
    // file and starts the cued one at once (or as soon as it is ready). One
    // file is cued at a time; open() and close() drop it. A cued file that
    // cannot be played is reported with failed().
    virtual bool cue(const QString& fileName, int volume);
    virtual QString cuedFile() const { return m_cued; }
    virtual bool playCued(bool notify);

    // The song to follow the playing one without a gap (empty: none). When
    // the playing song ends, the next one goes on at the same volume and
    // notify setting, nextStarted() says so once it is heard, and finished()
    // is not emitted. A next song that cannot be played is reported with
    // nextFailed() and dropped. False when it is plainly not playable.
    virtual bool setNext(const QString& fileName);
    virtual QString nextFile() const { return m_next; }

signals:
    // The playing file reached its end (only when notify is on). Delivered on
    // the thread the device lives on, never from inside a device call.
    void finished();
    // The open (or cued) file cannot be played after all.
    void failed(const QString& fileName, MediaDevice::Failure why, const QString& text);
    // The next song took over from the one that ended and can now be heard.
    void nextStarted(const QString& fileName);
    // The next song set with setNext() cannot be played; it was dropped.
    void nextFailed(const QString& fileName, MediaDevice::Failure why, const QString& text);
    // The length of the open file became known or changed.
    void lengthChanged(qint64 ms);
    // The sound is not reaching a real output (for example no sound card or
    // server, so output fell back to a fake sink, or the output went away).
    // Empty text: output is fine.
    void outputProblem(const QString& text);

protected:
    Failure m_failure = Failure::None;
    QString m_cued;
    int m_cuedVolume = 1000;
    QString m_next;
};

// Creates the media devices of the windows; tests replace it with fakes.
using MediaDeviceFactory = std::function<std::unique_ptr<MediaDevice>(QObject* parent)>;

// The operator's words for why a file cannot be played ("无法解码"), and
// with the file ("无法解码：/music/a.mp3").
QString mediaFailureReason(MediaDevice::Failure why);
QString mediaFailureText(MediaDevice::Failure why, const QString& fileName);
