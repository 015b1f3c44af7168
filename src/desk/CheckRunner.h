#pragma once

#include "desk/PreAirCheck.h"

#include <QObject>

class TDataModule1;

// Runs the pre-air check without holding up the schedule: the database is
// read on this thread (small and quick), the files are looked at on a worker
// thread, and the findings come back as a signal.
class CheckRunner : public QObject {
    Q_OBJECT
public:
    explicit CheckRunner(TDataModule1& dm, QObject* parent = nullptr);
    ~CheckRunner() override;

    // Checks the date. A request while a check runs is done after it.
    void check(const QDate& date);
    bool busy() const { return m_running; }

signals:
    void finished(const PreAirCheck::Input& input, const QList<PreAirCheck::Finding>& findings);
    // The database could not be read.
    void failed(const QDate& date, const QString& reason);

private:
    void start(const QDate& date);

    TDataModule1& m_dm;
    bool m_running = false;
    QDate m_queued;
    QThread* m_thread = nullptr;
};
