#include "shell/StartupWarmUp.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImageReader>
#include <fontconfig/fontconfig.h>

StartupWarmUp::StartupWarmUp()
    : m_fontThread([this] { readFonts(); }), m_busThread([this] { connectBuses(); }) {}

StartupWarmUp::~StartupWarmUp() {
    finish();
}

void StartupWarmUp::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    for (std::thread* thread : {&m_fontThread, &m_busThread})
        if (thread->joinable())
            thread->join();
}

void StartupWarmUp::applicationReady(const QList<QFont>& fonts) {
    {
        std::lock_guard lock(m_mutex);
        m_fonts = fonts;
        m_applicationReady = true;
    }
    m_changed.notify_all();
}

bool StartupWarmUp::waitForApplication() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_applicationReady || m_ending; });
    return m_applicationReady;
}

void StartupWarmUp::readFonts() {
    // Parsing the configuration and loading its caches is the larger part of
    // the first font lookup; fontconfig keeps one configuration for the
    // whole process, which Qt then finds loaded.
    FcInit();
    if (!waitForApplication())
        return;
    // The first icon would otherwise look through every image plugin.
    QImageReader::supportedImageFormats();
    // Qt's font list and the fallbacks for Chinese text are kept for the
    // whole process (Qt guards them for use from any thread).
    QFontDatabase::families();
    QList<QFont> fonts;
    {
        std::lock_guard lock(m_mutex);
        fonts = m_fonts;
    }
    for (const QFont& font : std::as_const(fonts))
        QFontMetrics(font).horizontalAdvance(QStringLiteral("播音 00:00"));
}

void StartupWarmUp::connectBuses() {
    if (!waitForApplication())
        return;
    QDBusConnection::sessionBus().isConnected();
    QDBusConnection::systemBus().isConnected();
}
