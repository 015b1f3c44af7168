#include "editing/SongList.h"

#include "base/PlayText.h"
#include "base/Services.h"
#include "editing/PlaylistFile.h"

#include <QCoreApplication>
#include <QDir>

void SongList::append(const QStringList& paths) {
    m_entries += paths;
}

bool SongList::removeAt(int row) {
    if (row < 0 || row >= m_entries.size())
        return false;
    m_entries.removeAt(row);
    return true;
}

void SongList::load(const QString& path) {
    m_entries = ReadPlaylistFile(path); // assigned only when the read succeeded
}

void SongList::save(const QString& path) const {
    WritePlaylistFile(path, m_entries);
}

QString SongList::editorCountText(int count) {
    return QCoreApplication::translate("TForm_lbbj", "共有歌曲：") + QString::number(count);
}

QString SongList::viewerCountText(int count) {
    return QCoreApplication::translate("TForm_lb", "(共 ") + QString::number(count) +
           QCoreApplication::translate("TForm_lb", " 首)");
}

namespace {
qsizetype fileNameStart(const QString& path) {
    return std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1;
}
} // namespace

QString SongList::title(const QString& path) {
    return SongDisplayName(path);
}

QString SongList::viewerNameText(const QString& path) {
    return QCoreApplication::translate("TForm_lb", "歌曲列表文件名：") + title(path) +
           QStringLiteral(".pl3");
}

bool SongList::isPlaylistPath(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < fileNameStart(path))
        return false;
    return path.mid(dot).toUpper() == QLatin1String(".PL3");
}

QString SongList::saveStartDir() {
    return QDir(Services::programDir()).filePath(QStringLiteral("pl3"));
}

QString SongList::withPlaylistSuffix(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (path.isEmpty() || dot >= fileNameStart(path))
        return path;
    return path + QStringLiteral(".pl3");
}

QString SongList::dialogFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        filters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                       QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}
