#include "TestDatabase.h"

#include "base/Services.h"
#include "data/DatabaseFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

TestDatabase::TestDatabase() {
    QString error;
    if (!DatabaseFile::create(path(), &error))
        throw std::runtime_error(error.toStdString());
    m_dm = std::make_unique<TDataModule1>();
    if (!m_dm->OpenDatabase(QStringLiteral("sqlite"), path()))
        throw std::runtime_error(m_dm->lastError().toStdString());
    Services::setProgramDir(dir());
}

TestDatabase::~TestDatabase() {
    m_dm.reset();
    Services::setProgramDir(QString());
}

QString TestDatabase::path() const {
    return QDir(m_dir.path()).filePath(QStringLiteral("gsk.db"));
}

void TestDatabase::exec(const QString& sql, const QVariantList& values) {
    TQuery q(m_dm->connectionName());
    q.setSql(sql);
    q.execSql(values);
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) {
    TQuery q(m_dm->connectionName());
    q.setSql(sql);
    q.open(values);
    return q.isEmpty() ? QVariant() : q.value(0);
}

void TestDatabase::setSetting(const QString& name, const QString& value) {
    exec(QStringLiteral("update system1 set value1=? where name1=?"), {value, name});
}

QString TestDatabase::setting(const QString& name) {
    return scalar(QStringLiteral("select value1 from system1 where name1=?"), {name}).toString();
}

qlonglong TestDatabase::addEntry(const QString& timetable, const QString& start, const QString& end,
                                 const QString& song, const QString& mode, const QString& name) {
    exec(QStringLiteral("insert into sjb(名称,开始时间,结束时间,歌曲列表或歌曲,时长,播放方式,"
                        "时间表名称) values(?,?,?,?,?,?,?)"),
         {name, start, end, song, QStringLiteral("0:20:00"), mode, timetable});
    return scalar(QStringLiteral("select max(ID) from sjb")).toLongLong();
}

QString TestDatabase::writeFile(const QString& name, const QByteArray& bytes) {
    const QString p = QDir(m_dir.path()).filePath(name);
    QDir().mkpath(QFileInfo(p).absolutePath());
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write test file");
    f.write(bytes);
    return p;
}

QByteArray fileDigest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
