// How punctual is the schedule clock? Runs the main window with its aligned
// Timer1 for a while (VORN_BENCH_SECONDS, default 180) and reports how late
// each tick fired after its second began, and how many seconds had to be
// examined late (caught up). VORN_BENCH_STALL_EVERY=N blocks the UI thread for
// 1.5 s every N seconds, to show the catch-up at work.

#include "StderrMessages.h"
#include "app/RealServices.h"
#include "app/Unit_main_vorn.h"
#include "base/MessageService.h"
#include "base/Services.h"
#include "data/DatabaseFile.h"
#include "data/datamodule.h"
#include "platform/SoundModule.h"
#include "schedule/ScheduleClock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

int envInt(const char* name, int fallback) {
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok ? v : fallback;
}

double percentile(std::vector<int> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t i =
        std::min(values.size() - 1, size_t(std::lround(p * double(values.size() - 1))));
    return values[i];
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = envInt("VORN_BENCH_SECONDS", 180);
    const int stallEvery = envInt("VORN_BENCH_STALL_EVERY", 0);

    StderrMessages messages;
    Services::setMessages(&messages);
    // The real devices, as the program runs; silent unless told otherwise.
    if (qEnvironmentVariableIsEmpty("VORN_AUDIO_SINK"))
        qputenv("VORN_AUDIO_SINK", "fakesink sync=true");
    installRealServices();
    static SoundModule sound({QStringLiteral(VORN_SOUND_MODULE)});
    installSoundServices(sound);
    QTemporaryDir dir;
    QString error;
    const QString db = QDir(dir.path()).filePath(QStringLiteral("gsk.db"));
    if (!dir.isValid() || !DatabaseFile::create(db, &error)) {
        std::fprintf(stderr, "cannot create a database: %s\n", qUtf8Printable(error));
        return 1;
    }
    Services::setProgramDir(dir.path());

    TDataModule1 dataModule;
    TForm_main_vorn window(dataModule);
    if (!window.FormCreate())
        return 1;

    std::vector<int> lateness; // ms after the second began (negative: early)
    qint64 caughtUp = 0;
    int ticks = 0;
    QObject::connect(&window.schedule(), &ScheduleClock::ticked, [&](int msec, int late) {
        ++ticks;
        lateness.push_back(msec < 500 ? msec : msec - 1000);
        caughtUp += late;
    });
    QTimer stall;
    if (stallEvery > 0) {
        QObject::connect(&stall, &QTimer::timeout, [] { QThread::msleep(1500); });
        stall.start(stallEvery * 1000);
    }

    std::printf("bench_schedule_tick: running the aligned schedule clock for %d s ...\n", seconds);
    std::fflush(stdout);
    QElapsedTimer elapsed;
    elapsed.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    const int maxLate = lateness.empty() ? 0 : *std::max_element(lateness.begin(), lateness.end());
    const int minLate = lateness.empty() ? 0 : *std::min_element(lateness.begin(), lateness.end());
    std::printf("ran %.1f s, %d ticks\n", double(elapsed.elapsed()) / 1000.0, ticks);
    std::printf("tick lateness after the second began (ms): median %.0f, p99 %.0f, max %d, "
                "min %d\n",
                percentile(lateness, 0.5), percentile(lateness, 0.99), maxLate, minLate);
    std::printf("seconds examined late (caught up): %lld\n", static_cast<long long>(caughtUp));
    return 0;
}
