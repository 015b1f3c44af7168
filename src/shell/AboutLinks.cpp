#include "shell/AboutLinks.h"

#include "base/InstallPaths.h"
#include "base/Services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace AboutLinks {
namespace {
Opener& opener() {
    static Opener current;
    return current;
}
} // namespace

QString helpFilePath() {
    return helpFilePath(Services::programDir(), QCoreApplication::applicationDirPath());
}

QString helpFilePath(const QString& programDir, const QString& installedProgramDir) {
    const QString beside =
        QDir(QDir(programDir).absolutePath()).filePath(QLatin1String(helpFileName));
    if (QFileInfo::exists(beside))
        return beside;
    // Installed from the package: the help lies with the program's other files.
    const QString installed = InstallPaths::dataDir(installedProgramDir);
    if (!installed.isEmpty() && QDir(installed).exists(QLatin1String(helpFileName)))
        return QDir(installed).filePath(QLatin1String(helpFileName));
    return beside;
}

QUrl helpUrl() {
    return QUrl::fromLocalFile(helpFilePath());
}

QUrl mailUrl(const QString& mail) {
    return QUrl(QStringLiteral("mailto:") + mail);
}

QUrl webUrl(const QString& web) {
    return QUrl::fromUserInput(web);
}

Contacts contactsFromFile(const QString& iniPath) {
    Contacts c;
    if (!QFileInfo(iniPath).isFile())
        return c;
    QSettings ini(iniPath, QSettings::IniFormat);
    c.phone = ini.value(QStringLiteral("contact/phone")).toString().trimmed();
    c.mail = ini.value(QStringLiteral("contact/mail")).toString().trimmed();
    c.web = ini.value(QStringLiteral("contact/web")).toString().trimmed();
    return c;
}

void setOpener(Opener o) {
    opener() = std::move(o);
}

bool open(const QUrl& url) {
    if (opener())
        return opener()(url);
    // A missing viewer, mail program or browser is not reported here.
    return QDesktopServices::openUrl(url);
}
} // namespace AboutLinks
