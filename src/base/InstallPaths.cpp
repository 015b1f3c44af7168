#include "base/InstallPaths.h"

#include <QDir>
#include <QFileInfo>

// Set by the build from the install layout (bin, share and etc folders).
#ifndef VORN_BIN_TO_DATA
#define VORN_BIN_TO_DATA "../share/vorn"
#endif
#ifndef VORN_BIN_TO_CONFIG
#define VORN_BIN_TO_CONFIG "../../etc/vorn"
#endif

namespace InstallPaths {
QString dataDir(const QString& programDir) {
    if (programDir.isEmpty())
        return {};
    const QString dir = QDir::cleanPath(QDir(programDir).filePath(QLatin1String(VORN_BIN_TO_DATA)));
    return QFileInfo(dir).isDir() ? dir : QString();
}

QString configDir(const QString& programDir) {
    if (dataDir(programDir).isEmpty())
        return {};
    return QDir::cleanPath(QDir(programDir).filePath(QLatin1String(VORN_BIN_TO_CONFIG)));
}

QString userDataDir() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(base + QStringLiteral("/vorn"));
}
} // namespace InstallPaths
