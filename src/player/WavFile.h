#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// The PCM WAV files a recording goes through.
namespace WavFile {
// The 44-byte header of a file with no samples yet: "RIFF", 36, "WAVE",
// "fmt ", 16, 1 (PCM), channels, samples per second, bytes per second,
// block alignment, bits per sample, "data", 0.
QByteArray header(quint16 channels, quint16 bits, quint32 samplesPerSecond);
// Writes that header at the start of the open file (CreateWav). False on an
// I/O error.
bool writeHeader(QIODevice& file, quint16 channels, quint16 bits, quint32 samplesPerSecond);
// Puts the sizes of the samples that follow the header into it: the RIFF
// chunk size at offset 4 and the data size at offset 40, cut to whole
// sample frames. False when the file is not such a WAV file or cannot be
// written.
bool finalise(const QString& path);
} // namespace WavFile
