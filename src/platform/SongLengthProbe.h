#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

// Finds the playing length of song files away from the window's thread, so a
// long list, a slow disk or a broken file never holds up the schedule. Each
// request is answered once, in the order asked, on the probe's own thread.
class SongLengthProbe : public QObject {
    Q_OBJECT
public:
    // Answers that are not a length.
    static constexpr qint64 unreadable = -1; // not a song anything can decode
    static constexpr qint64 missing = -2;    // no such file

    using QObject::QObject;
    ~SongLengthProbe() override = default;

    virtual void request(const QString& path) = 0;

signals:
    // The length of a requested file in milliseconds, or unreadable or missing.
    void measured(const QString& path, qint64 ms);
};

using SongLengthProbeFactory = std::function<std::unique_ptr<SongLengthProbe>(QObject* parent)>;
