#pragma once

#include <QString>
#include <QStringList>

// The list of song paths that the song-list editor and the entry playlist
// viewer show and change, with the texts those windows display.
class SongList {
public:
    const QStringList& entries() const { return m_entries; }
    int count() const { return int(m_entries.size()); }

    // Appends the paths in the given order; duplicates are kept.
    void append(const QStringList& paths);
    // Inserts the paths in the given order before row (appends past the end).
    void insert(int row, const QStringList& paths);
    // Removes one row; false (and nothing changes) for no row or a row out of range.
    bool removeAt(int row);
    // Moves row `from` so that it stands before row `to` of the list as it was
    // (to == count() moves it to the end). Returns its new row, or -1 when
    // from is out of range.
    int move(int from, int to);
    void clear();
    // Replaces the list with the file's entries. Throws PlaylistError and keeps
    // the list as it was when the file cannot be read.
    void load(const QString& path);
    // Writes the list. Throws PlaylistError when the file cannot be written.
    void save(const QString& path);

    // Changed since it was last loaded or saved (or since it was made).
    bool isModified() const { return m_modified; }

    // True for the song files the dialogs offer (".mp3", ".wma", ".wav" in any case).
    static bool isSongPath(const QString& path);
    // The songs among paths dragged in from the file manager, in the order
    // given: song files as they are, folders as their songs in name order
    // (files first, then each subfolder). Anything else is left out and
    // counted in skipped.
    static QStringList songsIn(const QStringList& paths, int* skipped = nullptr);

    // "共有歌曲：N" (song-list editor).
    static QString editorCountText(int count);
    // "(共 N 首)" (entry playlist viewer).
    static QString viewerCountText(int count);
    // The file part of a path (after the last "/" or "\"), less its last four
    // characters: "D:\lists\morning.pl3" gives "morning".
    static QString title(const QString& path);
    // "歌曲列表文件名：" + title + ".pl3".
    static QString viewerNameText(const QString& path);
    // True when the path's extension is ".pl3" in any letter case.
    static bool isPlaylistPath(const QString& path);
    // Where the save dialog starts: the folder "pl3" in the program's folder,
    // or, when there is none, the folder the last list was saved in.
    static QString saveStartDir();
    // Where the open dialog starts: the folder the last list was saved in,
    // else the save dialog's folder.
    static QString openStartDir();
    // Remembers the folder a list was saved in (our own setting).
    static void rememberSaveDir(const QString& dir);
    // Where the song dialog starts: the folder songs were last added from.
    static QString songStartDir();
    static void rememberSongDir(const QString& dir);
    // A chosen save name without an extension gets ".pl3".
    static QString withPlaylistSuffix(const QString& path);
    // A dialog filter of "description|pattern|..." pairs in the form the Qt
    // file dialogs take ("description (pattern pattern);;...").
    static QString dialogFilter(const QString& pairs);

private:
    QStringList m_entries;
    bool m_modified = false;
};
