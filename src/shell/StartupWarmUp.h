#pragma once

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QStringList>
#include <condition_variable>
#include <mutex>
#include <thread>

// Start-up work that needs no window, done on threads of their own while the
// window's thread connects to the display and builds the desk, which then
// finds it done instead of waiting for it before its first paint:
// - fonts: the system's font configuration at once; once the application
//   object exists, Qt's list of fonts;
// - images: the first window's icons, decoded;
// - buses: the connections to the session bus (the first change of a
//   widget's text connects the accessibility bridge to it) and the system
//   bus (the clock's trust is asked there).
class StartupWarmUp {
public:
    StartupWarmUp();
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // The application object exists (with its resources): the threads may
    // go on to Qt's parts.
    void applicationReady(const QStringList& images);
    // The icon in the image file `path`: decoded ahead when it was among the
    // images (waiting for the thread if it is not done yet), else read now.
    static QIcon icon(const QString& path);
    // Waits for the threads; they use Qt, so this comes before the
    // application object goes. Also right when the application never came.
    void finish();

private:
    // Waits for applicationReady (true) or finish (false).
    bool waitForApplication();
    void readFonts();
    void readImages();
    void connectBuses();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_applicationReady = false;
    bool m_ending = false;
    QStringList m_imagePaths;
    QHash<QString, QImage> m_images;
    bool m_imagesDone = false;
    std::thread m_fontThread;
    std::thread m_imageThread;
    std::thread m_busThread;
};
