#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {
QString readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

QString execLine(const QString& entry) {
    for (const QString& line : entry.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    return {};
}

// Two autostart folders in a temporary directory; the real ones are never used.
struct Folders {
    QTemporaryDir tmp;
    QString system = tmp.filePath(QStringLiteral("etc/xdg/autostart"));
    QString user = tmp.filePath(QStringLiteral("home/.config/autostart"));
    Folders() { QDir().mkpath(system); }
    QString systemEntry() const { return system + QStringLiteral("/vorn.desktop"); }
    QString userEntry() const { return user + QStringLiteral("/vorn.desktop"); }
    // A path below a plain file: no folder can ever be made or written there.
    QString blocked(const QString& name) {
        QFile f(tmp.filePath(QStringLiteral("plainfile")));
        f.open(QIODevice::WriteOnly);
        return tmp.filePath(QStringLiteral("plainfile/") + name);
    }
};
} // namespace

TEST(XdgAutostart, WritesSystemEntryWhenWritableAndRemovesIt) {
    Folders f;
    XdgAutostart autostart(f.system, f.user);
    EXPECT_FALSE(autostart.isEnabled());

    ASSERT_TRUE(autostart.setEnabled(true, QStringLiteral("/opt/vorn/vorn")));
    const QString entry = readFile(f.systemEntry());
    EXPECT_TRUE(entry.startsWith(QLatin1String("[Desktop Entry]\n")));
    EXPECT_TRUE(entry.contains(QLatin1String("\nType=Application\n")));
    EXPECT_EQ(execLine(entry), QStringLiteral("\"/opt/vorn/vorn\""));
    EXPECT_FALSE(QFileInfo::exists(f.userEntry()));
    EXPECT_TRUE(autostart.isEnabled());

    // Ticking again stores the path the program runs from now.
    ASSERT_TRUE(autostart.setEnabled(true, QStringLiteral("/srv/moved/vorn")));
    EXPECT_EQ(execLine(readFile(f.systemEntry())), QStringLiteral("\"/srv/moved/vorn\""));

    EXPECT_TRUE(autostart.setEnabled(false, QStringLiteral("/srv/moved/vorn")));
    EXPECT_FALSE(QFileInfo::exists(f.systemEntry()));
    EXPECT_FALSE(autostart.isEnabled());
}

TEST(XdgAutostart, RemovingAnAbsentEntryIsNoErrorAndCreatesNothing) {
    Folders f;
    XdgAutostart autostart(f.system, f.user);
    EXPECT_TRUE(autostart.setEnabled(false, QStringLiteral("/opt/vorn/vorn")));
    EXPECT_FALSE(QFileInfo::exists(f.systemEntry()));
    EXPECT_FALSE(QFileInfo::exists(f.user));
}

TEST(XdgAutostart, FallsBackToTheUserFolderAndCreatesIt) {
    Folders f;
    XdgAutostart autostart(f.blocked(QStringLiteral("autostart")), f.user);
    ASSERT_TRUE(autostart.setEnabled(true, QStringLiteral("/opt/vorn/vorn")));
    EXPECT_EQ(execLine(readFile(f.userEntry())), QStringLiteral("\"/opt/vorn/vorn\""));
    EXPECT_TRUE(autostart.setEnabled(false, QString()));
    EXPECT_FALSE(QFileInfo::exists(f.userEntry()));
}

TEST(XdgAutostart, SystemEntryReplacesAStaleUserEntryThatWouldShadowIt) {
    Folders f;
    XdgAutostart userOnly(f.blocked(QStringLiteral("autostart")), f.user);
    ASSERT_TRUE(userOnly.setEnabled(true, QStringLiteral("/old/place/vorn")));
    XdgAutostart autostart(f.system, f.user);
    ASSERT_TRUE(autostart.setEnabled(true, QStringLiteral("/new/place/vorn")));
    EXPECT_TRUE(QFileInfo::exists(f.systemEntry()));
    EXPECT_FALSE(QFileInfo::exists(f.userEntry()));
}

TEST(XdgAutostart, UnwritableFoldersChangeNothing) {
    Folders f;
    XdgAutostart autostart(f.blocked(QStringLiteral("system")), f.blocked(QStringLiteral("user")));
    EXPECT_EQ(autostart.targetDir(), QString());
    EXPECT_FALSE(autostart.setEnabled(true, QStringLiteral("/opt/vorn/vorn")));
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.setEnabled(false, QStringLiteral("/opt/vorn/vorn")));

    if (::geteuid() != 0) {
        // Permission bits only hold for ordinary users.
        XdgAutostart system(f.system, f.blocked(QStringLiteral("user")));
        ASSERT_TRUE(system.setEnabled(true, QStringLiteral("/opt/vorn/vorn")));
        QFile::setPermissions(f.system, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        EXPECT_FALSE(system.setEnabled(false, QString()));
        EXPECT_TRUE(QFileInfo::exists(f.systemEntry()));
        QFile::setPermissions(f.system, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner);
    }
}

TEST(XdgAutostart, ExecQuotesThePathAsOneArgument) {
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/opt/my vorn/vorn")),
              QStringLiteral("\"/opt/my vorn/vorn\""));
    // '"' '`' '$' get a backslash inside the quotes; the backslash itself is
    // then doubled by the string escaping of the file.
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/a\"b`c$d")),
              QStringLiteral("\"/a\\\\\"b\\\\`c\\\\$d\""));
    // A literal backslash ends up as four.
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/a\\b")), QStringLiteral("\"/a\\\\\\\\b\""));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/50%/vorn")),
              QStringLiteral("\"/50%%/vorn\""));
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/广播/vorn")),
              QStringLiteral("\"/广播/vorn\""));
    // A line break in a path must not end the Exec line.
    EXPECT_EQ(XdgAutostart::execValue(QStringLiteral("/a\nb")), QStringLiteral("\"/a\\nb\""));
}

TEST(XdgAutostart, UserFolderFollowsXdgConfigHome) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/somewhere/config");
    EXPECT_EQ(XdgAutostart::defaultUserDir(), QStringLiteral("/somewhere/config/autostart"));
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(XdgAutostart::defaultUserDir(),
              QDir::homePath() + QStringLiteral("/.config/autostart"));
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(XdgAutostart::defaultSystemDir(), QStringLiteral("/etc/xdg/autostart"));
}
