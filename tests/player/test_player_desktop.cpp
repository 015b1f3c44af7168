// The real program on a virtual screen: the player opened from the toolbar
// plays its song beside a scheduled entry, each on its own device.
#include "TestDatabase.h"
#include "ToneFiles.h"
#include "app/Unit_main_vorn.h"
#include "support/FakeMediaDevice.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <QToolButton>
#include <cmath>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
// A program run to the end of the test.
class Child {
public:
    ~Child() { end(); }
    QProcess process;
    void end() {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(3000)) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

// xdotool on the virtual screen; its output, trimmed ("" on failure).
QString xdotool(const QString& display, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    p.setProcessEnvironment(env);
    p.start("xdotool", args);
    if (!p.waitForFinished(5000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The first visible window whose title contains the text, waiting for it.
QString waitForWindow(const QString& display, const QString& title, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        const QString ids = xdotool(display, {"search", "--onlyvisible", "--name", title});
        if (!ids.isEmpty())
            return ids.split('\n').first();
        QTest::qWait(200);
    }
    return {};
}

// Where the toolbar button sits in the desk's window, laid out here with the
// same database, fonts and style as the program's.
QPoint playerButtonInDesk(TDataModule1& dm) {
    FakeMediaFactory media;
    TForm_main_vorn desk(dm);
    desk.show();
    QTest::qWait(50);
    return desk.ToolButton2->mapTo(&desk, desk.ToolButton2->rect().center());
}

// Strength of one frequency in a run of samples (Goertzel).
double strength(const qint16* samples, int count, double frequency) {
    const double k = 2 * std::cos(2 * M_PI * frequency / 44100);
    double a = 0, b = 0;
    for (int i = 0; i < count; ++i) {
        const double next = samples[i] + k * a - b;
        b = a;
        a = next;
    }
    return std::sqrt(a * a + b * b - k * a * b) / count;
}
} // namespace

TEST(PlayerDesktop, TheToolbarOpensAPlayerThatPlaysBesideAScheduledEntry) {
    for (const char* tool : {"Xvfb", "xdotool", "lame"})
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    if (QTime::currentTime() > QTime(23, 58))
        GTEST_SKIP() << "too close to midnight for a timetable of today";

    // The scheduled entry: 440 Hz. The player's song: 1000 Hz.
    TestDatabase db;
    QTemporaryDir work;
    const QDir w(work.path());
    const QString scheduled = w.filePath("scheduled.wav");
    ASSERT_TRUE(tone::writeWav(scheduled, 40000, 44100, 1, 440.0));
    ASSERT_TRUE(QDir().mkpath(w.filePath("music")));
    const QString playerWav = w.filePath("player.wav");
    ASSERT_TRUE(tone::writeWav(playerWav, 30000, 44100, 1, 1000.0));
    ASSERT_TRUE(tone::encodeMp3(playerWav, w.filePath("music/player.mp3"), {"--cbr", "-b", "128"}));
    db.setSetting("常用乐曲路径", w.filePath("music"));
    const QStringList weekdays = {"星期一", "星期二", "星期三", "星期四",
                                  "星期五", "星期六", "星期日"};
    db.setSetting(weekdays[QDate::currentDate().dayOfWeek() - 1], "测试");
    const QPoint button = playerButtonInDesk(db.dm());

    // A virtual screen on a free display, with no files of its own in /tmp
    // (no lock file, only the abstract socket); it says which display it took.
    Child xvfb;
    xvfb.process.start("Xvfb", {"-displayfd", "1", "-nolock", "-nolisten", "tcp", "-nolisten",
                                "unix", "-screen", "0", "1280x800x24"});
    ASSERT_TRUE(xvfb.process.waitForStarted());
    ASSERT_TRUE(xvfb.process.waitForReadyRead(10000));
    const QString display = ":" + QString::fromLatin1(xvfb.process.readLine()).trimmed();
    ASSERT_GT(display.size(), 1);

    // Everything the two devices play goes, as 16-bit mono samples in the
    // order played, into one file.
    const QString heard = w.filePath("heard.raw");
    Child desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("VORN_HOME", db.dir());
    env.insert("VORN_MESSAGES", "stderr");
    env.insert("VORN_INSTANCE_KEY", "vorn-player-desktop-" + QString::number(getpid()));
    env.insert("VORN_AUDIO_SINK",
               "audioconvert ! audioresample ! audio/x-raw,format=S16LE,rate=44100,channels=1 ! "
               "filesink buffer-mode=unbuffered append=true sync=true location=\"" +
                   heard + "\"");
    desk.process.setProcessEnvironment(env);

    // The entry starts a few seconds after the desk is up.
    const QTime start = QTime::currentTime().addSecs(6);
    db.addEntry("测试", start.toString("hh:mm:ss"), start.addSecs(60).toString("hh:mm:ss"),
                scheduled);
    desk.process.start(VORN_BINARY, {});
    ASSERT_TRUE(desk.process.waitForStarted());
    const QString deskWindow = waitForWindow(display, "播音系统", 15000);
    ASSERT_FALSE(deskWindow.isEmpty()) << desk.process.readAllStandardError().toStdString();

    // Once the entry plays, the player is opened and started.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QTime::currentTime() >= start.addSecs(1); }, 15000));
    xdotool(display, {"mousemove", "--window", deskWindow, QString::number(button.x()),
                      QString::number(button.y()), "click", "1"});
    const QString player = waitForWindow(display, "音乐播放器", 10000);
    ASSERT_FALSE(player.isEmpty()) << "no player window";
    // The play button (nothing selected: the first song).
    xdotool(display, {"mousemove", "--window", player, "28", "84", "click", "1"});
    QTest::qWait(5000);
    EXPECT_EQ(desk.process.state(), QProcess::Running);
    const QString errors = QString::fromUtf8(desk.process.readAllStandardError());
    desk.end();

    // Both tones were heard, and the scheduled one went on after the
    // player's had begun.
    QFile f(heard);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const auto* samples = reinterpret_cast<const qint16*>(bytes.constData());
    const int count = int(bytes.size() / 2);
    constexpr int window = 441;
    int firstPlayer = -1, scheduledAfter = 0, playerWindows = 0;
    for (int i = 0; i + window <= count; i += window) {
        const double low = strength(samples + i, window, 440.0);
        const double high = strength(samples + i, window, 1000.0);
        if (high > 1000 && high > 4 * low) {
            ++playerWindows;
            if (firstPlayer < 0)
                firstPlayer = i;
        } else if (low > 1000 && low > 4 * high && firstPlayer >= 0) {
            ++scheduledAfter;
        }
    }
    EXPECT_GT(playerWindows, 100) << qPrintable(errors); // a second and more of the song
    EXPECT_GT(scheduledAfter, 100) << qPrintable(errors);
}
