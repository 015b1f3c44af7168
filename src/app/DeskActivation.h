#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// The running desk listens on a local socket; a second start that finds the
// desk running asks it through the socket to come to the front (out of the
// tray if it is hidden there) instead of leaving it where it is.
//
// A plain Unix socket of our own: the desk needs nothing more, and it keeps
// the network libraries out of the program's start-up.
class DeskActivation : public QObject {
    Q_OBJECT
public:
    // The socket is named after the single-instance key (VORN_INSTANCE_KEY)
    // and lives beside the single-instance lock.
    explicit DeskActivation(QString key = {}, QObject* parent = nullptr);
    ~DeskActivation() override;

    // The running desk: starts listening. Call only while holding the
    // single-instance lock (a socket left by a crashed desk is replaced).
    bool listen();
    // A second start: asks the running desk to show itself. False when no
    // desk answered within the timeout (it is then left alone).
    bool askRunningDeskToShow(int timeoutMs = 2000) const;

    QString socketPath() const { return m_path; }

signals:
    // Another start asked the desk to come to the front.
    void showRequested();

private:
    void acceptClients();

    QString m_path;
    int m_listening = -1;
    QSocketNotifier* m_notifier = nullptr;
};
