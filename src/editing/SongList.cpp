#include "editing/SongList.h"

#include "base/PlayText.h"
#include "base/Services.h"
#include "data/ExtraTables.h"
#include "data/datamodule.h"
#include "editing/PlaylistFile.h"

#include <QCollator>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

void SongList::append(const QStringList& paths) {
    insert(count(), paths);
}

void SongList::insert(int row, const QStringList& paths) {
    if (paths.isEmpty())
        return;
    row = std::clamp(row, 0, count());
    for (qsizetype i = 0; i < paths.size(); ++i)
        m_entries.insert(row + i, paths[i]);
    m_modified = true;
}

bool SongList::removeAt(int row) {
    if (row < 0 || row >= m_entries.size())
        return false;
    m_entries.removeAt(row);
    m_modified = true;
    return true;
}

int SongList::move(int from, int to) {
    if (from < 0 || from >= count())
        return -1;
    to = std::clamp(to, 0, count());
    const int target = to > from ? to - 1 : to;
    if (target != from) {
        m_entries.move(from, target);
        m_modified = true;
    }
    return target;
}

void SongList::clear() {
    if (!m_entries.isEmpty())
        m_modified = true;
    m_entries.clear();
}

void SongList::load(const QString& path) {
    m_entries = ReadPlaylistFile(path); // assigned only when the read succeeded
    m_modified = false;
}

void SongList::save(const QString& path) {
    WritePlaylistFile(path, m_entries);
    m_modified = false;
}

bool SongList::isSongPath(const QString& path) {
    static const QStringList songs = {QStringLiteral("mp3"), QStringLiteral("wma"),
                                      QStringLiteral("wav")};
    return songs.contains(QFileInfo(path).suffix().toLower());
}

namespace {
// Songs of a folder in name order ("2" before "10"), then those of its
// subfolders. Links to folders are not followed, so a loop cannot trap it,
// and a huge tree stops at a limit rather than freezing the window.
void collectSongs(const QDir& dir, const QCollator& order, int depth, QStringList& out,
                  int& skipped) {
    constexpr int maxDepth = 8;
    constexpr qsizetype maxSongs = 5000;
    auto byName = [&order](const QFileInfo& a, const QFileInfo& b) {
        return order.compare(a.fileName(), b.fileName()) < 0;
    };
    QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Readable);
    std::sort(files.begin(), files.end(), byName);
    for (const QFileInfo& file : files) {
        if (out.size() >= maxSongs)
            return;
        if (SongList::isSongPath(file.fileName()))
            out << file.absoluteFilePath();
        else
            ++skipped;
    }
    if (depth >= maxDepth)
        return;
    QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    std::sort(folders.begin(), folders.end(), byName);
    for (const QFileInfo& folder : folders)
        collectSongs(QDir(folder.absoluteFilePath()), order, depth + 1, out, skipped);
}
} // namespace

QStringList SongList::songsIn(const QStringList& paths, int* skipped) {
    QCollator order(QLocale(QLocale::Chinese, QLocale::China));
    order.setNumericMode(true);
    int left = 0;
    QStringList songs;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (info.isDir())
            collectSongs(QDir(info.absoluteFilePath()), order, 0, songs, left);
        else if (isSongPath(path))
            songs << info.absoluteFilePath();
        else
            ++left;
    }
    if (skipped)
        *skipped = left;
    return songs;
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

namespace {
const QString lastListDirSetting = QStringLiteral("歌曲列表目录");
const QString lastSongDirSetting = QStringLiteral("歌曲目录");

QString remembered(const QString& name) {
    if (!DataModule1 || !DataModule1->isOpen())
        return {};
    return ExtraTables::setting(*DataModule1, name);
}

void remember(const QString& name, const QString& dir) {
    if (DataModule1 && DataModule1->isOpen() && !dir.isEmpty())
        ExtraTables::setSetting(*DataModule1, name, dir);
}
} // namespace

QString SongList::saveStartDir() {
    const QString lists = QDir(Services::programDir()).filePath(QStringLiteral("pl3"));
    const QString last = remembered(lastListDirSetting);
    return QFileInfo(lists).isDir() || last.isEmpty() ? lists : last;
}

QString SongList::openStartDir() {
    const QString last = remembered(lastListDirSetting);
    return last.isEmpty() ? saveStartDir() : last;
}

void SongList::rememberSaveDir(const QString& dir) {
    remember(lastListDirSetting, dir);
}

QString SongList::songStartDir() {
    return remembered(lastSongDirSetting);
}

void SongList::rememberSongDir(const QString& dir) {
    remember(lastSongDirSetting, dir);
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
