#pragma once

#include "editing/SongList.h"

#include <QSize>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;
class SongListBox;
class SongListView;

// The song-list editor: builds a list from song files and saves it as a
// ".pl3" file. Not modal; each one is independent and forgotten on closing.
class TForm_lbbj : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize defaultSize{760, 520};

    explicit TForm_lbbj(QWidget* owner = nullptr);
    ~TForm_lbbj() override;

    const SongList& list() const;
    // The file the list was last opened from or saved to (empty for a new list).
    QString fileName() const { return m_fileName; }

    QLabel* Label1;
    QLabel* Label2; // total length
    SongListBox* ListBox1;
    QPushButton* Button1;
    QPushButton* Button4;
    QPushButton* Button6;
    QPushButton* Button7; // 上移
    QPushButton* Button8; // 下移
    QPushButton* Button5;
    QPushButton* Button2;
    QPushButton* Button3;

    void Button1Click(); // 添加歌曲...
    void Button4Click(); // 清除全部
    void Button6Click(); // 清除一首
    void Button5Click(); // 打开列表...
    void Button2Click(); // 保存列表...
    void Button3Click(); // 关闭
    // Ctrl+S: saves to the list's own file, or asks for one like 保存列表....
    void saveInPlace();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Writes the list; false (after the report) when it could not be written.
    bool saveTo(const QString& path);
    void updateTitle();

    SongListView* m_view;
    QString m_fileName;
};
