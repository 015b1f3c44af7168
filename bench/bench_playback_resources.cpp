// CPU time and memory of the playback device: first idle, then playing an
// MP3 file, and next to it gst-launch-1.0 playing the same file to the same
// output for as long. Usage: bench_playback_resources [seconds]   (default 60 per phase;
// the environment variable VORN_BENCH_SECONDS works too). The sound goes to a
// PulseAudio server of the benchmark's own with a null output (both players),
// or to VORN_AUDIO_SINK when it is set; without pulseaudio it says so and
// uses the usual output.
#include "PrivatePulse.h"
#include "platform/GstMediaDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtEndian>
#include <cmath>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
struct Usage {
    double userMs = 0;
    double systemMs = 0;
    long peakRssKb = 0;
};

Usage usageNow() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    Usage u;
    u.userMs = ru.ru_utime.tv_sec * 1000.0 + ru.ru_utime.tv_usec / 1000.0;
    u.systemMs = ru.ru_stime.tv_sec * 1000.0 + ru.ru_stime.tv_usec / 1000.0;
    u.peakRssKb = ru.ru_maxrss;
    return u;
}

long currentRssKb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

// A stereo 44.1 kHz WAV file with a chord, `seconds` long.
bool writeMusic(const QString& path, int seconds) {
    const int rate = 44100;
    const qint64 frames = qint64(rate) * seconds;
    QByteArray b;
    auto put32 = [&b](quint32 v) {
        char raw[4];
        qToLittleEndian(v, raw);
        b.append(raw, 4);
    };
    auto put16 = [&b](quint16 v) {
        char raw[2];
        qToLittleEndian(v, raw);
        b.append(raw, 2);
    };
    const quint32 dataBytes = quint32(frames * 4);
    b.append("RIFF");
    put32(36 + dataBytes);
    b.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(2);
    put32(rate);
    put32(rate * 4);
    put16(4);
    put16(16);
    b.append("data");
    put32(dataBytes);
    b.reserve(b.size() + dataBytes);
    for (qint64 i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const double s = 0.2 * std::sin(2 * M_PI * 261.6 * t) +
                         0.2 * std::sin(2 * M_PI * 329.6 * t) +
                         0.2 * std::sin(2 * M_PI * 392.0 * t);
        const auto v = quint16(qint16(std::lround(s * 32767)));
        put16(v);
        put16(v);
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(b) == b.size();
}

// CPU time (user + system, ms) a child process has used so far, from
// /proc/PID/stat; -1 when it cannot be read.
double childCpuMs(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) * 1000.0 / ticks;
}

void runEventLoop(int seconds) {
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

void report(const char* phase, const Usage& before, const Usage& after, int seconds) {
    const double cpu = (after.userMs - before.userMs) + (after.systemMs - before.systemMs);
    std::printf("%-8s %4d s   cpu user %8.1f ms  sys %8.1f ms  (%5.2f %% of one core)   "
                "peak RSS %7ld KiB   RSS now %7ld KiB\n",
                phase, seconds, after.userMs - before.userMs, after.systemMs - before.systemMs,
                cpu / (seconds * 10.0), after.peakRssKb, currentRssKb());
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 60;
    if (argc > 1)
        seconds = QByteArray(argv[1]).toInt();
    else if (qEnvironmentVariableIsSet("VORN_BENCH_SECONDS"))
        seconds = qEnvironmentVariableIntValue("VORN_BENCH_SECONDS");
    if (seconds < 1)
        seconds = 1;

    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("music.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("music.mp3"));
    const int songSeconds = qMin(seconds, 30) + 1;
    if (!writeMusic(wav, songSeconds)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(wav));
        return 1;
    }
    QString song = mp3;
    if (QProcess::execute(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                                   QStringLiteral("192"), wav, mp3}) != 0) {
        std::fprintf(stderr, "lame failed or is missing; playing the WAV file instead\n");
        song = wav;
    }

    // Before GStreamer starts: both players find the server in the
    // environment.
    const QByteArray sink = qgetenv("VORN_AUDIO_SINK");
    PrivatePulse pulse;
    bool ownServer = false;
    if (sink.isEmpty()) {
        if (!PrivatePulse::available())
            std::printf("(pulseaudio or pactl is not installed: the usual output is used)\n");
        else if (!pulse.start())
            std::printf("(no PulseAudio server of our own could be started: the usual output is "
                        "used)\n");
        else
            ownServer = qputenv("PULSE_SERVER", pulse.server().toUtf8());
    }
    GstMediaDevice::initGStreamer();
    const QString problem = GstMediaDevice::checkAudioOutput();
    std::printf("vorn playback resources: %d s idle, then %d s playing %s (%d s song, looped)\n",
                seconds, seconds, song.endsWith(QLatin1String(".mp3")) ? "an MP3" : "a WAV",
                songSeconds);
    std::printf("audio output: %s%s%s%s\n", sink.isEmpty() ? "autoaudiosink" : sink.constData(),
                ownServer ? " (a PulseAudio server of our own, null output)" : "",
                problem.isEmpty() ? "" : " -- ", qUtf8Printable(problem));

    const Usage start = usageNow();
    report("start", start, start, 1);

    GstMediaDevice device;
    const Usage idleStart = usageNow();
    runEventLoop(seconds);
    const Usage idleEnd = usageNow();
    report("idle", idleStart, idleEnd, seconds);

    if (!device.open(song)) {
        std::fprintf(stderr, "cannot open the song: %s\n", qUtf8Printable(device.errorString()));
        return 1;
    }
    int plays = 0;
    QObject::connect(&device, &MediaDevice::finished, &device, [&] {
        ++plays;
        device.play(true);
    });
    device.play(true);
    runEventLoop(seconds);
    const qint64 position = device.position();
    const qint64 length = device.length();
    const Usage playEnd = usageNow();
    device.close();
    report("playing", idleEnd, playEnd, seconds);
    const double playingMsPerSecond =
        ((playEnd.userMs - idleEnd.userMs) + (playEnd.systemMs - idleEnd.systemMs)) / seconds;
    std::printf("song length %lld ms, %d complete passes, position at the end %lld ms\n",
                static_cast<long long>(length), plays, static_cast<long long>(position));

    // The reference: gst-launch-1.0 playing the same song to the same output,
    // for as long as the song lasts (at most the same time).
    const int referenceSeconds = qMin(seconds, songSeconds - 1);
    QStringList launch{QStringLiteral("-q"), QStringLiteral("playbin"),
                       QStringLiteral("uri=file://") + song};
    if (!sink.isEmpty())
        launch << QStringLiteral("audio-sink=") + QString::fromUtf8(sink);
    QProcess reference;
    reference.start(QStringLiteral("gst-launch-1.0"), launch);
    if (!reference.waitForStarted(5000)) {
        std::printf("gst-launch-1.0 could not be started: no reference\n");
        return 0;
    }
    runEventLoop(referenceSeconds);
    const double used = childCpuMs(reference.processId());
    reference.kill();
    reference.waitForFinished(5000);
    if (used < 0) {
        std::printf("gst-launch-1.0 ended early: no reference\n");
        return 0;
    }
    std::printf("gst-launch-1.0 playing %4d s   cpu %8.1f ms (%5.2f %% of one core; vorn "
                "above: playing)\n",
                referenceSeconds, used, used / (referenceSeconds * 10.0));
    if (used > 0)
        std::printf("CPU while playing, vorn / gst-launch-1.0: %.2f (target <= 1.1)\n",
                    playingMsPerSecond / (used / referenceSeconds));
    return 0;
}
