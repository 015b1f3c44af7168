// Start-up to first paint: the program's main window next to a bare Qt
// window, each started as a new process several times, taking turns
// (VORN_BENCH_RUNS, default 15: a start takes some tens of milliseconds and
// varies from one to the next by more than the difference we look for).
// The moments of the first paint are read from Qt's own painting log on the
// child's error output: when the window's first paint is flushed to the
// screen (the target: what the user sees), and when that paint began. Needs
// an X display (for example `Xvfb :12 &` and DISPLAY=:12). The program runs
// with a fresh database in a temporary home of its own and a fake audio sink;
// nothing of the user's own settings is touched. Both run on a private
// session bus when there is none.

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// When a window first reached the screen, in milliseconds from starting its
// program: the first paint began, and its result was flushed to the screen
// (what the user sees). -1 where not seen.
struct FirstPaint {
    double started = -1;
    double flushed = -1;
};

// Starts `program` and reads Qt's painting log for the top-level window named
// `window`.
FirstPaint firstPaint(const QString& program, const QStringList& args, QProcessEnvironment env,
                      const QString& window) {
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.widgets.painting=true"));
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{category}|%{message}"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    QProcess child;
    child.setProcessEnvironment(env);
    QByteArray seen;
    bool ours = false;
    FirstPaint paint;
    const QByteArray flushLine = "Flushing QRegion";
    const QByteArray name = window.toUtf8();
    QElapsedTimer clock;
    QObject::connect(&child, &QProcess::readyReadStandardError, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        seen += child.readAllStandardError();
        qsizetype end;
        while (paint.flushed < 0 && (end = seen.indexOf('\n')) >= 0) {
            const QByteArray line = seen.left(end);
            seen.remove(0, end + 1);
            if (line.contains("of top level") && line.contains(name))
                ours = true;
            else if (ours && paint.started < 0 && line.contains("Painting and flushing"))
                paint.started = now;
            else if (paint.started >= 0 && line.contains(flushLine) && line.contains(name))
                paint.flushed = now;
        }
    });
    clock.start();
    child.start(program, args);
    if (!child.waitForStarted(5000))
        return {};
    QElapsedTimer limit;
    limit.start();
    while (paint.flushed < 0 && limit.elapsed() < 20000 && child.state() == QProcess::Running)
        child.waitForReadyRead(100);
    child.kill();
    child.waitForFinished(5000);
    return paint;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void print(const char* what, const std::vector<double>& runs, int tried) {
    std::printf("  %-26s %zu of %d, p50 %.0f ms, max %.0f ms\n", what, runs.size(), tried,
                percentile(runs, 0.5),
                runs.empty() ? -1.0 : *std::max_element(runs.begin(), runs.end()));
}

// The times of one moment of the first paint, for the program and the bare
// window, and their ratio.
void report(const char* moment, const std::vector<double>& ours, const std::vector<double>& bare,
            int runs, const char* target) {
    std::printf("%s:\n", moment);
    print("vorn main window:", ours, runs);
    print("bare Qt window (reference):", bare, runs);
    if (!ours.empty() && !bare.empty())
        std::printf("  ratio p50: %.2f%s\n", percentile(ours, 0.5) / percentile(bare, 0.5), target);
}
} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--bare-window") {
        QApplication app(argc, argv);
        QWidget window;
        window.setObjectName(QStringLiteral("bareWindow"));
        window.resize(800, 600);
        window.show();
        QTimer::singleShot(20000, &app, &QApplication::quit);
        return app.exec();
    }
    QCoreApplication app(argc, argv);
    std::printf("\n[start-up to first paint]\n");
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("skipped: no X display (start Xvfb and set DISPLAY)\n");
        return 0;
    }
    bool ok = false;
    int runs = qEnvironmentVariableIntValue("VORN_BENCH_RUNS", &ok);
    if (!ok || runs < 1)
        runs = 15;
    const QString vorn = QStringLiteral(VORN_EXECUTABLE);

    // A desktop session has a session bus; without one, the first program to
    // ask for it would start one of its own and be timed for it.
    QProcess bus;
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
        if (bus.waitForStarted(5000) && bus.waitForReadyRead(5000))
            qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        else
            std::printf("(no private session bus: dbus-daemon did not start)\n");
    }

    std::vector<double> oursStarted, oursFlushed, bareStarted, bareFlushed;
    const auto keep = [](const FirstPaint& paint, std::vector<double>& started,
                         std::vector<double>& flushed) {
        if (paint.started >= 0)
            started.push_back(paint.started);
        if (paint.flushed >= 0)
            flushed.push_back(paint.flushed);
    };
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("VORN_HOME"), home.filePath(QStringLiteral("vorn")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(
            QStringLiteral("VORN_INSTANCE_KEY"),
            QStringLiteral("bench-startup-%1-%2").arg(QCoreApplication::applicationPid()).arg(i));
        env.insert(QStringLiteral("VORN_MESSAGES"), QStringLiteral("stderr"));
        env.insert(QStringLiteral("VORN_AUDIO_SINK"), QStringLiteral("fakesink sync=true"));
        QDir(home.path()).mkpath(QStringLiteral("vorn"));
        QProcess init;
        init.setProcessEnvironment(env);
        init.start(vorn,
                   {QStringLiteral("--init-db"), home.filePath(QStringLiteral("vorn/gsk.db"))});
        init.waitForFinished(10000);
        keep(firstPaint(vorn, {}, env, QStringLiteral("TForm_main_vorn")), oursStarted,
             oursFlushed);
        keep(firstPaint(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare-window")},
                        env, QStringLiteral("bareWindow")),
             bareStarted, bareFlushed);
    }
    report("first paint on the screen (flushed)", oursFlushed, bareFlushed, runs,
           " (target <= 1.5)");
    report("first paint begun", oursStarted, bareStarted, runs, "");
    bus.kill();
    bus.waitForFinished(2000);
    return 0;
}
