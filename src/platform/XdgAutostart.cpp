#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <unistd.h>

XdgAutostart::XdgAutostart(QString systemDir, QString userDir)
    : m_systemDir(std::move(systemDir)), m_userDir(std::move(userDir)) {}

QString XdgAutostart::defaultSystemDir() {
    return QStringLiteral("/etc/xdg/autostart");
}

QString XdgAutostart::defaultUserDir() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values of XDG_CONFIG_HOME are ignored, as the XDG base directory rules say.
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart");
}

bool XdgAutostart::writableDir(const QString& dir) {
    if (dir.isEmpty())
        return false;
    const QFileInfo info(dir);
    if (!info.isDir())
        return false;
    // access() answers for this process (root, groups, read-only mounts).
    return ::access(QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK) == 0;
}

QString XdgAutostart::targetDir() const {
    if (writableDir(m_systemDir))
        return m_systemDir;
    if (writableDir(m_userDir))
        return m_userDir;
    // The user's folder may simply not exist yet: it can be made when its
    // nearest existing parent is writable.
    if (m_userDir.isEmpty())
        return {};
    QFileInfo parent(QFileInfo(m_userDir).absolutePath());
    while (!parent.exists() && !parent.isRoot())
        parent = QFileInfo(parent.absolutePath());
    return writableDir(parent.absoluteFilePath()) ? m_userDir : QString();
}

QString XdgAutostart::execValue(const QString& programPath) {
    // One quoted argument: inside double quotes, '"', '`', '$' and '\' are
    // escaped with a backslash. A literal '%' is written "%%" (field codes).
    QString quoted = QStringLiteral("\"");
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    // Then the general escapes of string values, which the reader undoes first.
    QString value;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case '\\':
            value += QStringLiteral("\\\\");
            break;
        case '\n':
            value += QStringLiteral("\\n");
            break;
        case '\t':
            value += QStringLiteral("\\t");
            break;
        case '\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

QByteArray XdgAutostart::desktopEntry(const QString& programPath) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=vorn\n");
    text += QStringLiteral("Name[zh_CN]=广播站播音系统\n");
    text += QStringLiteral("Comment=Timed broadcasting desk\n");
    text += QStringLiteral("Exec=") + execValue(programPath) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

bool XdgAutostart::writeEntry(const QString& dir, const QByteArray& content) {
    if (!QDir().mkpath(dir))
        return false;
    QSaveFile file(QDir(dir).filePath(QLatin1String(entryName)));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool XdgAutostart::removeEntry(const QString& dir) {
    const QString path = QDir(dir).filePath(QLatin1String(entryName));
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    if (!writableDir(dir))
        return false;
    return QFile::remove(path);
}

bool XdgAutostart::setEnabled(bool on, const QString& programPath) {
    if (on) {
        const QString dir = targetDir();
        if (dir.isEmpty() || !writeEntry(dir, desktopEntry(programPath)))
            return false;
        // A user entry of the same name takes precedence over the system one;
        // an old one would start the program from where it used to be.
        if (dir == m_systemDir && writableDir(m_userDir))
            removeEntry(m_userDir);
        return true;
    }
    bool removed = true;
    for (const QString& dir : {m_systemDir, m_userDir}) {
        if (dir.isEmpty())
            continue;
        const QString path = QDir(dir).filePath(QLatin1String(entryName));
        if (QFileInfo::exists(path) && writableDir(dir))
            removed = QFile::remove(path) && removed;
        else if (QFileInfo::exists(path))
            removed = false;
    }
    return removed;
}

bool XdgAutostart::isEnabled() const {
    for (const QString& dir : {m_systemDir, m_userDir}) {
        if (!dir.isEmpty() && QFileInfo::exists(QDir(dir).filePath(QLatin1String(entryName))))
            return true;
    }
    return false;
}
