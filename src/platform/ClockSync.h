#pragma once

#include <QObject>

// Whether the system clock is kept in step with a time server. The desk runs
// on the second, so the operator should see when it is not. Asking never
// blocks: the answer arrives as stateChanged().
class ClockSync : public QObject {
    Q_OBJECT
public:
    enum class State { Unknown, Synchronized, NotSynchronized };

    using QObject::QObject;
    State state() const { return m_state; }
    // Asks again; the answer comes later (or at once, for a fake).
    virtual void refresh() = 0;

signals:
    void stateChanged(ClockSync::State state);

protected:
    void setState(State state) {
        if (state == m_state)
            return;
        m_state = state;
        emit stateChanged(state);
    }

private:
    State m_state = State::Unknown;
};
