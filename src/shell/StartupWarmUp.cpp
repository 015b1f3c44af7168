#include "shell/StartupWarmUp.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPixmap>
#include <fontconfig/fontconfig.h>

namespace {
StartupWarmUp* running = nullptr;
}

StartupWarmUp::StartupWarmUp()
    : m_prepareThread([this] { prepare(); }), m_busThread([this] { connectBuses(); }) {
    running = this;
}

StartupWarmUp::~StartupWarmUp() {
    finish();
    if (running == this)
        running = nullptr;
}

void StartupWarmUp::finish() {
    {
        std::lock_guard lock(m_mutex);
        m_ending = true;
    }
    m_changed.notify_all();
    for (std::thread* thread : {&m_prepareThread, &m_busThread})
        if (thread->joinable())
            thread->join();
}

void StartupWarmUp::applicationReady(const QList<QFont>& fonts, const QStringList& images) {
    {
        std::lock_guard lock(m_mutex);
        m_fonts = fonts;
        m_imagePaths = images;
        m_applicationReady = true;
    }
    m_changed.notify_all();
}

bool StartupWarmUp::waitForApplication() {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_applicationReady || m_ending; });
    return m_applicationReady;
}

QIcon StartupWarmUp::icon(const QString& path) {
    QImage image;
    if (StartupWarmUp* warmUp = running) {
        std::unique_lock lock(warmUp->m_mutex);
        if (warmUp->m_imagePaths.contains(path)) {
            warmUp->m_changed.wait(lock,
                                   [warmUp] { return warmUp->m_imagesDone || warmUp->m_ending; });
            image = warmUp->m_images.value(path);
        }
    }
    return image.isNull() ? QIcon(path) : QIcon(QPixmap::fromImage(image));
}

void StartupWarmUp::prepare() {
    // Parsing the configuration and loading its caches is the larger part of
    // the first font lookup; fontconfig keeps one configuration for the
    // whole process, which Qt then finds loaded.
    FcInit();
    if (!waitForApplication())
        return;
    QStringList paths;
    QList<QFont> fonts;
    {
        std::lock_guard lock(m_mutex);
        paths = m_imagePaths;
        fonts = m_fonts;
    }
    // The icons first: the window's thread asks for them while it builds.
    // (Reading the first one also looks through Qt's image plugins.)
    QHash<QString, QImage> images;
    for (const QString& path : std::as_const(paths))
        images.insert(path, QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied));
    {
        std::lock_guard lock(m_mutex);
        m_images = std::move(images);
        m_imagesDone = true;
    }
    m_changed.notify_all();
    // Qt's font list and the fallbacks for Chinese text are kept for the
    // whole process (Qt guards them for use from any thread).
    QFontDatabase::families();
    for (const QFont& font : std::as_const(fonts))
        QFontMetrics(font).horizontalAdvance(QStringLiteral("播音 00:00"));
}

void StartupWarmUp::connectBuses() {
    if (!waitForApplication())
        return;
    QDBusConnection::sessionBus().isConnected();
    QDBusConnection::systemBus().isConnected();
}
