#pragma once

#include <QString>

// Makes sure only one desk runs per user. The key can be changed with the
// environment variable VORN_INSTANCE_KEY (tests use their own).
//
// The lock is an advisory lock (flock) on a file in the runtime folder: the
// system drops it with the process, so a desk that crashed leaves nothing to
// take over, and taking it writes nothing to the disk it must wait for.
class SingleInstance {
public:
    explicit SingleInstance(QString key = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is now the only instance; false when another
    // runs (or the lock file cannot be opened at all).
    bool acquire();
    QString lockPath() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
