#include "shell/AboutLinks.h"

#include "base/Services.h"

#include <QDesktopServices>
#include <QDir>

namespace AboutLinks {
namespace {
Opener& opener() {
    static Opener current;
    return current;
}
} // namespace

QString helpFilePath() {
    return QDir(QDir(Services::programDir()).absolutePath()).filePath(QLatin1String(helpFileName));
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
