#include "ToneFiles.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>

namespace tone {
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
} // namespace

bool writeWav(const QString& path, int ms, int rate, int channels, double frequency,
              double amplitude) {
    const qint64 frames = qint64(rate) * ms / 1000;
    const quint32 dataBytes = quint32(frames * channels * 2);
    QByteArray b;
    b.append("RIFF");
    put32(b, 36 + dataBytes);
    b.append("WAVEfmt ");
    put32(b, 16);
    put16(b, 1);
    put16(b, quint16(channels));
    put32(b, quint32(rate));
    put32(b, quint32(rate * channels * 2));
    put16(b, quint16(channels * 2));
    put16(b, 16);
    b.append("data");
    put32(b, dataBytes);
    for (qint64 i = 0; i < frames; ++i) {
        const double s = amplitude * std::sin(2.0 * M_PI * frequency * double(i) / rate);
        for (int c = 0; c < channels; ++c)
            put16(b, quint16(qint16(std::lround(s * 32767.0))));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(b) == b.size();
}

bool encodeMp3(const QString& wav, const QString& mp3, const QStringList& lameOptions) {
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               QStringList{QStringLiteral("--quiet")} + lameOptions + QStringList{wav, mp3});
    return lame.waitForFinished(30000) && lame.exitStatus() == QProcess::NormalExit &&
           lame.exitCode() == 0;
}

int Samples::peak(qint64 fromMs, qint64 toMs) const {
    const qint64 from = qBound<qint64>(0, fromMs * rate / 1000, frames());
    const qint64 to = qBound<qint64>(0, toMs * rate / 1000, frames());
    int best = 0;
    for (qint64 i = from * channels; i < to * channels; ++i)
        best = qMax(best, std::abs(int(data[i])));
    return best;
}

Samples readWav(const QString& path) {
    Samples out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QByteArray all = file.readAll();
    if (all.size() < 12 || !all.startsWith("RIFF"))
        return out;
    qsizetype pos = 12;
    while (pos + 8 <= all.size()) {
        const QByteArray id = all.mid(pos, 4);
        const quint32 size = qFromLittleEndian<quint32>(all.constData() + pos + 4);
        if (id == "fmt " && pos + 24 <= all.size()) {
            out.channels = qFromLittleEndian<quint16>(all.constData() + pos + 10);
            out.rate = int(qFromLittleEndian<quint32>(all.constData() + pos + 12));
        } else if (id == "data") {
            const qsizetype start = pos + 8;
            // A finished file says how long its data is; one still being
            // written does not, and then everything to the end counts.
            const qsizetype rest = all.size() - start;
            const qsizetype count = (size > 0 && size <= rest ? qsizetype(size) : rest) / 2;
            out.data.resize(count);
            for (qsizetype i = 0; i < count; ++i)
                out.data[i] = qFromLittleEndian<qint16>(all.constData() + start + 2 * i);
            return out;
        }
        pos += 8 + size + (size & 1);
    }
    return out;
}
} // namespace tone
