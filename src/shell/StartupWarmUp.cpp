#include "shell/StartupWarmUp.h"

#include <QDBusConnection>
#include <QFontDatabase>
#include <QPixmap>
#include <fontconfig/fontconfig.h>

namespace {
StartupWarmUp* running = nullptr;
}

StartupWarmUp::StartupWarmUp()
    : m_fontThread([this] { readFonts(); }), m_imageThread([this] { readImages(); }),
      m_busThread([this] { connectBuses(); }) {
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
    for (std::thread* thread : {&m_fontThread, &m_imageThread, &m_busThread})
        if (thread->joinable())
            thread->join();
}

void StartupWarmUp::applicationReady(const QStringList& images) {
    {
        std::lock_guard lock(m_mutex);
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

void StartupWarmUp::readFonts() {
    // Parsing the configuration and loading its caches is the larger part of
    // the first font lookup; fontconfig keeps one configuration for the
    // whole process, which Qt then finds loaded.
    FcInit();
    if (!waitForApplication())
        return;
    // Qt's list of the fonts there are, kept for the whole process. Nothing
    // more: Qt loads each font once per thread, holding its font lock while
    // it does, so fonts loaded here would only hold up the window's thread.
    QFontDatabase::families();
}

void StartupWarmUp::readImages() {
    if (!waitForApplication())
        return;
    QStringList paths;
    {
        std::lock_guard lock(m_mutex);
        paths = m_imagePaths;
    }
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
}

void StartupWarmUp::connectBuses() {
    if (!waitForApplication())
        return;
    // Only a session bus the desktop gave us: without one, asking for it
    // would start a bus of its own for the display.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        QDBusConnection::sessionBus().isConnected();
    QDBusConnection::systemBus().isConnected();
}
