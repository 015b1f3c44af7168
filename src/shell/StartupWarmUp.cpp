#include "shell/StartupWarmUp.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QFontMetrics>
#include <fontconfig/fontconfig.h>

StartupWarmUp::StartupWarmUp() : m_thread([this] { run(); }) {}

StartupWarmUp::~StartupWarmUp() {
    finish();
}

void StartupWarmUp::finish() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void StartupWarmUp::applicationReady(const QList<QFont>& fonts) {
    {
        std::lock_guard lock(m_mutex);
        m_fonts = fonts;
        m_applicationReady = true;
    }
    m_changed.notify_all();
}

void StartupWarmUp::run() {
    // Parsing the configuration and loading its caches is the larger part of
    // the first font lookup; fontconfig keeps one configuration for the
    // whole process, which Qt then finds loaded.
    FcInit();
    QList<QFont> fonts;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_applicationReady || m_ending; });
        if (!m_applicationReady)
            return;
        fonts = m_fonts;
    }
    // The session bus: the first change of a widget's text connects the
    // accessibility bridge to it, and the window's thread would wait for it.
    QDBusConnection::sessionBus().isConnected();
    // Qt's font list and the fallbacks for Chinese text are kept for the
    // whole process (Qt guards them for use from any thread).
    QFontDatabase::families();
    for (const QFont& font : std::as_const(fonts))
        QFontMetrics(font).horizontalAdvance(QStringLiteral("播音 00:00"));
}
