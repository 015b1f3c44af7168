#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// A media device owning at most one open file at a time, addressed by its file
// name, with positions and lengths in milliseconds. The main window, the entry
// dialogs and the player each own one.
class MediaDevice : public QObject {
    Q_OBJECT
public:
    enum class Mode { NotOpen, Stopped, Playing, Paused, Recording, Other };
    Q_ENUM(Mode)

    using QObject::QObject;
    ~MediaDevice() override = default;

    // Opens the file, closing any file still open first. Returns false with a
    // readable errorString() for a missing file or one nothing can decode.
    virtual bool open(const QString& fileName) = 0;
    virtual QString errorString() const = 0;
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
    virtual qint64 length() const = 0;

    // Volume of the open file, 0 (silent) to 1000 (full).
    virtual void setVolume(int level) = 0;
    virtual int volume() const = 0;

    // The completion notification is wanted for the song playing now.
    virtual bool notifyEnabled() const = 0;
    virtual void setNotifyEnabled(bool on) = 0;

signals:
    // The playing file reached its end (only when notify is on). Delivered on
    // the thread the device lives on, never from inside a device call.
    void finished();
    // The sound is not reaching a real output (for example no sound card or
    // server, so output fell back to a fake sink). Empty text: output is fine.
    void outputProblem(const QString& text);
};

// Creates the media devices of the windows; tests replace it with fakes.
using MediaDeviceFactory = std::function<std::unique_ptr<MediaDevice>(QObject* parent)>;
