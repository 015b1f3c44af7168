#pragma once

#include "editing/SongList.h"

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

// The song-list editor: builds a list from song files and saves it as a
// ".pl3" file. Not modal; each one is independent and forgotten on closing.
class TForm_lbbj : public QWidget {
    Q_OBJECT
public:
    explicit TForm_lbbj(QWidget* owner = nullptr);

    const SongList& list() const { return m_list; }

    QLabel* Label1;
    QListWidget* ListBox1;
    QPushButton* Button1;
    QPushButton* Button4;
    QPushButton* Button6;
    QPushButton* Button5;
    QPushButton* Button2;
    QPushButton* Button3;

    void Button1Click(); // 添加歌曲...
    void Button4Click(); // 清除全部
    void Button6Click(); // 清除一首
    void Button5Click(); // 打开列表...
    void Button2Click(); // 保存列表...
    void Button3Click(); // 关闭

private:
    // Shows the list in ListBox1 and its count in Label1.
    void showList();

    SongList m_list;
};
