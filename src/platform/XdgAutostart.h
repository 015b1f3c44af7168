#pragma once

#include "platform/Autostart.h"

#include <QString>

// Start with the desktop session through an XDG autostart entry "vorn.desktop".
// The entry goes into the system-wide folder when this user may write there,
// else into the user's own folder. A folder that cannot be written is left as
// it is; nothing is reported (the caller ignores the result).
class XdgAutostart : public Autostart {
public:
    static constexpr const char* entryName = "vorn.desktop";

    // The folders default to the real ones: /etc/xdg/autostart and
    // $XDG_CONFIG_HOME/autostart (~/.config/autostart).
    explicit XdgAutostart(QString systemDir = defaultSystemDir(),
                          QString userDir = defaultUserDir());

    static QString defaultSystemDir();
    static QString defaultUserDir();

    // On: writes the entry starting programPath (into the system folder when
    // writable, else the user's, which is created when missing) and removes a
    // stale user entry that would shadow the system one. Off: removes the entry
    // from every folder that can be written; an absent entry is no error.
    bool setEnabled(bool on, const QString& programPath) override;
    bool isEnabled() const override;

    // The folder an entry would be written to now, or empty when neither can be.
    QString targetDir() const;

    // The whole desktop entry that starts programPath.
    static QByteArray desktopEntry(const QString& programPath);
    // programPath as the value of an Exec key: quoted as one argument, with the
    // characters the desktop-entry format reserves escaped.
    static QString execValue(const QString& programPath);

    QString systemDir() const { return m_systemDir; }
    QString userDir() const { return m_userDir; }

private:
    static bool writableDir(const QString& dir);
    static bool writeEntry(const QString& dir, const QByteArray& content);
    static bool removeEntry(const QString& dir);

    QString m_systemDir;
    QString m_userDir;
};
