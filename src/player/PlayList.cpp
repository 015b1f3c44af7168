#include "player/PlayList.h"

#include "base/PlayText.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <algorithm>

QStringList PlayList::names() const {
    QStringList out;
    for (const Entry& e : m_entries)
        out << e.name;
    return out;
}

QStringList PlayList::paths() const {
    QStringList out;
    for (const Entry& e : m_entries)
        out << e.path;
    return out;
}

void PlayList::select(int index) {
    m_selected = index >= 0 && index < count() ? index : -1;
}

void PlayList::loadFolder(const QString& folder) {
    m_entries = folderSongs(folder);
    m_selected = -1;
}

void PlayList::append(const QStringList& paths) {
    for (const QString& p : paths)
        m_entries.push_back({SongDisplayName(p), p});
}

void PlayList::prepend(const QVector<Entry>& entries) {
    m_entries = entries + m_entries;
    if (m_selected >= 0)
        m_selected += int(entries.size());
}

bool PlayList::removeAt(int index) {
    if (index < 0 || index >= count())
        return false;
    m_entries.removeAt(index);
    if (m_selected == index)
        m_selected = -1;
    else if (m_selected > index)
        --m_selected;
    return true;
}

void PlayList::clear() {
    m_entries.clear();
    m_selected = -1;
}

QVector<PlayList::Entry> PlayList::folderSongs(const QString& folder) {
    QVector<Entry> out;
    if (folder.trimmed().isEmpty())
        return out;
    const QDir dir(folder);
    // Hidden and system files are looked at too; the name rule decides.
    const QFileInfoList found =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QFileInfo& info : found) {
        const QString name = info.fileName();
        if (name.startsWith(QLatin1Char('.')) || !info.isFile())
            continue;
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        if (dot < 0 || name.mid(dot).compare(QLatin1String(".mp3"), Qt::CaseInsensitive) != 0)
            continue;
        const QString path = dir.filePath(name);
        out.push_back({SongDisplayName(path), path});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(out.begin(), out.end(), [&collator](const Entry& a, const Entry& b) {
        const int c = collator.compare(a.name, b.name);
        if (c != 0)
            return c < 0;
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return out;
}
