#pragma once

#include "editing/SongList.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// The entry playlist viewer: shows the songs of one scheduled song-list file,
// lets the operator add and remove songs and saves the file in place. The path
// is fixed when the viewer opens.
class TForm_lb : public QWidget {
    Q_OBJECT
public:
    // Opens the viewer on the song-list file at path (reads it at once).
    explicit TForm_lb(const QString& path, QWidget* owner = nullptr);

    QString playlistPath() const { return m_path; }
    const SongList& list() const { return m_list; }

    QLabel* Label1;
    QLabel* Label2;
    QListWidget* ListBox1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;

    void FormCreate();
    void Button1Click(); // 添加歌曲...
    void Button2Click(); // 清除全部
    void Button3Click(); // 清除一首
    void Button4Click(); // 保存列表

private:
    void showList();

    QString m_path;
    SongList m_list;
    bool m_unreadable = false; // the file existed but could not be read at opening
};
