#include "settings/ShutdownCountdown.h"

#include "base/Services.h"

#include <QPointer>

void ClosePC(PowerControl::Result done) {
    PowerControl* power = Services::power();
    if (!power) {
        if (done)
            done(false, QObject::tr("本机没有可用的关机功能"));
        return;
    }
    power->powerOff([done = std::move(done)](bool ok, const QString& error) {
        if (!done)
            return;
        if (ok)
            done(true, QString());
        else
            done(false, error.isEmpty() ? QObject::tr("关机请求被拒绝") : error);
    });
}

ShutdownCountdown::ShutdownCountdown(QObject* parent)
    : QObject(parent), m_label(QString::number(startSeconds)) {}

void ShutdownCountdown::tick() {
    const int left = m_label.toInt() - 1;
    m_label = QString::number(left);
    emit labelChanged(m_label);
    if (left < 1) {
        if (m_interval != retryInterval) {
            m_interval = retryInterval;
            emit intervalChanged(m_interval);
        }
        if (m_powerOffPending)
            return; // the last request is still unanswered
        ++m_attempts;
        m_powerOffPending = true;
        ClosePC([self = QPointer<ShutdownCountdown>(this)](bool ok, const QString& error) {
            if (!self)
                return; // cancelled meanwhile
            self->m_powerOffPending = false;
            if (ok) {
                self->m_lastError.clear();
            } else {
                self->m_lastError = error;
                emit self->powerOffFailed(error);
            }
        });
    }
}
