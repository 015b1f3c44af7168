#include "player/WavFile.h"

#include <QFile>
#include <QtEndian>

namespace {
void put32(QByteArray& b, quint32 v) {
    char raw[4];
    qToLittleEndian(v, raw);
    b.append(raw, 4);
}
void put16(QByteArray& b, quint16 v) {
    char raw[2];
    qToLittleEndian(v, raw);
    b.append(raw, 2);
}
constexpr qint64 kHeaderSize = 44;
} // namespace

namespace WavFile {
QByteArray header(quint16 channels, quint16 bits, quint32 samplesPerSecond) {
    QByteArray b;
    b.append("RIFF");
    put32(b, 36);
    b.append("WAVE");
    b.append("fmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, channels);
    put32(b, samplesPerSecond);
    put32(b, channels * samplesPerSecond * (bits / 8));
    put16(b, quint16(channels * (bits / 8)));
    put16(b, bits);
    b.append("data");
    put32(b, 0);
    return b;
}

bool writeHeader(QIODevice& file, quint16 channels, quint16 bits, quint32 samplesPerSecond) {
    const QByteArray h = header(channels, bits, samplesPerSecond);
    return file.seek(0) && file.write(h) == h.size();
}

bool finalise(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const QByteArray head = file.read(kHeaderSize);
    if (head.size() < kHeaderSize || !head.startsWith("RIFF") || head.mid(8, 8) != "WAVEfmt " ||
        head.mid(36, 4) != "data")
        return false;
    const quint16 align = qFromLittleEndian<quint16>(head.constData() + 32);
    qint64 data = file.size() - kHeaderSize;
    if (align > 0)
        data -= data % align;
    // The sizes are 32-bit: a take past 4 GiB keeps what fits.
    data = qMin<qint64>(data, 0xFFFFFFFFLL - 36 - 1);
    QByteArray size(4, '\0');
    qToLittleEndian(quint32(36 + data), size.data());
    if (!file.seek(4) || file.write(size) != 4)
        return false;
    qToLittleEndian(quint32(data), size.data());
    if (!file.seek(40) || file.write(size) != 4)
        return false;
    return file.flush();
}
} // namespace WavFile
