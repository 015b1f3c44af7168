#include "TestEnvironment.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <unistd.h>

namespace TestEnvironment {
namespace {
QTemporaryDir* sandbox() {
    // Removed at exit with everything the tests left in it.
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/vorn-test-XXXXXX"));
    return &dir;
}

void set(const char* name, const QString& value) {
    qputenv(name, QFile::encodeName(value));
}

QString folder(const QString& relative) {
    const QString path = sandbox()->filePath(relative);
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
} // namespace

QString root() {
    return sandbox()->isValid() ? sandbox()->path() : QString();
}

void isolate() {
    if (!sandbox()->isValid())
        qFatal("cannot make the test sandbox in %s", qPrintable(QDir::tempPath()));

    // The operator's own desk and settings.
    for (const char* name : {"VORN_HOME", "VORN_MESSAGES", "XDG_CONFIG_HOME", "XDG_DATA_HOME",
                             "XDG_CACHE_HOME", "XDG_STATE_HOME", "XDG_RUNTIME_DIR"})
        qunsetenv(name);
    set("HOME", folder(QStringLiteral("home")));
    set("XDG_CONFIG_HOME", folder(QStringLiteral("home/.config")));
    set("XDG_DATA_HOME", folder(QStringLiteral("home/.local/share")));
    set("XDG_CACHE_HOME", folder(QStringLiteral("home/.cache")));
    set("XDG_STATE_HOME", folder(QStringLiteral("home/.local/state")));
    set("XDG_RUNTIME_DIR", folder(QStringLiteral("runtime")));
    // The system-wide folders as a fresh session would have them.
    qputenv("XDG_CONFIG_DIRS", "/etc/xdg");
    qputenv("XDG_DATA_DIRS", "/usr/local/share:/usr/share");

    // Never the real sound output, power switch, session or system bus.
    qputenv("VORN_AUDIO_SINK", "fakesink sync=true");
    qputenv("VORN_POWEROFF_COMMAND", "false");
    set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + sandbox()->filePath("no-bus"));
    set("DBUS_SYSTEM_BUS_ADDRESS", QStringLiteral("unix:path=") + sandbox()->filePath("no-bus"));
    set("VORN_INSTANCE_KEY", QStringLiteral("vorn-test-%1").arg(::getpid()));

    // GStreamer's plugin list: the test run shares one in the build tree
    // (ctest says where); a program started by hand builds its own.
    const QByteArray registry = qgetenv("VORN_TEST_GST_REGISTRY");
    if (!registry.isEmpty())
        qputenv("GST_REGISTRY", registry);
    else
        set("GST_REGISTRY", sandbox()->filePath(QStringLiteral("gst-registry.bin")));
}
} // namespace TestEnvironment
