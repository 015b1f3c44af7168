#pragma once

#include <QFont>
#include <QList>
#include <condition_variable>
#include <mutex>
#include <thread>

// Start-up work that needs no window, done on a thread of its own while the
// window's thread connects to the display and builds the desk: the system's
// font configuration is read at once; the session bus, Qt's list of fonts and
// the fonts the desk names once the application object exists. The window's
// thread then finds them ready instead of waiting for them before its first
// paint.
class StartupWarmUp {
public:
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // The application object exists: the thread may go on to Qt's fonts.
    void applicationReady(const QList<QFont>& fonts);
    // Waits for the thread; it uses Qt, so this comes before the application
    // object goes. Also right when the application never came.
    void finish();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_applicationReady = false;
    bool m_ending = false;
    QList<QFont> m_fonts;
    std::thread m_thread;
};
