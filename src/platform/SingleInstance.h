#pragma once

#include <QLockFile>
#include <QString>
#include <memory>

// Makes sure only one desk runs per user. The key can be changed with the
// environment variable VORN_INSTANCE_KEY (tests use their own).
class SingleInstance {
public:
    explicit SingleInstance(QString key = {});
    // True when this process is now the only instance; false when another runs.
    bool acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};
