#pragma once

#include "editing/SongList.h"

#include <QObject>
#include <functional>

class QLabel;
class QWidget;
class SongLengths;
class SongListBox;

// What the song-list editor and the entry playlist viewer do alike with their
// list: show it with each song's length, the count and the total; add,
// remove, clear and reorder songs; take songs dragged in. The windows keep
// their own buttons, files and questions.
class SongListView : public QObject {
    Q_OBJECT
public:
    using CountText = std::function<QString(int)>;

    SongListView(SongListBox* box, QLabel* count, CountText countText, QLabel* total,
                 QWidget* window);

    SongList& list() { return m_list; }
    const SongList& list() const { return m_list; }

    // Shows the list, with `selected` the selected row (-1: none).
    void show(int selected = -1);
    void append(const QStringList& paths);
    // 清除一首: removes the selected row; nothing without a selection.
    void removeSelected();
    // 清除全部: asks first (not for an empty list). True when it was cleared.
    bool clearAll();
    // 上移 (-1) and 下移 (+1): moves the selected song, which stays selected.
    void moveSelected(int by);
    // 增加歌曲: the songs the operator picks are appended; the folder is remembered.
    void addChosenSongs();
    // Before the window closes: unsaved changes are offered for saving. True
    // when the window may close (saved, declined, or nothing to save); save
    // returns false when it did not save.
    bool mayClose(const std::function<bool()>& save);

signals:
    // The list changed, was loaded or saved: the window updates its title.
    void changed();

private:
    void takeDropped(const QStringList& paths, int row);
    void dragged(int from, int to);
    void showLength(const QString& path);
    void showTotal();

    SongList m_list;
    SongListBox* m_box;
    QLabel* m_count;
    CountText m_countText;
    QLabel* m_total;
    QWidget* m_window;
    SongLengths* m_lengths;
};
