// vorn --check and vorn --export-log, run as the administrator's scripts would.
#include "data/AsRunLog.h"
#include "data/DatabaseFile.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct Outcome {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Outcome vorn(const QString& home, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VORN_HOME", home);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    p.start(VORN_BINARY, args);
    Outcome r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
} // namespace

TEST(CommandLine, CheckExitsZeroOneOrTwo) {
    TestDatabase db;
    db.setSetting(QStringLiteral("星期一"), QStringLiteral("正常作息"));
    db.addEntry(QStringLiteral("正常作息"), "08:00:00", "08:10:00", db.writeFile("a.mp3"));
    Outcome clean = vorn(db.dir(), {"--check", "2026-12-07"});
    EXPECT_EQ(clean.status, 0) << clean.err.constData();
    EXPECT_TRUE(clean.out.startsWith("2026-12-07 星期一"));

    db.addEntry(QStringLiteral("正常作息"), "09:00:00", "09:10:00",
                QDir(db.dir()).filePath("missing.mp3"), QStringLiteral("顺序播放"),
                QStringLiteral("升旗"));
    Outcome found = vorn(db.dir(), {"--check", "2026-12-07"});
    EXPECT_EQ(found.status, 1);
    EXPECT_TRUE(
        QString::fromUtf8(found.out).contains(QStringLiteral("09:00:00 升旗：歌曲文件不存在")))
        << found.out.constData();
    EXPECT_EQ(vorn(db.dir(), {"--check", "not-a-date"}).status, 2);

    QTemporaryDir empty; // no database at all
    EXPECT_EQ(vorn(empty.path(), {"--check"}).status, 2);
    QTemporaryDir broken;
    QFile junk(QDir(broken.path()).filePath("gsk.db"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database");
    junk.close();
    EXPECT_EQ(vorn(broken.path(), {"--check", "2026-12-07"}).status, 2);
    EXPECT_EQ(vorn(broken.path(), {"--export-log", "2026-12-07", "2026-12-07"}).status, 2);
}

TEST(CommandLine, ExportLogWritesTheCsvOfThoseDaysWithoutAWindow) {
    TestDatabase db;
    {
        AsRunLog log(db.dm());
        for (const auto& [day, kind] : {std::pair{QDate(2026, 12, 6), LogKind::start},
                                        std::pair{QDate(2026, 12, 7), LogKind::failure},
                                        std::pair{QDate(2026, 12, 8), LogKind::end}}) {
            LogRow r;
            r.at = QDateTime(day, QTime(8, 0, 0, 250));
            r.kind = kind;
            r.entry = QStringLiteral("早操, \"一\"");
            r.path = QStringLiteral("/音乐/a.mp3");
            log.append(r);
        }
        ASSERT_TRUE(log.flush());
    }
    const Outcome r = vorn(db.dir(), {"--export-log", "2026-12-06", "2026-12-07"});
    EXPECT_EQ(r.status, 0) << r.err.constData();
    EXPECT_EQ(
        QString::fromUtf8(r.out),
        QStringLiteral("time,kind,timetable,start,entry,path,detail\n"
                       "2026-12-06 08:00:00.250,start,,,\"早操, \"\"一\"\"\",/音乐/a.mp3,\n"
                       "2026-12-07 08:00:00.250,failure,,,\"早操, \"\"一\"\"\",/音乐/a.mp3,\n"));
    EXPECT_EQ(vorn(db.dir(), {"--export-log", "2026-12-06"}).status, 2);
}
