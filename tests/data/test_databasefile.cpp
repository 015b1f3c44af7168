#include "RecordingMessageService.h"

#include "TestDatabase.h"
#include "base/InstallPaths.h"
#include "data/DatabaseFile.h"
#include "data/datamodule.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(DatabaseLocation, FollowsDbpathIni) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    EXPECT_EQ(DatabaseFile::locate(dir.path()), d.filePath("gsk.db")) << "no ini: the default";

    write(d.filePath("dbpath.ini"), "[db]\npath=/srv/广播/school.db\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), "/srv/广播/school.db");

    write(d.filePath("dbpath.ini"), "[db]\npath=data/school.db\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), d.filePath("data/school.db"))
        << "relative to the program's folder, not the current one";

    write(d.filePath("dbpath.ini"), "[db]\npath=data\\old\\gsk.db\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), d.filePath("data/old/gsk.db"));

    // An old desk's file: GBK, Windows line ends, names in capitals.
    write(d.filePath("dbpath.ini"),
          "[DB]\r\nPath = /srv/\xb9\xe3\xb2\xa5,\xd1\xa7\xd0\xa3/gsk.db \r\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), "/srv/广播,学校/gsk.db");

    write(d.filePath("dbpath.ini"), "[db]\nother=1\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), "") << "no key: empty, default not kept";

    write(d.filePath("dbpath.ini"), "[elsewhere]\npath=/x.db\n");
    EXPECT_EQ(DatabaseFile::locate(dir.path()), "");
}

TEST(DatabaseLocation, IniValueIsTakenWholeToTheEndOfItsLine) {
    using DatabaseFile::pathFromIni;
    EXPECT_EQ(pathFromIni("[db]\npath=/srv/a,b/gsk.db\n"), "/srv/a,b/gsk.db");
    EXPECT_EQ(pathFromIni("[db]\npath=/srv/a;b #c/\"x\".db"), "/srv/a;b #c/\"x\".db");
    EXPECT_EQ(pathFromIni("[Db]\r\nPATH=\"/srv/with blanks/gsk.db\"\r\n"),
              "/srv/with blanks/gsk.db");
    EXPECT_EQ(pathFromIni("\xef\xbb\xbf[db]\npath=/srv/广播.db"), "/srv/广播.db") << "UTF-8 mark";
    EXPECT_EQ(pathFromIni("[other]\npath=/no\n[ db ]\nx=1\npath=/yes\npath=/later"), "/yes");
    EXPECT_EQ(pathFromIni("[db]\n;path=/commented\n"), QString());
    EXPECT_EQ(pathFromIni("[db]\npaths=/no\n"), QString());
    EXPECT_EQ(pathFromIni("path=/outside/any/section\n"), QString());
    EXPECT_EQ(pathFromIni("[db]\npath=\n"), "");
    EXPECT_FALSE(pathFromIni("[db]\npath=\n").isNull()) << "present but empty";
}

TEST(DatabaseLocation, InstalledProgramSearchesItsFoldersInOrderAndMakesTheUsersOwn) {
    // A package unpacked into a root of its own; the user's data folder beside it.
    QTemporaryDir tmp;
    const QDir root(tmp.path());
    for (const char* sub : {"usr/bin", "usr/share/vorn"})
        ASSERT_TRUE(root.mkpath(sub));
    const QString bin = root.filePath("usr/bin");
    const QString etc = InstallPaths::configDir(bin); // ROOT/etc/vorn for a package in /usr
    ASSERT_TRUE(etc.startsWith(root.path())) << qPrintable(etc);
    ASSERT_TRUE(root.mkpath(etc));
    const QString user = root.filePath("data/vorn");
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));

    // A tool that only reads finds nothing there and makes nothing.
    QString problem;
    EXPECT_EQ(DatabaseFile::storePathFor(bin, &problem, DatabaseFile::Missing::MakeNothing),
              user + "/gsk.db");
    EXPECT_FALSE(QFileInfo::exists(user)) << "a reading tool made the user's folder";

    // First start: nothing anywhere, so the user gets a fresh database.
    EXPECT_EQ(DatabaseFile::storePathFor(bin, &problem), user + "/gsk.db") << qPrintable(problem);
    EXPECT_EQ(QFileInfo(user).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);
    TDataModule1 dm;
    EXPECT_TRUE(dm.OpenDatabase("sqlite", user + "/gsk.db"));
    EXPECT_EQ(DatabaseFile::storePathFor(bin), user + "/gsk.db") << "the next start finds it";

    // The machine's folder comes before the user's, and a dbpath.ini before a gsk.db.
    ASSERT_TRUE(DatabaseFile::create(etc + "/gsk.db"));
    EXPECT_EQ(DatabaseFile::storePathFor(bin), etc + "/gsk.db");
    write(etc + "/dbpath.ini", "[DB]\npath=school/gsk.db\n");
    EXPECT_EQ(DatabaseFile::storePathFor(bin), etc + "/school/gsk.db");
    write(user + "/dbpath.ini", "[db]\npath=/srv/mine.db\n");
    EXPECT_EQ(DatabaseFile::storePathFor(bin), etc + "/school/gsk.db");
    // One beside the program wins over everything.
    write(bin + "/dbpath.ini", "[db]\n");
    EXPECT_EQ(DatabaseFile::storePathFor(bin), "") << "no key: empty, as beside the program always";

    // A user data folder that cannot be made: no path, and why.
    QTemporaryDir other;
    QDir(other.path()).mkpath("usr/bin");
    QDir(other.path()).mkpath("usr/share/vorn");
    write(other.filePath("plain"), "x");
    qputenv("XDG_DATA_HOME", QFile::encodeName(other.filePath("plain")));
    problem.clear();
    EXPECT_EQ(DatabaseFile::storePathFor(other.filePath("usr/bin"), &problem), "");
    EXPECT_FALSE(problem.isEmpty());

    // Not installed (a build tree): only the program's folder, nothing made.
    QTemporaryDir build;
    EXPECT_EQ(DatabaseFile::storePathFor(build.path()), QDir(build.path()).filePath("gsk.db"));
    EXPECT_TRUE(QDir(build.path()).isEmpty());
    qputenv("XDG_DATA_HOME", savedDataHome);
}

TEST(DatabaseCreation, NewDatabaseHasEveryTableNameAndSetting) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("gsk.db");
    ASSERT_TRUE(DatabaseFile::create(path));
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner)
        << "it holds the password: for its owner only";
    TDataModule1 dm;
    ASSERT_TRUE(dm.OpenDatabase("sqlite", path)) << qPrintable(dm.lastError());
    QStringList names;
    dm.FillListFromQuery(*dm.qry_temp, "select name from sjbmc", names);
    EXPECT_EQ(names, DatabaseFile::defaultTimetableNames());
    for (const char* day : {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"})
        EXPECT_EQ(dm.ReadSetting(day), "无") << day;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(dm.ReadSetting(QString("定时关机%1").arg(n)), "0");
        EXPECT_TRUE(
            QTime::fromString(dm.ReadSetting(QString("关机时间%1").arg(n)), "HH:mm:ss").isValid());
    }
    EXPECT_EQ(dm.ReadSetting("关机提示"), "1");
    EXPECT_EQ(dm.ReadSetting("自动设置音量"), "0");
    EXPECT_EQ(dm.ReadSetting("开机自启动"), "0");
    EXPECT_EQ(dm.ReadSetting("密码"), "");
    dm.OpenQuery(*dm.qry_temp, "select count(*) from system1 where name1 in "
                               "('软件标题','常用乐曲路径','密码')");
    EXPECT_EQ(dm.qry_temp->value(0).toInt(), 3);

    // IDs come from the database.
    ASSERT_TRUE(dm.ExecQuery(*dm.qry_temp, "insert into sjb(名称) values(?)", {"a"}));
    ASSERT_TRUE(dm.ExecQuery(*dm.qry_temp, "insert into sjb(名称) values(?)", {"b"}));
    dm.OpenQuery(*dm.qry_temp, "select ID from sjb order by ID");
    EXPECT_EQ(dm.qry_temp->recordCount(), 2);
    EXPECT_GT(dm.qry_temp->valueAt(1, 0).toLongLong(), dm.qry_temp->valueAt(0, 0).toLongLong());
}

TEST(DatabaseCreation, NeverOverwritesAnExistingFile) {
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("gsk.db");
    write(path, "keep me");
    QString error;
    EXPECT_FALSE(DatabaseFile::create(path, &error));
    EXPECT_FALSE(error.isEmpty());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
}

TEST(DatabaseConnection, FailuresLeaveTheFileAsItWas) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    TDataModule1 dm;

    const QString missing = d.filePath("gsk.db");
    EXPECT_FALSE(dm.OpenDatabase("sqlite", missing));
    EXPECT_FALSE(QFile::exists(missing)) << "a failed start never creates the file";

    EXPECT_FALSE(dm.OpenDatabase("sqlite", ""));

    const QString text = d.filePath("notes.db");
    write(text, QByteArray("这不是数据库\n").repeated(200));
    const QByteArray before = fileDigest(text);
    EXPECT_FALSE(dm.OpenDatabase("sqlite", text));
    EXPECT_EQ(fileDigest(text), before);

    const QString empty = d.filePath("empty.db");
    {
        TDataModule1 other;
        // A real SQLite file, but without the three tables.
        ASSERT_TRUE(DatabaseFile::create(d.filePath("full.db")));
        QFile::copy(d.filePath("full.db"), empty);
        ASSERT_TRUE(other.OpenDatabase("sqlite", empty));
        ASSERT_TRUE(other.ExecQuery(*other.qry_temp, "drop table sjbmc"));
    }
    const QByteArray emptyBefore = fileDigest(empty);
    EXPECT_FALSE(dm.OpenDatabase("sqlite", empty));
    EXPECT_EQ(fileDigest(empty), emptyBefore);

    EXPECT_FALSE(dm.OpenDatabase("postgres", d.filePath("full.db")));
    EXPECT_TRUE(dm.OpenDatabase("sqlite", d.filePath("full.db")));
    EXPECT_TRUE(dm.isOpen());
}
