#pragma once

#include "platform/MediaDevice.h"

#include <QHash>
#include <QSet>
#include <QStringList>

// A media device for tests: records every call, opens any existing file
// (unless it is marked unplayable) and ends a song when the test says so.
class FakeMediaDevice : public MediaDevice {
    Q_OBJECT
public:
    using MediaDevice::MediaDevice;

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
    qint64 position() const override { return m_position; }
    qint64 length() const override { return m_length; }
    void setVolume(int level) override;
    int volume() const override { return m_volume; }
    bool notifyEnabled() const override { return m_notify; }
    void setNotifyEnabled(bool on) override { m_notify = on; }
    bool cue(const QString& fileName, int volume) override;
    bool playCued(bool notify) override;
    bool setNext(const QString& fileName) override;

    // The song plays to its end. With a next song set that can be played,
    // that one goes on (nextStarted); else: position = length, stopped, and
    // the completion notification when notify is on.
    void finishSong();
    void setPosition(qint64 ms) { m_position = ms; }

    // Test set-up.
    QSet<QString> unplayable;        // files that exist but cannot be opened
    QHash<QString, qint64> lengths;  // length per file (default 180000 ms)
    bool requireExistingFile = true; // open fails for a missing file

    // What happened, in order: "open:<file>", "cue:<file>", "playCued:1",
    // "next:<file>", "play:1", "stop", "close", "volume:600" ...
    QStringList calls;
    QList<int> volumes; // every volume set, in order
    QStringList played; // files that started playing, in order

private:
    bool playable(const QString& fileName);
    QString m_file;
    QString m_error;
    Mode m_mode = Mode::NotOpen;
    qint64 m_position = 0;
    qint64 m_length = 0;
    int m_volume = 1000;
    bool m_notify = false;
};

// Installs a factory of fake devices while it lives; remembers what it made.
class FakeMediaFactory {
public:
    FakeMediaFactory();
    ~FakeMediaFactory();
    QList<FakeMediaDevice*> made; // owned by their parents
};
