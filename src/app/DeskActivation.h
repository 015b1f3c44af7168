#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// The running desk listens on a local socket; a second start that finds the
// desk running asks it through the socket to come to the front (out of the
// tray if it is hidden there) instead of leaving it where it is.
class DeskActivation : public QObject {
    Q_OBJECT
public:
    // The socket is named after the single-instance key (VORN_INSTANCE_KEY).
    explicit DeskActivation(QString key = {}, QObject* parent = nullptr);
    ~DeskActivation() override;

    // The running desk: starts listening. Call only while holding the
    // single-instance lock (a socket left by a crashed desk is replaced).
    bool listen();
    // A second start: asks the running desk to show itself. False when no
    // desk answered within the timeout (it is then left alone).
    bool askRunningDeskToShow(int timeoutMs = 2000) const;

    QString socketName() const { return m_name; }

signals:
    // Another start asked the desk to come to the front.
    void showRequested();

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
};
