#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// Sound files made on the spot for the media device tests.
namespace tone {
// A 16-bit PCM WAV file with a sine tone of `ms` milliseconds.
bool writeWav(const QString& path, int ms, int rate = 44100, int channels = 1,
              double frequency = 440.0, double amplitude = 0.5);
// Encodes a WAV file to MP3 with lame and the given options; false when lame
// is missing or fails.
bool encodeMp3(const QString& wav, const QString& mp3, const QStringList& lameOptions);

struct Samples {
    int rate = 0;
    int channels = 0;
    QVector<qint16> data; // interleaved
    qint64 frames() const { return channels ? data.size() / channels : 0; }
    // Largest absolute sample in [fromMs, toMs).
    int peak(qint64 fromMs, qint64 toMs) const;
};
// Reads the samples of a 16-bit PCM WAV file, taking everything after the
// "data" chunk header (a file still being written has no sizes yet).
Samples readWav(const QString& path);
} // namespace tone
