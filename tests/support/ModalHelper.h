#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <utility>

// Runs action on the next modal window that opens (polling the event loop),
// so a test can fill in and close a dialog that a handler shows with exec().
inline void whenModal(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    auto* timer = new QTimer(qApp);
    auto elapsed = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer,
                     [timer, action = std::move(action), elapsed, timeoutMs] {
                         *elapsed += 10;
                         if (QWidget* w = QApplication::activeModalWidget()) {
                             timer->stop();
                             timer->deleteLater();
                             action(w);
                         } else if (*elapsed > timeoutMs) {
                             timer->stop();
                             timer->deleteLater();
                         }
                     });
    timer->start(10);
}

template <typename T> T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QLatin1String(name));
}
