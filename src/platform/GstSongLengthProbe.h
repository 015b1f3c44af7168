#pragma once

#include "platform/SongLengthProbe.h"

#include <memory>

// Lengths read on a worker thread: MP3 files by counting their frames (the
// same count the entry dialogs use), everything else through GStreamer's
// discoverer, which gives up on a file after a few seconds.
class GstSongLengthProbe : public SongLengthProbe {
    Q_OBJECT
public:
    explicit GstSongLengthProbe(QObject* parent = nullptr);
    // Returns at once; answers still being worked out are dropped.
    ~GstSongLengthProbe() override;

    void request(const QString& path) override;

    // The length of one file, measured on the calling thread (blocking).
    static qint64 measure(const QString& path);

    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
};
