#include "app/DeskActivation.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr char kShow[] = "show\n";
}

DeskActivation::DeskActivation(QString key, QObject* parent) : QObject(parent) {
    if (key.isEmpty())
        key = qEnvironmentVariable("VORN_INSTANCE_KEY", QStringLiteral("vorn"));
    m_name = key + QStringLiteral("-desk");
}

DeskActivation::~DeskActivation() = default;

bool DeskActivation::listen() {
    if (m_server)
        return true;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name)) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            // Read without waiting: the desk's thread runs the schedule.
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (client->readAll().contains("show"))
                    emit showRequested();
                client->disconnectFromServer();
            });
        }
    });
    return true;
}

bool DeskActivation::askRunningDeskToShow(int timeoutMs) const {
    // Runs in the second process, before it ends: waiting here holds up nobody.
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(kShow);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.waitForDisconnected(timeoutMs);
    return true;
}
