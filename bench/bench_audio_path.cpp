// The audio path against its targets, each next to a reference run in the
// same process:
//  - the first audible sample after the second an entry names, over 10
//    entries (target: p95 <= 50 ms), next to gst-launch-1.0 playbin started
//    at a second, and the schedule tick's lateness meanwhile (entries
//    starting and songs changing every 2 s; target: never > 20 ms late);
//  - the longest silence between the songs of a 4-song list, played by the
//    media device to a PulseAudio null sink of our own and recorded from its
//    monitor (target: no silence of 5 ms or more), next to gst-launch-1.0
//    playing the same songs one after the other;
//  - reloading today's timetable of 10,000 rows (target: 50 ms or less),
//    next to the same SELECT in the sqlite3 shell.
// Without pulseaudio/pactl/parec the first one says so and is skipped.

#include "MonitorRecorder.h"
#include "PrivatePulse.h"
#include "StderrMessages.h"
#include "ToneFiles.h"
#include "base/MessageService.h"
#include "base/Services.h"
#include "data/DatabaseFile.h"
#include "data/datamodule.h"
#include "platform/GstMediaDevice.h"
#include "schedule/ScheduleClock.h"
#include "schedule/ScheduledPlayback.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Longest run of near-silent samples between the first and the last sound.
double longestSilenceMs(const QString& rawFile, int rate) {
    QFile f(rawFile);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = f.readAll();
    const auto* s = reinterpret_cast<const qint16*>(bytes.constData());
    const qsizetype n = bytes.size() / 2;
    constexpr int kQuiet = 200;
    qsizetype first = 0;
    while (first < n && std::abs(s[first]) <= kQuiet)
        ++first;
    qsizetype last = n - 1;
    while (last > first && std::abs(s[last]) <= kQuiet)
        --last;
    // A sine crosses zero every half period: a run counts as silence only
    // beyond a few quiet samples in a row.
    qsizetype longest = 0;
    qsizetype run = 0;
    for (qsizetype i = first; i <= last; ++i) {
        run = std::abs(s[i]) <= kQuiet ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return double(longest) * 1000.0 / rate;
}

// Records the null sink's monitor while `play` runs; returns the raw file.
QString record(PrivatePulse& pulse, const QString& out, const std::function<void()>& play) {
    QProcess parec;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), pulse.server());
    parec.setProcessEnvironment(env);
    parec.setStandardOutputFile(out);
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("--device=vornnull.monitor"), QStringLiteral("--format=s16le"),
                 QStringLiteral("--rate=44100"), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=10")});
    parec.waitForStarted(5000);
    QTest::qWait(300);
    play();
    QTest::qWait(500);
    parec.terminate();
    parec.waitForFinished(5000);
    return out;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

// The time of day running from 07:59:58 on the monotonic clock.
class BenchClock : public Clock {
public:
    BenchClock(const QElapsedTimer& mono, const QDateTime& start, qint64 atNs)
        : m_mono(mono), m_start(start), m_atNs(atNs) {}
    QDateTime now() const override {
        return m_start.addMSecs((m_mono.nsecsElapsed() - m_atNs) / 1000000);
    }
    // Monotonic ns of a time of day.
    qint64 nsOf(const QDateTime& t) const { return m_atNs + m_start.msecsTo(t) * 1000000LL; }

private:
    QElapsedTimer m_mono;
    QDateTime m_start;
    qint64 m_atNs;
};

// A sound server of the benchmark's own, recorded with parec; says why the
// part is skipped when there is none.
bool startPulse(PrivatePulse& pulse) {
    if (!PrivatePulse::available() ||
        QStandardPaths::findExecutable(QStringLiteral("parec")).isEmpty()) {
        std::printf("skipped: pulseaudio, pactl or parec is not installed\n");
        return false;
    }
    if (!pulse.start()) {
        std::printf("skipped: a PulseAudio server of our own could not be started\n");
        return false;
    }
    return true;
}

// A new database at path, opened in dm; says why the part is skipped when not.
bool freshDatabase(TDataModule1& dm, const QString& path) {
    QString error;
    if (!DatabaseFile::create(path, &error)) {
        std::printf("skipped: %s\n", qUtf8Printable(error));
        return false;
    }
    if (!dm.OpenDatabase(QStringLiteral("sqlite"), path)) {
        std::printf("skipped: %s\n", qUtf8Printable(dm.lastError()));
        return false;
    }
    return true;
}

void onsetBench(const QTemporaryDir& dir) {
    std::printf("\n[first sound after the named second, 10 entries; tick lateness meanwhile]\n");
    PrivatePulse pulse;
    if (!startPulse(pulse))
        return;
    const QString sink = QStringLiteral("pulsesink server=\"%1\"").arg(pulse.server());
    qunsetenv("VORN_AUDIO_SINK");
    GstMediaDevice::setOutput(sink);
    // Seconds between entries (VORN_BENCH_SPACING, default 2).
    bool ok = false;
    int spacing = qEnvironmentVariableIntValue("VORN_BENCH_SPACING", &ok);
    if (!ok || spacing < 2)
        spacing = 2;

    TDataModule1 dm;
    if (!freshDatabase(dm, dir.filePath(QStringLiteral("onset.db"))))
        return;
    // Ten entries two seconds apart, each a 1.5 s song of its own.
    {
        QSqlDatabase db = QSqlDatabase::database(dm.connectionName());
        QSqlQuery q(db);
        q.exec(QStringLiteral("update system1 set value1='工作日' where name1 like '星期%'"));
        q.exec(QStringLiteral("delete from sjb"));
        for (int i = 0; i < 10; ++i) {
            const QString song = dir.filePath(QStringLiteral("entry%1.wav").arg(i));
            tone::writeWav(song, 1500, 44100, 1, 440.0 + 40 * i, 0.6);
            const QTime start = QTime(8, 0, 5).addSecs(spacing * i);
            q.prepare(QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,"
                                     "播放方式,时间表名称) values(?,?,?,?,?,?,?)"));
            for (const QString& v :
                 {QStringLiteral("节目%1").arg(i), start.toString(QStringLiteral("HH:mm:ss")),
                  start.addSecs(30).toString(QStringLiteral("HH:mm:ss")), song,
                  QStringLiteral("0:00:02"), QStringLiteral("单曲播放"), QStringLiteral("工作日")})
                q.addBindValue(v);
            q.exec();
        }
    }

    QElapsedTimer mono;
    mono.start();
    MonitorRecorder recorder(pulse);
    recorder.start(mono);
    const QDateTime start(QDate(2026, 12, 7), QTime(7, 59, 58));
    BenchClock clock(mono, start, mono.nsecsElapsed());
    Services::setClock(&clock);
    std::vector<double> late;
    {
        GstMediaDevice device;
        ScheduleClock schedule(dm);
        ScheduledPlayback playback(dm, schedule);
        playback.setDevice(&device);
        schedule.setPlayback(&playback);
        schedule.LoadTodayTimetable();
        QObject::connect(&schedule, &ScheduleClock::ticked,
                         [&](int ms, int) { late.push_back(ms < 500 ? ms : ms - 1000); });
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            schedule.Timer1Timer();
            playback.processTick();
            timer.start(ScheduleClock::msUntilNextSecond(clock.now()));
        });
        QTimer::singleShot(300, &device, &MediaDevice::warmUp);
        timer.start(ScheduleClock::msUntilNextSecond(clock.now()));
        if (!QTest::qWaitFor(
                [&] { return clock.now().time() >= QTime(8, 0, 7).addSecs(10 * spacing); }, 60000))
            std::printf("the schedule did not reach 08:00:27\n");
        timer.stop();
    }

    // A song held ready (prerolled) for a while, then started: how long it
    // takes to be heard, by how long it was held.
    std::vector<std::pair<int, double>> held;
    {
        GstMediaDevice device;
        for (int holdMs : {300, 1000, 3000}) {
            device.cue(dir.filePath(QStringLiteral("entry1.wav")), 1000);
            QTest::qWait(holdMs);
            const qint64 at = mono.nsecsElapsed();
            device.playCued(true);
            QTest::qWait(holdMs + 2500);
            const qint64 heard = recorder.firstSoundAfter(at);
            held.push_back({holdMs, heard < 0 ? -1.0 : double(heard - at) / 1e6});
        }
        device.close();
    }
    // gst-launch-1.0 playbin started at a second, five times.
    std::vector<qint64> gstSeconds;
    for (int i = 0; i < 5; ++i) {
        const QDateTime due = clock.now().addSecs(1).addMSecs(-clock.now().time().msec());
        if (!QTest::qWaitFor([&] { return clock.now() >= due; }, 3000))
            continue;
        gstSeconds.push_back(clock.nsOf(due));
        QProcess::startDetached(QStringLiteral("gst-launch-1.0"),
                                {QStringLiteral("-q"), QStringLiteral("playbin"),
                                 QStringLiteral("uri=file://") + dir.filePath("entry0.wav"),
                                 QStringLiteral("audio-sink=") + sink});
        QTest::qWait(2500);
    }
    QTest::qWait(500);
    recorder.stop();
    Services::setClock(nullptr);

    std::vector<double> ours;
    for (int i = 0; i < 10; ++i) {
        const qint64 named =
            clock.nsOf(QDateTime(start.date(), QTime(8, 0, 5).addSecs(spacing * i)));
        const qint64 heard = recorder.firstSoundAfter(named - 200000000LL);
        if (heard >= 0)
            ours.push_back(double(heard - named) / 1e6);
    }
    std::vector<double> theirs;
    for (qint64 named : gstSeconds) {
        const qint64 heard = recorder.firstSoundAfter(named);
        if (heard >= 0)
            theirs.push_back(double(heard - named) / 1e6);
    }
    std::printf("vorn onsets (ms):");
    for (double o : ours)
        std::printf(" %.0f", o);
    std::printf("\n");
    std::printf("vorn entries heard:         %zu of 10, onset p50 %.0f ms, p95 %.0f ms "
                "(target p95 <= 50 ms)\n",
                ours.size(), percentile(ours, 0.5), percentile(ours, 0.95));
    std::printf("gst-launch-1.0 at a second: %zu of 5, onset p50 %.0f ms, p95 %.0f ms\n",
                theirs.size(), percentile(theirs, 0.5), percentile(theirs, 0.95));
    for (const auto& [holdMs, onset] : held)
        std::printf("song held ready %4d ms, then started: onset %.0f ms\n", holdMs, onset);
    std::printf("tick lateness (ms):         p50 %.0f, p99 %.0f, max %.0f over %zu ticks "
                "(target: never > 20 ms)\n",
                percentile(late, 0.5), percentile(late, 0.99),
                late.empty() ? 0.0 : *std::max_element(late.begin(), late.end()), late.size());
}

void gapBench(const QTemporaryDir& dir) {
    std::printf("\n[silence between songs of a 4-song list]\n");
    PrivatePulse pulse;
    if (!startPulse(pulse))
        return;
    QStringList songs;
    const double pitches[4] = {330.0, 440.0, 550.0, 660.0};
    for (int i = 0; i < 4; ++i) {
        songs << QDir(dir.path()).filePath(QStringLiteral("song%1.wav").arg(i));
        tone::writeWav(songs.last(), 1500, 44100, 1, pitches[i], 0.6);
    }
    const QString sink = QStringLiteral("pulsesink server=\"%1\"").arg(pulse.server());

    // Ours: the first song cued and started, each next one handed over while
    // the one before plays.
    qunsetenv("VORN_AUDIO_SINK");
    GstMediaDevice::setOutput(sink);
    const QString ours = record(pulse, dir.filePath(QStringLiteral("ours.raw")), [&] {
        GstMediaDevice device;
        int next = 1;
        QObject::connect(&device, &MediaDevice::nextStarted, [&] {
            if (next < songs.size())
                device.setNext(songs.at(next++));
        });
        QSignalSpy finished(&device, &MediaDevice::finished);
        device.cue(songs.first(), 1000);
        QTest::qWait(500); // cued well ahead, as an entry is
        device.playCued(true);
        device.setNext(songs.at(next++));
        finished.wait(20000);
    });

    // Reference: gst-launch-1.0 with the songs one after the other.
    const QString theirs = record(pulse, dir.filePath(QStringLiteral("gst.raw")), [&] {
        for (const QString& song : songs) {
            QProcess p;
            p.start(QStringLiteral("gst-launch-1.0"),
                    {QStringLiteral("-q"), QStringLiteral("playbin"),
                     QStringLiteral("uri=file://") + song, QStringLiteral("audio-sink=") + sink});
            p.waitForFinished(20000);
        }
    });
    std::printf("vorn (gapless hand-over):           longest silence %.1f ms (target < 5 ms)\n",
                longestSilenceMs(ours, 44100));
    std::printf("gst-launch-1.0, one run per song:   longest silence %.1f ms\n",
                longestSilenceMs(theirs, 44100));
}

void reloadBench(const QTemporaryDir& dir) {
    std::printf("\n[reload of today's timetable, 10,000 rows]\n");
    const QString path = dir.filePath(QStringLiteral("reload.db"));
    TDataModule1 dm;
    if (!freshDatabase(dm, path))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(dm.connectionName());
        db.transaction();
        QSqlQuery q(db);
        q.exec(QStringLiteral("update system1 set value1='工作日' where name1 like '星期%'"));
        q.prepare(QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,"
                                 "播放方式,时间表名称) values(?,?,?,?,?,?,?)"));
        for (int i = 0; i < 10000; ++i) {
            const QString t = QTime(0, 0).addSecs(i * 8).toString(QStringLiteral("HH:mm:ss"));
            q.addBindValue(QStringLiteral("节目%1").arg(i));
            q.addBindValue(t);
            q.addBindValue(t);
            q.addBindValue(QStringLiteral("/music/song%1.mp3").arg(i));
            q.addBindValue(QStringLiteral("0:00:08"));
            q.addBindValue(QStringLiteral("顺序播放"));
            q.addBindValue(QStringLiteral("工作日"));
            q.exec();
        }
        db.commit();
    }
    ScheduleClock schedule(dm);
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        QElapsedTimer t;
        t.start();
        schedule.LoadTodayTimetable();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("vorn LoadTodayTimetable:  median %.1f ms over 5 (%lld start times; target <= 50 "
                "ms)\n",
                ms[2], static_cast<long long>(schedule.startTimes().size()));

    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty()) {
        std::printf("sqlite3 shell: skipped (not installed)\n");
        return;
    }
    QProcess p;
    // Commands on standard input: the shell times only those.
    p.start(QStringLiteral("sqlite3"), {path});
    p.write(QStringLiteral(".output /dev/null\n.timer on\n"
                           "select * from sjb where 时间表名称='工作日' order by 开始时间;\n")
                .toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    const qsizetype at = out.lastIndexOf(QLatin1String("Run Time: real "));
    std::printf("sqlite3 shell, same SELECT: %s\n",
                at < 0 ? "no timing printed"
                       : qUtf8Printable(QStringLiteral("%1 ms").arg(
                             out.mid(at + 15).section(QLatin1Char(' '), 0, 0).toDouble() * 1000, 0,
                             'f', 1)));
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StderrMessages messages;
    Services::setMessages(&messages);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    // One part alone when named: onset, gap or reload.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    std::printf("bench_audio_path\n");
    if (only.isEmpty() || only == QLatin1String("onset"))
        onsetBench(dir);
    if (only.isEmpty() || only == QLatin1String("gap"))
        gapBench(dir);
    if (only.isEmpty() || only == QLatin1String("reload"))
        reloadBench(dir);
    return 0;
}
