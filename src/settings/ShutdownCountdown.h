#pragma once

#include "platform/PowerControl.h"

#include <QObject>
#include <QString>

// Asks the installed power control to switch the machine off and returns at
// once. `done` hears the answer later: false with a readable text when it was
// refused, or at once when no power control is installed.
void ClosePC(PowerControl::Result done = {});

// The counting of the shutdown countdown window. The seconds left live in the
// text of its number label, read back and decremented at every timer tick;
// at 0 the timer slows to once a minute and the power-off is tried, and again
// every minute (-1, -2, …) until the window is closed. The answer of an
// attempt arrives later; no new attempt starts while one is unanswered.
class ShutdownCountdown : public QObject {
    Q_OBJECT
public:
    static constexpr int startSeconds = 30;
    static constexpr int tickInterval = 1000;
    static constexpr int retryInterval = 60000;

    explicit ShutdownCountdown(QObject* parent = nullptr);

    QString labelText() const { return m_label; }
    int interval() const { return m_interval; }
    int powerOffAttempts() const { return m_attempts; }
    QString lastError() const { return m_lastError; }

    // One timer event.
    void tick();

signals:
    void labelChanged(const QString& text);
    void intervalChanged(int ms);
    // The power-off was refused (the next attempt comes a minute later).
    // Comes from the event loop, after the tick that asked.
    void powerOffFailed(const QString& error);

private:
    QString m_label;
    int m_interval = tickInterval;
    int m_attempts = 0;
    bool m_powerOffPending = false;
    QString m_lastError;
};
