#pragma once

#include "PrivatePulse.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdlib>

// Records the null sink's monitor and maps every sample to the monotonic
// clock: each block's arrival bounds when its samples were made; the
// earliest bound over all blocks is taken.
class MonitorRecorder {
public:
    explicit MonitorRecorder(PrivatePulse& pulse) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PULSE_SERVER"), pulse.server());
        m_parec.setProcessEnvironment(env);
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_data += m_parec.readAllStandardOutput();
            const qint64 frames = m_data.size() / 2;
            // The block's last sample was made no later than now.
            const qint64 origin = now - frames * 1000000000LL / kRate;
            m_originNs = m_blocks++ == 0 ? origin : std::min(m_originNs, origin);
        });
    }
    bool start(const QElapsedTimer& clock) {
        m_clock = clock;
        m_parec.start(QStringLiteral("parec"),
                      {QStringLiteral("--device=vornnull.monitor"),
                       QStringLiteral("--format=s16le"), QStringLiteral("--rate=44100"),
                       QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=5")});
        return m_parec.waitForStarted(5000);
    }
    void stop() {
        m_parec.terminate();
        m_parec.waitForFinished(5000);
    }
    // Monotonic time (ns) of the first sample louder than `level` made at or
    // after `fromNs`, or -1.
    qint64 firstSoundAfter(qint64 fromNs, int level = 300) const {
        const auto* s = reinterpret_cast<const qint16*>(m_data.constData());
        const qint64 n = m_data.size() / 2;
        qint64 i = std::max<qint64>(0, (fromNs - m_originNs) * kRate / 1000000000LL);
        for (; i < n; ++i)
            if (std::abs(s[i]) > level)
                return m_originNs + i * 1000000000LL / kRate;
        return -1;
    }

private:
    static constexpr int kRate = 44100;
    QProcess m_parec;
    QElapsedTimer m_clock;
    QByteArray m_data;
    qint64 m_originNs = 0;
    int m_blocks = 0;
};

inline bool monitorRecorderAvailable() {
    return PrivatePulse::available() &&
           !QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty();
}
