#pragma once

#include <QObject>
#include <QString>

// Switches the machine off through the installed power control. False with a
// readable text when it was refused or no power control is installed.
bool ClosePC(QString* error = nullptr);

// The counting of the shutdown countdown window. The seconds left live in the
// text of its number label, read back and decremented at every timer tick;
// at 0 the timer slows to once a minute and the power-off is tried, and again
// every minute (-1, -2, …) until the window is closed.
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
    void powerOffFailed(const QString& error);

private:
    QString m_label;
    int m_interval = tickInterval;
    int m_attempts = 0;
    QString m_lastError;
};
