#include "shell/AboutLinks.h"

#include "base/InstallPaths.h"
#include "base/Services.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

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

QUrl mailUrl() {
    return QUrl(QStringLiteral("mailto:") + QLatin1String(supportMail));
}

QUrl webUrl() {
    return QUrl(QLatin1String(supportWeb));
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
