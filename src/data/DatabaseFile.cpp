#include "data/DatabaseFile.h"

#include "base/InstallPaths.h"
#include "base/Services.h"
#include "data/ExtraTables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringDecoder>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace DatabaseFile {
namespace {
QString tr(const char* text) {
    return QCoreApplication::translate("DatabaseFile", text);
}

// UTF-8 when the bytes are valid UTF-8, else GBK (files written on the old desks).
QString decodeText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    QStringDecoder gbk("GB18030");
    return gbk.isValid() ? gbk.decode(bytes) : QString::fromLocal8Bit(bytes);
}

// Why nothing can be created in the folder (empty when it can).
QString folderProblem(const QString& folder) {
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return {};
    switch (errno) {
    case ENOENT:
    case ENOTDIR:
        return tr("文件夹 %1 不存在").arg(folder);
    case EROFS:
        return tr("文件夹 %1 在只读的文件系统上").arg(folder);
    default:
        return tr("没有在文件夹 %1 中写入的权限").arg(folder);
    }
}

bool deviceIsFull(const QString& folder) {
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0 || fs.f_blocks == 0)
        return false; // no such information (a kernel file system)
    // A new database needs a few pages; less than that left is "full".
    return fs.f_bavail * fs.f_frsize < 64 * 1024 || fs.f_favail == 0;
}

// The reason a creation failed, in words the operator can act on.
QString failureReason(const QString& path, const QString& text, const QString& nativeCode = {}) {
    const QString folder = QFileInfo(path).absolutePath();
    if (const QString problem = folderProblem(folder); !problem.isEmpty())
        return problem;
    constexpr int sqliteFull = 13;
    if (nativeCode.toInt() == sqliteFull || deviceIsFull(folder))
        return tr("磁盘空间不足，无法在 %1 中写入").arg(folder);
    return text.trimmed().isEmpty() ? tr("未知的错误") : text.trimmed();
}
QString failureReason(const QString& path, const QSqlError& error) {
    return failureReason(path, error.text(), error.nativeErrorCode());
}
} // namespace

QString pathFromIni(const QByteArray& bytes) {
    QString text = decodeText(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    bool inDb = false;
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString section = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inDb = section.compare(QLatin1String("db"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inDb || equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(QLatin1String("path"), Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.front() == QLatin1Char('"') &&
            value.back() == QLatin1Char('"'))
            value = value.mid(1, value.size() - 2);
        return value.isNull() ? QStringLiteral("") : value;
    }
    return {};
}

QString locate(const QString& programDir) {
    const QDir dir(programDir);
    QFile ini(dir.filePath(QStringLiteral("dbpath.ini")));
    if (!ini.exists())
        return dir.filePath(QLatin1String(defaultName));
    // A settings file is small; a huge or unreadable one names no database.
    constexpr qint64 sane = 64 * 1024;
    if (!QFileInfo(ini).isFile() || ini.size() > sane || !ini.open(QIODevice::ReadOnly))
        return {};
    QString path = pathFromIni(ini.read(sane)).trimmed();
    if (path.isEmpty())
        return {};
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QFileInfo(path).isAbsolute() ? path : dir.filePath(path));
}

bool findInFolders(const QStringList& folders, QString* path) {
    for (const QString& folder : folders) {
        const QDir dir(folder);
        if (folder.isEmpty() ||
            !(dir.exists(QStringLiteral("dbpath.ini")) || dir.exists(QLatin1String(defaultName))))
            continue;
        *path = locate(folder);
        return true;
    }
    return false;
}

QString storePath(QString* problem, Missing missing) {
    if (Services::programDirOverridden())
        return locate(Services::programDir());
    return storePathFor(Services::programDir(), problem, missing);
}

QString storePathFor(const QString& programDir, QString* problem, Missing missing) {
    if (InstallPaths::dataDir(programDir).isEmpty())
        return locate(programDir);
    const QString user = InstallPaths::userDataDir();
    QString path;
    if (findInFolders({programDir, InstallPaths::configDir(programDir), user}, &path))
        return path;
    if (missing == Missing::MakeNothing)
        return QDir(user).filePath(QLatin1String(defaultName));

    // This user's first start: a database of their own.
    const bool made = !QFileInfo::exists(user);
    if (!QDir().mkpath(user)) {
        if (problem)
            *problem = tr("无法建立文件夹 %1").arg(user);
        return {};
    }
    if (made)
        QFile::setPermissions(user, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    path = QDir(user).filePath(QLatin1String(defaultName));
    QString why;
    if (!create(path, &why)) {
        if (problem)
            *problem = why;
        return {};
    }
    return path;
}

QStringList defaultTimetableNames() {
    return {QStringLiteral("正常作息"), QStringLiteral("夏季作息"), QStringLiteral("冬季作息"),
            QStringLiteral("周末"), QStringLiteral("考试")};
}

bool create(const QString& path, QString* error) {
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (path.isEmpty())
        return fail(tr("没有给出数据库文件的路径"));
    if (QFileInfo::exists(path))
        return fail(tr("%1 已经存在，没有改动它").arg(path));
    if (const QString problem = folderProblem(QFileInfo(path).absolutePath()); !problem.isEmpty())
        return fail(problem);
    // SQLite's side files: whichever this attempt makes is removed with it.
    const QStringList sideFiles = {path + QStringLiteral("-journal"), path + QStringLiteral("-wal"),
                                   path + QStringLiteral("-shm")};
    QStringList existingSideFiles;
    for (const QString& f : sideFiles)
        if (QFileInfo::exists(f))
            existingSideFiles << f;

    // Made empty (a valid new database) readable by its owner only before
    // SQLite fills it: it holds the password. Should this fail, SQLite's own
    // attempt below says why.
    if (const int fd = ::open(QFile::encodeName(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        fd >= 0)
        ::close(fd);

    const QString name = QStringLiteral("vorn-init-") + QUuid::createUuid().toString();
    bool ok = true;
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            ok = false;
            why = failureReason(path, db.lastError());
        } else {
            QSqlQuery q(db);
            auto run = [&](const QString& sql, const QVariantList& values = {}) {
                if (!ok)
                    return;
                q.prepare(sql);
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i]);
                if (!q.exec()) {
                    ok = false;
                    why = failureReason(path, q.lastError());
                }
            };
            db.transaction();
            run(QStringLiteral("create table sjb (ID integer primary key autoincrement, "
                               "名称 text, 开始时间 text, 结束时间 text, 歌曲列表或歌曲 text, "
                               "时长 text, 播放方式 text, 时间表名称 text)"));
            run(QStringLiteral("create index sjb_day on sjb(时间表名称, 开始时间)"));
            run(QStringLiteral("create table sjbmc (name text)"));
            run(QStringLiteral("create table system1 (name1 text primary key, value1 text)"));
            if (ok && !ExtraTables::ensure(db, &why)) {
                ok = false;
                why = failureReason(path, why);
            }
            for (const QString& t : defaultTimetableNames())
                run(QStringLiteral("insert into sjbmc(name) values(?)"), {t});
            const QList<QPair<QString, QString>> settings = {
                {QStringLiteral("开机自启动"), QStringLiteral("0")},
                {QStringLiteral("定时关机1"), QStringLiteral("0")},
                {QStringLiteral("定时关机2"), QStringLiteral("0")},
                {QStringLiteral("定时关机3"), QStringLiteral("0")},
                {QStringLiteral("关机时间1"), QStringLiteral("12:00:00")},
                {QStringLiteral("关机时间2"), QStringLiteral("18:00:00")},
                {QStringLiteral("关机时间3"), QStringLiteral("22:00:00")},
                {QStringLiteral("关机提示"), QStringLiteral("1")},
                {QStringLiteral("自动设置音量"), QStringLiteral("0")},
                {QStringLiteral("软件标题"), QStringLiteral("广播站播音系统")},
                {QStringLiteral("密码"), QString()},
                {QStringLiteral("星期一"), QStringLiteral("无")},
                {QStringLiteral("星期二"), QStringLiteral("无")},
                {QStringLiteral("星期三"), QStringLiteral("无")},
                {QStringLiteral("星期四"), QStringLiteral("无")},
                {QStringLiteral("星期五"), QStringLiteral("无")},
                {QStringLiteral("星期六"), QStringLiteral("无")},
                {QStringLiteral("星期日"), QStringLiteral("无")},
                {QStringLiteral("常用乐曲路径"), QString()},
            };
            for (const auto& [key, value] : settings)
                run(QStringLiteral("insert into system1(name1, value1) values(?, ?)"),
                    {key, value.isNull() ? QStringLiteral("") : value});
            if (ok && !db.commit()) {
                ok = false;
                why = failureReason(path, db.lastError());
            }
            if (!ok)
                db.rollback();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok) {
        QFile::remove(path);
        for (const QString& f : sideFiles)
            if (!existingSideFiles.contains(f))
                QFile::remove(f);
        return fail(why);
    }
    return true;
}

} // namespace DatabaseFile
