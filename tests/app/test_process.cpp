// The program as a process: single instance, failed starts, start on a fresh database.
#include "TestDatabase.h"
#include "data/DatabaseFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
class Desk {
public:
    explicit Desk(const QString& home, const QString& key = "vorn-process-test") {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("VORN_HOME", home);
        env.insert("VORN_MESSAGES", "stderr");
        env.insert("VORN_INSTANCE_KEY", key);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VORN_AUDIO_SINK", "fakesink sync=true");
        process.setProcessEnvironment(env);
        process.setProgram(VORN_BINARY);
    }
    ~Desk() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // Runs to the end (or the timeout); returns the exit code, -1 when still running.
    int run(int timeoutMs = 15000) {
        process.start();
        if (!process.waitForFinished(timeoutMs))
            return -1;
        return process.exitCode();
    }
    QString errors() { return QString::fromUtf8(process.readAllStandardError()); }
    QProcess process;
};

} // namespace

TEST(Process, SecondInstanceShowsTheMessageAndEndsWhileTheFirstRuns) {
    QTemporaryDir home;
    ASSERT_TRUE(DatabaseFile::create(QDir(home.path()).filePath("gsk.db")));
    const QString key = "vorn-single-" + QString::number(QCoreApplication::applicationPid());
    Desk first(home.path(), key);
    first.process.start();
    ASSERT_TRUE(first.process.waitForStarted());
    QThread::msleep(1500);
    ASSERT_EQ(first.process.state(), QProcess::Running) << qPrintable(first.errors());

    Desk second(home.path(), key);
    EXPECT_EQ(second.run(), 0);
    const QString said = second.errors();
    EXPECT_TRUE(said.contains("提示: 该程序已经有一个在运行中！"));
    EXPECT_FALSE(said.contains("no QGuiApplication instance")) << "Qt asked before it was there";
    EXPECT_EQ(first.process.state(), QProcess::Running);
}

TEST(Process, FailedConnectionEndsWithNonZeroStatusAndTouchesNothing) {
    QTemporaryDir home;
    const QDir d(home.path());
    {
        Desk desk(home.path());
        EXPECT_NE(desk.run(), 0);
        EXPECT_TRUE(desk.errors().contains("错误: 数据库联接出错!"));
        EXPECT_FALSE(QFile::exists(d.filePath("gsk.db")));
    }
    {
        // A dbpath.ini without the key wins over a good gsk.db.
        ASSERT_TRUE(DatabaseFile::create(d.filePath("gsk.db")));
        QFile ini(d.filePath("dbpath.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[db]\n");
        ini.close();
        Desk desk(home.path());
        EXPECT_NE(desk.run(), 0);
        EXPECT_TRUE(desk.errors().contains("数据库联接出错!"));
        QFile::remove(d.filePath("dbpath.ini"));
    }
    {
        QFile::remove(d.filePath("gsk.db"));
        QFile f(d.filePath("gsk.db"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a database at all");
        f.close();
        const QByteArray before = fileDigest(d.filePath("gsk.db"));
        Desk desk(home.path());
        EXPECT_NE(desk.run(), 0);
        EXPECT_TRUE(desk.errors().contains("数据库联接出错!"));
        EXPECT_EQ(fileDigest(d.filePath("gsk.db")), before);
    }
}

TEST(Process, InitDbCreatesOnceAndRefusesToOverwrite) {
    QTemporaryDir home;
    const QString path = QDir(home.path()).filePath("gsk.db");
    QProcess p;
    p.start(VORN_BINARY, {"--init-db", path});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray made = fileDigest(path);
    EXPECT_FALSE(made.isEmpty());
    p.start(VORN_BINARY, {"--init-db", path});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_EQ(fileDigest(path), made);
}

namespace {
struct Result {
    int status = -1;
    QString out;
    QString err;
};
Result runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Result r;
    if (!p.waitForFinished(20000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
} // namespace

TEST(Process, InitDbOnAFullDiskSaysSoAndLeavesNothing) {
    // A 16 KB file system of our own, in a private mount namespace.
    QTemporaryDir dir;
    const QString script =
        QStringLiteral("mount -t tmpfs -o size=16k vorn-full \"$1\" || exit 99\n"
                       "\"$2\" --init-db \"$1/gsk.db\"; echo \"status=$?\"; ls -A \"$1\"");
    const Result r = runTool(QStringLiteral("unshare"),
                             {"-Urm", "sh", "-c", script, "sh", dir.path(), VORN_BINARY});
    if (r.status == 99 || !r.out.startsWith("status="))
        GTEST_SKIP() << "no private mounts here: " << qPrintable(r.err);
    EXPECT_EQ(r.out.trimmed(), "status=1") << "nothing left behind";
    EXPECT_TRUE(r.err.contains("磁盘空间不足")) << qPrintable(r.err);
}

TEST(Process, InitDbInAFolderItMayNotWriteSaysSoAndLeavesNothing) {
    QTemporaryDir dir;
    const QString locked = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                          QFile::ReadOther | QFile::ExeOther);
    QFile::setPermissions(locked,
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    // root may write anywhere: run as nobody in a user namespace of our own.
    QStringList command = {VORN_BINARY, "--init-db", locked + "/gsk.db"};
    if (::geteuid() == 0)
        command.prepend("-U");
    const Result r =
        ::geteuid() == 0 ? runTool("unshare", command) : runTool(command.takeFirst(), command);
    if (::geteuid() == 0 && r.err.contains("unshare:"))
        GTEST_SKIP() << "no user namespaces here: " << qPrintable(r.err);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.contains("没有在文件夹 " + locked + " 中写入的权限")) << qPrintable(r.err);
    EXPECT_TRUE(QDir(locked).isEmpty());

    const Result missing = runTool(VORN_BINARY, {"--init-db", dir.filePath("gone/gsk.db")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.contains("不存在")) << qPrintable(missing.err);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("gone")));
}

TEST(Process, StartsOnAFreshDefaultDatabaseAndKeepsRunning) {
    QTemporaryDir home;
    ASSERT_TRUE(DatabaseFile::create(QDir(home.path()).filePath("gsk.db")));
    Desk desk(home.path(), "vorn-fresh-" + QString::number(QCoreApplication::applicationPid()));
    EXPECT_EQ(desk.run(3000), -1) << qPrintable(desk.errors());
    const QString errors = desk.errors();
    EXPECT_FALSE(errors.contains("错误:")) << qPrintable(errors);
    // The program's sound module is found beside it and loads into it.
    EXPECT_FALSE(errors.contains("声音模块")) << qPrintable(errors);
}

namespace {
// Every file and folder below a folder, with the digests of the files.
QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> all;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        all.insert(QDir(root).relativeFilePath(path),
                   it.fileInfo().isFile() ? fileDigest(path) : QByteArray("folder"));
    }
    return all;
}

// What differs between two snapshots: "+new", "-gone", "*changed".
QStringList changes(const QMap<QString, QByteArray>& before,
                    const QMap<QString, QByteArray>& after) {
    QStringList out;
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            out << "+" + it.key();
        else if (before[it.key()] != it.value())
            out << "*" + it.key();
    for (auto it = before.begin(); it != before.end(); ++it)
        if (!after.contains(it.key()))
            out << "-" + it.key();
    return out;
}
} // namespace

TEST(Process, TestsNeverTouchTheOperatorsFilesWhateverTheEnvironmentSays) {
    // An operator's shell: a desk of their own, home, desktop folders, sound and power.
    QTemporaryDir op;
    const QDir d(op.path());
    for (const char* sub : {"desk", "home", "config", "data/vorn", "cache", "state", "runtime"})
        ASSERT_TRUE(d.mkpath(sub));
    ASSERT_TRUE(DatabaseFile::create(d.filePath("desk/gsk.db")));
    ASSERT_TRUE(DatabaseFile::create(d.filePath("data/vorn/gsk.db")));
    const QMap<QString, QByteArray> before = snapshot(op.path());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VORN_HOME", d.filePath("desk"));
    env.insert("HOME", d.filePath("home"));
    env.insert("XDG_CONFIG_HOME", d.filePath("config"));
    env.insert("XDG_DATA_HOME", d.filePath("data"));
    env.insert("XDG_CACHE_HOME", d.filePath("cache"));
    env.insert("XDG_STATE_HOME", d.filePath("state"));
    env.insert("XDG_RUNTIME_DIR", d.filePath("runtime"));
    env.insert("VORN_AUDIO_SINK", "filesink location=" + d.filePath("sound.raw"));
    env.insert("VORN_POWEROFF_COMMAND", "touch " + d.filePath("powered-off"));
    QProcess tests;
    tests.setProcessEnvironment(env);
    tests.setProcessChannelMode(QProcess::MergedChannels);
    // The start-up tests write settings; the desk test starts the program.
    tests.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=StartupTest.*:Process.StartsOnAFresh*"});
    ASSERT_TRUE(tests.waitForFinished(100000));
    EXPECT_EQ(tests.exitCode(), 0) << tests.readAll().right(3000).toStdString();
    EXPECT_EQ(changes(before, snapshot(op.path())), QStringList());
}
