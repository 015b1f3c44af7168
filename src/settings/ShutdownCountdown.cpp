#include "settings/ShutdownCountdown.h"

#include "base/Services.h"

bool ClosePC(QString* error) {
    PowerControl* power = Services::power();
    if (!power) {
        if (error)
            *error = QObject::tr("本机没有可用的关机功能");
        return false;
    }
    QString text;
    const bool ok = power->powerOff(&text);
    if (!ok && error)
        *error = text.isEmpty() ? QObject::tr("关机请求被拒绝") : text;
    return ok;
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
        ++m_attempts;
        QString error;
        if (ClosePC(&error)) {
            m_lastError.clear();
        } else {
            m_lastError = error;
            emit powerOffFailed(error);
        }
    }
}
