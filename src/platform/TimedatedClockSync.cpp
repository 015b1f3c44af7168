#include "platform/TimedatedClockSync.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

void TimedatedClockSync::refresh() {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        setState(State::Unknown);
        return;
    }
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.timedate1"), QStringLiteral("/org/freedesktop/timedate1"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.timedate1") << QStringLiteral("NTPSynchronized");
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, 5000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QDBusVariant> reply = *call;
                call->deleteLater();
                if (reply.isError()) {
                    setState(State::Unknown);
                    return;
                }
                setState(reply.value().variant().toBool() ? State::Synchronized
                                                          : State::NotSynchronized);
            });
}
