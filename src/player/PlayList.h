#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// The player's song list: display texts and full paths kept in step, index by
// index, and the selected entry that every play and menu action works on.
class PlayList {
public:
    struct Entry {
        QString name; // SongDisplayName of the path
        QString path;
    };

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const Entry& at(int index) const { return m_entries.at(index); }
    QStringList names() const;
    QStringList paths() const;

    // The selection: -1 for none. Out-of-range indexes select nothing.
    int selected() const { return m_selected; }
    void select(int index);
    bool hasSelection() const { return m_selected >= 0; }
    bool isLastSelected() const { return m_selected == count() - 1; }
    const Entry* selectedEntry() const { return hasSelection() ? &at(m_selected) : nullptr; }

    // Replaces the list with the songs of the folder (see folderSongs).
    void loadFolder(const QString& folder);
    // Appends songs after everything there is, in the given order, unsorted.
    void append(const QStringList& paths);
    // Puts entries before everything there is; the selection moves with its entry.
    void prepend(const QVector<Entry>& entries);
    // Removes one entry; false (and nothing changes) for an index out of range.
    // The selection moves to nothing when its entry goes.
    bool removeAt(int index);
    void clear();

    // The MP3 files directly inside a folder (".mp3" in any letter case; no
    // sub-folders, no names beginning with "."), ordered by display text in
    // the case-insensitive order of the user's language, each path moving
    // with its own text. A missing or unreadable folder gives nothing.
    static QVector<Entry> folderSongs(const QString& folder);

private:
    QVector<Entry> m_entries;
    int m_selected = -1;
};
