#pragma once

#include "data/datamodule.h"

#include <QTemporaryDir>
#include <memory>

// A fresh default database in a temporary folder (the "program folder" of the
// test), with a data module connected to it.
class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();

    QString dir() const { return m_dir.path(); }
    QString path() const;
    TDataModule1& dm() { return *m_dm; }

    // Raw helpers for set-up and checks (bound values).
    void exec(const QString& sql, const QVariantList& values = {});
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    void setSetting(const QString& name, const QString& value);
    QString setting(const QString& name);
    // Adds an entry to a timetable; returns its ID.
    qlonglong addEntry(const QString& timetable, const QString& start, const QString& end,
                       const QString& song, const QString& mode = QStringLiteral("顺序播放"),
                       const QString& name = QStringLiteral("节目"));
    // A file in the test folder with the given bytes; returns its path.
    QString writeFile(const QString& name, const QByteArray& bytes = "x");

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TDataModule1> m_dm;
};

// SHA-256 of a file's bytes (empty when it cannot be read): "left as it was".
QByteArray fileDigest(const QString& path);
